// The files of a folder on POSIX, in the order of this file:
//
//   1. The system-call table, and helpers: stamps from stat, closing with
//      and without its error, refusing what is not a regular file.
//   2. The files: reading (PosixInputFile) and writing (PosixOutputFile,
//      small pieces gathered, large ones written straight from the
//      caller's memory).
//   3. The services: listing, opening for reading and writing, creating
//      new files, flushing a group of files, stamps, the folder's flush,
//      deleting, the current folder.
#include "platform/posix/posix_file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "platform/posix/system_calls.h"

namespace corvane {

namespace posix {
constinit SystemCalls system_calls;
}  // namespace posix

namespace {

FileStamp StampFromStat(const struct stat& info) {
  return FileStamp{
      .device = static_cast<std::uint64_t>(info.st_dev),
      .inode = static_cast<std::uint64_t>(info.st_ino),
      .size = static_cast<std::uint64_t>(info.st_size),
      .modified_ns =
          static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec,
  };
}

// Closes `fd` unless it is -1; for the paths where an error is already on
// its way and a failing close would add nothing.
void CloseQuietly(int fd) {
  if (fd >= 0) posix::system_calls.close(fd);
}

// Closes `fd` and throws the failure as a RuntimeError, as `close` is the
// last chance the system has to report a failed write.
void CloseChecked(int fd, const std::string& operation, const std::string& name) {
  // On Linux the descriptor is released even when close fails, so it is
  // never closed twice; EINTR says nothing about the data.
  if (posix::system_calls.close(fd) != 0 && errno != EINTR) {
    throw SystemError(errno, operation, name);
  }
}

// Why a file of this type is refused, in the user's words.
std::string NotRegularReason(mode_t mode) {
  if (S_ISLNK(mode)) return "it is a symbolic link, which is never followed";
  if (S_ISDIR(mode)) return "it is a folder, not a regular file";
  if (S_ISFIFO(mode)) return "it is a FIFO, not a regular file";
  if (S_ISSOCK(mode)) return "it is a socket, not a regular file";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "it is a device, not a regular file";
  return "it is not a regular file";
}

// Anything but a regular file is refused: reading a FIFO could wait forever,
// and writing the text into a device or a FIFO would lose it.
void RequireRegularFile(int fd, const struct stat& info, const std::string& operation,
                        const std::string& name) {
  if (!S_ISREG(info.st_mode)) {
    CloseQuietly(fd);
    throw RuntimeError(ErrorNumber::kPathFileAccessError, operation, name,
                       NotRegularReason(info.st_mode));
  }
}

// The error for an `open` of `name` that failed with `error`. A symbolic
// link (ELOOP under O_NOFOLLOW) or a FIFO or socket without a partner
// (ENXIO) is named as what it is rather than by the system's puzzling text.
RuntimeError OpenError(int error, const std::string& operation, const std::string& name) {
  struct stat info;
  if ((error == ELOOP || error == ENXIO) && ::lstat(name.c_str(), &info) == 0 &&
      !S_ISREG(info.st_mode)) {
    return RuntimeError(ErrorNumber::kPathFileAccessError, operation, name,
                        NotRegularReason(info.st_mode));
  }
  return SystemError(error, operation, name);
}

class PosixInputFile final : public InputFile {
 public:
  PosixInputFile(int fd, std::string name, FileStamp stamp)
      : fd_(fd), name_(std::move(name)), stamp_(stamp) {}
  ~PosixInputFile() override { CloseQuietly(fd_); }
  PosixInputFile(const PosixInputFile&) = delete;
  PosixInputFile& operator=(const PosixInputFile&) = delete;

  std::size_t Read(char* buffer, std::size_t size) override {
    for (;;) {
      const ssize_t count = posix::system_calls.read(fd_, buffer, size);
      if (count >= 0) return static_cast<std::size_t>(count);
      if (errno != EINTR) throw SystemError(errno, "cannot read file", name_);
    }
  }

  FileStamp Stamp() const override { return stamp_; }

  void Close() override { CloseChecked(std::exchange(fd_, -1), "cannot close file", name_); }

 private:
  int fd_;
  std::string name_;
  FileStamp stamp_;
};

// Small pieces are gathered in a buffer; a piece that does not fit goes to
// the system straight from the caller's memory, together with what the
// buffer holds, in one gather write. A large text is thus copied only by
// the system.
class PosixOutputFile final : public OutputFile {
 public:
  static constexpr std::size_t kBufferSize = 64 * 1024;

