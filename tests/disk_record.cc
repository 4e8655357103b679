// The record, in the order of this file: the recording calls put in the
// system's table (POSIX, with the flush ring's wrapper; Windows), then the
// account they keep (DiskRecord).
#include "tests/disk_record.h"

#include <algorithm>
#include <cerrno>
#include <deque>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <vector>

#include "tests/temp_folder.h"

#ifdef _WIN32
#include "platform/windows/system_calls.h"
#else
#include <sys/stat.h>

#include "platform/posix/system_calls.h"
#endif

namespace corvane::testing {

namespace {

namespace fs = std::filesystem;
using Identity = DiskRecord::Identity;

DiskRecord* active = nullptr;

fs::path PathOf(const std::string& name) {
  return fs::path(std::u8string(name.begin(), name.end()));
}

#ifndef _WIN32

Identity IdentityOf(int fd) {
  struct stat info = {};
  ::fstat(fd, &info);
  return {info.st_dev, info.st_ino};
}

ssize_t Writev(int fd, const iovec* pieces, int count) {
  if (const std::optional<int> error = active->WriteFault(IdentityOf(fd))) {
    errno = *error;
    return -1;
  }
  const ssize_t written = ::writev(fd, pieces, count);
  if (written > 0) {
    std::string bytes;
    auto left = static_cast<std::size_t>(written);
    for (int i = 0; left > 0; ++i) {
      const std::size_t take = std::min(pieces[i].iov_len, left);
      bytes.append(static_cast<const char*>(pieces[i].iov_base), take);
      left -= take;
    }
    active->Wrote(IdentityOf(fd), bytes);
  }
  return written;
}

int Fsync(int fd) {
  struct stat info = {};
  ::fstat(fd, &info);
  if (S_ISDIR(info.st_mode)) {
    const int result = ::fsync(fd);
    if (result == 0) active->FolderFlushed();
    return result;
  }
  const Identity file{info.st_dev, info.st_ino};
  if (const std::optional<int> error = active->FlushFault(file)) {
    errno = *error;
    return -1;
  }
  const int result = ::fsync(fd);
  if (result == 0) active->Flushed(file);
  return result;
}

int Rename(const char* from, const char* to) {
  active->Learn();
  return ::rename(from, to);
}

int Unlink(const char* name) {
  const std::map<std::string, Identity> before = active->Learn();
  const int result = ::unlink(name);
  if (result == 0) active->Deleted(before);
  return result;
}

// The real ring underneath; a flush counts once its completion is handed
// to the caller, which may be one at a time.
class RecordingRing final : public posix::FlushRing {
 public:
  explicit RecordingRing(std::unique_ptr<posix::FlushRing> ring) : ring_(std::move(ring)) {}

  bool Queue(int fd, std::uint64_t tag) override {
    if (!ring_->Queue(fd, tag)) return false;
    files_[tag] = IdentityOf(fd);
    return true;
  }

  int Submit() override { return ring_->Submit(); }

  int Collect(std::vector<posix::FlushCompletion>& done) override {
    if (held_.empty()) {
      std::vector<posix::FlushCompletion> arrived;
      if (const int error = ring_->Collect(arrived); error < 0) return error;
      held_.insert(held_.end(), arrived.begin(), arrived.end());
    }
    const std::size_t count =
        active->hold_completions ? std::min<std::size_t>(1, held_.size()) : held_.size();
    for (std::size_t i = 0; i < count; ++i) {
      posix::FlushCompletion completion = held_.front();
      held_.pop_front();
      const Identity file = files_.at(completion.tag);
      if (completion.result == 0) {
        if (const std::optional<int> error = active->FlushFault(file)) {
          completion.result = -*error;
        } else {
          active->Flushed(file);
        }
      }
      done.push_back(completion);
    }
    return 0;
  }

 private:
  std::unique_ptr<posix::FlushRing> ring_;
  std::map<std::uint64_t, Identity> files_;
  std::deque<posix::FlushCompletion> held_;
};

std::unique_ptr<posix::FlushRing> OpenFlushRing(unsigned entries) {
  if (active->refuse_ring) return nullptr;
  std::unique_ptr<posix::FlushRing> ring = posix::OpenIoUring(entries);
  if (!ring) return nullptr;
  return std::make_unique<RecordingRing>(std::move(ring));
}

void Install() {
  posix::system_calls.writev = Writev;
  posix::system_calls.fsync = Fsync;
  posix::system_calls.rename = Rename;
  posix::system_calls.unlink = Unlink;
  posix::system_calls.open_flush_ring = OpenFlushRing;
}

void Uninstall() { posix::system_calls = {}; }

#else

Identity IdentityOf(HANDLE file) {
  BY_HANDLE_FILE_INFORMATION info{};
  ::GetFileInformationByHandle(file, &info);
  return {info.dwVolumeSerialNumber,
          (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

// Named functions with the system's calling convention, as the table's
// entries have on 32-bit Windows.
BOOL WINAPI WriteFile(HANDLE file, LPCVOID buffer, DWORD size, LPDWORD written,
                      LPOVERLAPPED overlapped) {
  if (const std::optional<int> error = active->WriteFault(IdentityOf(file))) {
    ::SetLastError(static_cast<DWORD>(*error));
    return FALSE;
  }
  const BOOL ok = ::WriteFile(file, buffer, size, written, overlapped);
  const DWORD last_error = ::GetLastError();
  if (ok && *written > 0) {
    active->Wrote(IdentityOf(file), {static_cast<const char*>(buffer), *written});
  }
  ::SetLastError(last_error);
  return ok;
}

BOOL WINAPI FlushFileBuffers(HANDLE file) {
  const Identity identity = IdentityOf(file);
  if (const std::optional<int> error = active->FlushFault(identity)) {
    ::SetLastError(static_cast<DWORD>(*error));
    return FALSE;
  }
  const BOOL ok = ::FlushFileBuffers(file);
  if (ok) active->Flushed(identity);
  return ok;
}

// The rename, with POSIX semantics (FileRenameInfoEx) or the classic one.
BOOL WINAPI SetFileInformationByHandle(HANDLE file, FILE_INFO_BY_HANDLE_CLASS kind, LPVOID info,
                                       DWORD size) {
  constexpr auto kRenameEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(22);
  if (kind == kRenameEx && active->refuse_posix_rename) {
    ::SetLastError(ERROR_INVALID_PARAMETER);  // as Windows before 10 answers
    return FALSE;
  }
  if (kind == FileRenameInfo || kind == kRenameEx) active->Learn();
  return ::SetFileInformationByHandle(file, kind, info, size);
}

BOOL WINAPI DeleteFileW(LPCWSTR name) {
  const std::map<std::string, Identity> before = active->Learn();
  const BOOL ok = ::DeleteFileW(name);
  const DWORD last_error = ::GetLastError();
  if (ok) active->Deleted(before);
  ::SetLastError(last_error);
  return ok;
}

void Install() {
  windows::system_calls.write_file = WriteFile;
  windows::system_calls.flush_file_buffers = FlushFileBuffers;
  windows::system_calls.set_file_information_by_handle = SetFileInformationByHandle;
  windows::system_calls.delete_file = DeleteFileW;
}

void Uninstall() { windows::system_calls = {}; }

#endif

}  // namespace

DiskRecord::DiskRecord() {
  if (active != nullptr) throw std::logic_error("one disk record at a time");
  Settle();
  active = this;
  Install();
}

void DiskRecord::Settle() { durable_names_ = Learn(); }

DiskRecord::~DiskRecord() {
  Uninstall();
  active = nullptr;
}

void DiskRecord::FailWrites(const std::string& name, int error) {
  const FileStamp stamp = files_.StampOf(name);
  write_faults_[{stamp.device, stamp.inode}] = error;
}

void DiskRecord::FailFlushes(const std::string& name, int error) {
  const FileStamp stamp = files_.StampOf(name);
  flush_faults_[{stamp.device, stamp.inode}] = error;
}

std::optional<int> DiskRecord::WriteFault(const Identity& file) const {
  auto fault = write_faults_.find(file);
  return fault == write_faults_.end() ? std::nullopt : std::optional(fault->second);
}

std::optional<int> DiskRecord::FlushFault(const Identity& file) const {
  auto fault = flush_faults_.find(file);
  return fault == flush_faults_.end() ? std::nullopt : std::optional(fault->second);
}

void DiskRecord::Wrote(const Identity& file, std::string_view bytes) {
  written_[file].append(bytes);
}

void DiskRecord::Flushed(const Identity& file) {
  if (auto written = written_.find(file); written != written_.end())
    flushed_[file] = written->second;
#ifdef _WIN32
  // The journal commit that the flush waits for holds the file's record,
  // its names with it (see WindowsOutputFile::RenameOver).
  std::erase_if(durable_names_, [&](const auto& entry) { return entry.second == file; });
  for (const auto& [name, identity] : Names()) {
    if (identity == file) durable_names_[name] = identity;
  }
#endif
}

void DiskRecord::FolderFlushed() { durable_names_ = Names(); }

std::map<std::string, Identity> DiskRecord::Names() {
  std::map<std::string, Identity> names;
  for (const fs::directory_entry& entry : fs::directory_iterator(".")) {
    if (entry.is_symlink() || !entry.is_regular_file()) continue;
    const std::u8string name = entry.path().filename().u8string();
    try {
      const FileStamp stamp = files_.StampOf(std::string(name.begin(), name.end()));
      names[std::string(name.begin(), name.end())] = {stamp.device, stamp.inode};
    } catch (const RuntimeError&) {
      // Gone since it was listed.
    }
  }
  return names;
}

std::map<std::string, Identity> DiskRecord::Learn() {
  std::map<std::string, Identity> names = Names();
  for (const auto& [name, identity] : names) {
    if (written_.contains(identity) || originals_.contains(identity)) continue;
    try {
      originals_[identity] = ReadFile(PathOf(name));
    } catch (const std::exception&) {
      // Held open without sharing (Windows): one this program writes.
    }
  }
  return names;
}

void DiskRecord::Deleted(const std::map<std::string, Identity>& before) {
  const std::map<std::string, Identity> now = Names();
  for (const auto& [name, identity] : before) {
    if (!now.contains(name)) durable_names_.erase(name);
  }
}

std::optional<std::string> DiskRecord::DurableBytes(const Identity& file) {
  if (written_.contains(file)) {
    auto flushed = flushed_.find(file);
    return flushed == flushed_.end() ? std::string() : flushed->second;
  }
  if (auto original = originals_.find(file); original != originals_.end()) return original->second;
  return std::nullopt;
}

Disk DiskRecord::PowerCut(bool changes_arrived) {
  const std::map<std::string, Identity> names = changes_arrived ? Learn() : durable_names_;
  Disk disk;
  for (const auto& [name, identity] : names) disk[name] = DurableBytes(identity);
  return disk;
}

}  // namespace corvane::testing