  PosixOutputFile(int fd, std::string name, FileStamp stamp)
      : fd_(fd), name_(std::move(name)), stamp_(stamp) {
    buffer_.reserve(kBufferSize);
  }
  ~PosixOutputFile() override { CloseQuietly(fd_); }
  PosixOutputFile(const PosixOutputFile&) = delete;
  PosixOutputFile& operator=(const PosixOutputFile&) = delete;

  void Append(std::string_view data) override {
    if (buffer_.size() + data.size() <= kBufferSize) {
      buffer_.append(data);
      return;
    }
    WriteAll(buffer_, data);
    buffer_.clear();
  }

  void Sync() override {
    Flush();
    if (posix::system_calls.fsync(fd_) != 0) throw FlushError(errno);
  }

  // For a flush done elsewhere (`PosixFileSystem::SyncFiles`): writes out the
  // buffer and returns the descriptor to flush.
  int PrepareSync() {
    Flush();
    return fd_;
  }
  RuntimeError FlushError(int error) const {
    return SystemError(error, "cannot flush file to disk", name_);
  }

  FileStamp Stamp() const override { return stamp_; }

  // rename(2) replaces the target's directory entry in one step, and never
  // follows a link named `target`. The folder's fsync makes it durable.
  void RenameOver(const std::string& target) override {
    Flush();
    if (posix::system_calls.rename(name_.c_str(), target.c_str()) != 0) {
      throw SystemError(errno, "cannot replace file", target);
    }
    name_ = target;
  }

  void Close() override {
    Flush();
    CloseChecked(std::exchange(fd_, -1), "cannot close file", name_);
  }

 private:
  void Flush() {
    WriteAll(buffer_, {});
    buffer_.clear();
  }

  // Writes `first` and then `second`, however many calls that takes.
  void WriteAll(std::string_view first, std::string_view second) {
    while (!first.empty() || !second.empty()) {
      const iovec pieces[2] = {{const_cast<char*>(first.data()), first.size()},
                               {const_cast<char*>(second.data()), second.size()}};
      const bool both = !first.empty();
      const ssize_t count =
          posix::system_calls.writev(fd_, both ? pieces : pieces + 1, both ? 2 : 1);
      if (count < 0) {
        if (errno == EINTR) continue;
        throw SystemError(errno, "cannot write file", name_);
      }
      auto written = static_cast<std::size_t>(count);
      const std::size_t from_first = std::min(written, first.size());
      first.remove_prefix(from_first);
      second.remove_prefix(written - from_first);
    }
  }

  int fd_;
  std::string name_;
  FileStamp stamp_;
  std::string buffer_;
};

// The current folder's path for an error report about the folder itself,
// or "." when even that is not known.
std::string FolderName() {
  char path[4096];
  return ::getcwd(path, sizeof path) != nullptr ? std::string(path) : std::string(".");
}

}  // namespace

std::vector<std::string> PosixFileSystem::ListFiles() {
  static const std::string kOperation = "cannot read folder";
  DIR* dir = ::opendir(".");
  if (dir == nullptr) {
    const int error = errno;
    throw SystemError(error, kOperation, FolderName());
  }
  std::vector<std::string> names;
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(dir);
    if (entry == nullptr) break;
    // Names starting with a dot are hidden, and "." and ".." are folders.
    if (entry->d_name[0] == '.') continue;
    bool regular = entry->d_type == DT_REG;
    if (entry->d_type == DT_UNKNOWN) {
      struct stat info;
      regular = ::fstatat(::dirfd(dir), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
                S_ISREG(info.st_mode);
    }
    if (regular) names.emplace_back(entry->d_name);
  }
  const int error = errno;
  if (::closedir(dir) != 0 && error == 0 && errno != EINTR) {
    const int close_error = errno;
    throw SystemError(close_error, kOperation, FolderName());
  }
  if (error != 0) throw SystemError(error, kOperation, FolderName());
  return names;
}

namespace {

// Opens `name` with `flags` and returns the descriptor once `info` shows a
// regular file; anything else is closed again and thrown as a RuntimeError.
int OpenRegularFile(const std::string& name, int flags, mode_t mode, const std::string& operation,
                    struct stat& info) {
  const int fd = ::open(name.c_str(), flags | O_NOCTTY | O_CLOEXEC, mode);
  if (fd < 0) throw OpenError(errno, operation, name);
  if (::fstat(fd, &info) != 0) {
    const int error = errno;
    CloseQuietly(fd);
    throw SystemError(error, operation, name);
  }
  RequireRegularFile(fd, info, operation, name);
  return fd;
}

}  // namespace

std::unique_ptr<InputFile> PosixFileSystem::OpenForReading(const std::string& name) {
  static const std::string kOperation = "cannot open file for reading";
  // O_NOFOLLOW: a symbolic link is refused (ELOOP); O_NONBLOCK: opening a
  // FIFO does not wait for a writer.
  struct stat info;
  const int fd = OpenRegularFile(name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK, 0, kOperation, info);
  return std::make_unique<PosixInputFile>(fd, name, StampFromStat(info));
}

std::unique_ptr<OutputFile> PosixFileSystem::OpenForWriting(const std::string& name) {
  static const std::string kOperation = "cannot create file";
  // The file is emptied only once it is known to be a regular file that is
  // not reached through a symbolic link: the text goes into this folder and
  // nowhere else.
  struct stat info;
  const int fd =
      OpenRegularFile(name, O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK, 0666, kOperation, info);
  if (::ftruncate(fd, 0) != 0) {
    const int error = errno;
    CloseQuietly(fd);
    throw SystemError(error, kOperation, name);
  }
  return std::make_unique<PosixOutputFile>(fd, name, StampFromStat(info));
}

std::unique_ptr<OutputFile> PosixFileSystem::CreateNewFile(const std::string& name) {
  static const std::string kOperation = "cannot create file";
  // O_EXCL fails for any existing name, a dangling symbolic link included.
  struct stat info;
  const int fd = OpenRegularFile(name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NONBLOCK, 0666,
                                 kOperation, info);
  return std::make_unique<PosixOutputFile>(fd, name, StampFromStat(info));
}

std::vector<std::optional<RuntimeError>> PosixFileSystem::SyncFiles(
    std::span<OutputFile* const> files) {
  std::vector<std::optional<RuntimeError>> results(files.size());
  // The files whose buffers went out, with their places in `files`.
  std::vector<PosixOutputFile*> written;
  std::vector<std::size_t> places;
  std::vector<int> fds;
  for (std::size_t i = 0; i < files.size(); ++i) {
    // Every file given was opened here (see FileSystem::SyncFiles).
    assert(dynamic_cast<PosixOutputFile*>(files[i]) != nullptr);
    auto& file = static_cast<PosixOutputFile&>(*files[i]);
    try {
      fds.push_back(file.PrepareSync());
      written.push_back(&file);
      places.push_back(i);
    } catch (const RuntimeError& error) {
      results[i] = error;
    }
  }
  std::vector<int> errors(fds.size());
  posix::FsyncTogether(fds, errors);
  for (std::size_t k = 0; k < fds.size(); ++k) {
    if (errors[k] != 0) results[places[k]] = written[k]->FlushError(errors[k]);
  }
  return results;
}

std::optional<FileStamp> PosixFileSystem::CheckReplaceable(const std::string& name) {
  // The same open as `OpenForWriting`, without creating or emptying: it
  // meets the same refusals (a link, a FIFO, a read-only file) with the same
  // errors.
  const int fd = ::open(name.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) return std::nullopt;
    throw OpenError(errno, "cannot create file", name);
  }
  struct stat info;
  if (::fstat(fd, &info) != 0) {
    const int error = errno;
    CloseQuietly(fd);
    throw SystemError(error, "cannot create file", name);
  }
  RequireRegularFile(fd, info, "cannot create file", name);
  CloseQuietly(fd);
  return StampFromStat(info);
}

FileStamp PosixFileSystem::StampOf(const std::string& name) {
  struct stat info;
  if (::lstat(name.c_str(), &info) != 0) throw SystemError(errno, "cannot look up file", name);
  return StampFromStat(info);
}

void PosixFileSystem::SyncDirectory() {
  static const std::string kOperation = "cannot flush folder to disk";
  const int fd = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    const int error = errno;
    throw SystemError(error, kOperation, FolderName());
  }
  // EINVAL: the file system cannot sync a folder; its entries are as safe
  // as it makes them.
  if (posix::system_calls.fsync(fd) != 0 && errno != EINVAL) {
    const int error = errno;
    CloseQuietly(fd);
    throw SystemError(error, kOperation, FolderName());
  }
  if (posix::system_calls.close(fd) != 0 && errno != EINTR) {
    const int error = errno;
    throw SystemError(error, kOperation, FolderName());
  }
}

void PosixFileSystem::DeleteFile(const std::string& name) {
  if (posix::system_calls.unlink(name.c_str()) != 0)
    throw SystemError(errno, "cannot delete file", name);
}

std::string PosixFileSystem::CurrentDirectory() {
  std::string path(256, '\0');
  for (;;) {
    if (::getcwd(path.data(), path.size()) != nullptr) {
      path.resize(std::strlen(path.c_str()));
      return path;
    }
    if (errno != ERANGE) throw SystemError(errno, "cannot find the current folder", ".");
    path.resize(path.size() * 2);
  }
}

}  // namespace corvane
