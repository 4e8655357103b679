#include "tests/mem_file_system.h"

#include <algorithm>
#include <utility>

namespace corvane::testing {

namespace {

// A name as a case-insensitive system compares it: A to Z, and the
// accented capitals of Latin-1 (U+00C0 to U+00DE but U+00D7) in UTF-8,
// become small letters.
std::string Folded(std::string_view name) {
  std::string folded(name);
  for (std::size_t i = 0; i < folded.size(); ++i) {
    unsigned char& c = reinterpret_cast<unsigned char&>(folded[i]);
    if (c >= 'A' && c <= 'Z') c += 'a' - 'A';
    if (c == 0xC3 && i + 1 < folded.size()) {
      unsigned char& next = reinterpret_cast<unsigned char&>(folded[i + 1]);
      if (next >= 0x80 && next <= 0x9E && next != 0x97) next += 0x20;
      ++i;
    }
  }
  return folded;
}

FileStamp StampOfEntry(std::uint64_t inode, const MemFileSystem::Entry& entry) {
  return FileStamp{
      .device = 1, .inode = inode, .size = entry.bytes.size(), .modified_ns = entry.generation};
}

class MemInputFile final : public InputFile {
 public:
  MemInputFile(MemFileSystem& owner, std::string name, std::string bytes, FileStamp stamp)
      : owner_(owner), name_(std::move(name)), bytes_(std::move(bytes)), stamp_(stamp) {}

  std::size_t Read(char* buffer, std::size_t size) override {
    owner_.Before(Call::kRead, name_);
    const std::size_t count = std::min({size, owner_.read_size, bytes_.size() - offset_});
    std::copy_n(bytes_.data() + offset_, count, buffer);
    offset_ += count;
    return count;
  }

  FileStamp Stamp() const override { return stamp_; }

  void Close() override { owner_.Before(Call::kClose, name_); }

 private:
  MemFileSystem& owner_;
  std::string name_;
  std::string bytes_;  // as they were at opening
  std::size_t offset_ = 0;
  FileStamp stamp_;
};

// Writes to the file itself, whatever its names become. Its stamp is the
// one it had when it was opened, as the system's file systems keep it.
class MemOutputFile final : public OutputFile {
 public:
  MemOutputFile(MemFileSystem& owner, std::string name, std::uint64_t inode)
      : owner_(owner),
        name_(std::move(name)),
        inode_(inode),
        stamp_(StampOfEntry(inode, owner.files.at(inode))) {}

  void Append(std::string_view data) override {
    owner_.Before(Call::kAppend, name_);
    owner_.files.at(inode_).bytes.append(data);
    owner_.Changed(inode_);
  }

  void Sync() override { owner_.Before(Call::kSync, name_); }

  FileStamp Stamp() const override { return stamp_; }

  void RenameOver(const std::string& target) override {
    owner_.Before(Call::kRename, target);
    if (auto replaced = owner_.Resolve(target); replaced != owner_.names.end()) {
      owner_.names.erase(replaced);
    }
    // The file's old name goes wherever it is now (a test may have moved it).
    std::erase_if(owner_.names,
                  [&](const auto& name) { return name.first == name_ && name.second == inode_; });
    owner_.names[target] = inode_;
    name_ = target;
  }

  void Close() override { owner_.Before(Call::kClose, name_); }

 private:
  MemFileSystem& owner_;
  std::string name_;
  std::uint64_t inode_;
  FileStamp stamp_;
};

}  // namespace

void MemFileSystem::Add(const std::string& name, std::string bytes, Kind kind) {
  const std::uint64_t inode = next_inode_++;
  Entry& entry = files[inode];
  entry.bytes = std::move(bytes);
  entry.kind = kind;
  names[name] = inode;
}

void MemFileSystem::Link(const std::string& existing, const std::string& name) {
  names[name] = names.at(existing);
}

std::map<std::string, std::string> MemFileSystem::Now() const {
  std::map<std::string, std::string> now;
  for (const auto& [name, inode] : names) now[name] = files.at(inode).bytes;
  return now;
}

MemFileSystem::Entry& MemFileSystem::File(const std::string& name) {
  return files.at(names.at(name));
}

std::optional<std::string> MemFileSystem::Contents(const std::string& name) const {
  auto it = names.find(name);
  if (it == names.end()) return std::nullopt;
  return files.at(it->second).bytes;
}

std::map<std::string, std::uint64_t>::iterator MemFileSystem::Resolve(const std::string& name) {
  auto exact = names.find(name);
  if (exact != names.end() || !case_folding) return exact;
  // The listing's order (see ListFiles) is the names' order reversed.
  const std::string folded = Folded(name);
  for (auto it = names.rbegin(); it != names.rend(); ++it) {
    if (Folded(it->first) == folded) return std::prev(it.base());
  }
  return names.end();
}

void MemFileSystem::Changed(const std::string& name) { Changed(names.at(name)); }

void MemFileSystem::Changed(std::uint64_t inode) { ++files.at(inode).generation; }

MemFileSystem::Entry& MemFileSystem::Find(const std::string& name, const std::string& operation) {
  auto it = Resolve(name);
  if (it == names.end()) {
    throw RuntimeError(ErrorNumber::kFileNotFound, operation, name, "No such file or directory");
  }
  return files.at(it->second);
}

std::vector<std::string> MemFileSystem::ListFiles() {
  Before(Call::kListFiles, current_directory);
  std::vector<std::string> listed;
  for (const auto& [name, inode] : names) {
    if (files.at(inode).kind == Kind::kRegular) listed.push_back(name);
  }
  // Not in order, as a real folder: the caller sorts.
  std::reverse(listed.begin(), listed.end());
  return listed;
}

std::unique_ptr<InputFile> MemFileSystem::OpenForReading(const std::string& name) {
  Before(Call::kOpenForReading, name);
  auto it = Resolve(name);
  Entry& entry = Find(name, "cannot open file for reading");
  if (entry.kind != Kind::kRegular && entry.kind != Kind::kHidden) {
    throw RuntimeError(ErrorNumber::kPathFileAccessError, "cannot open file for reading", name,
                       "it is not a regular file");
  }
  return std::make_unique<MemInputFile>(*this, name, entry.bytes, StampOfEntry(it->second, entry));
}

namespace {

// The refusals that opening an existing file for writing meets.
void RequireWritable(const MemFileSystem::Entry& entry, const std::string& name) {
  if (entry.read_only) {
    throw RuntimeError(ErrorNumber::kPermissionDenied, "cannot create file", name,
                       "Permission denied");
  }
  if (entry.kind != MemFileSystem::Kind::kRegular && entry.kind != MemFileSystem::Kind::kHidden) {
    throw RuntimeError(ErrorNumber::kPathFileAccessError, "cannot create file", name,
                       "it is not a regular file");
  }
}

}  // namespace

std::unique_ptr<OutputFile> MemFileSystem::OpenForWriting(const std::string& name) {
  Before(Call::kOpenForWriting, name);
  auto it = Resolve(name);
  if (it == names.end()) {
    it = names.emplace(name, next_inode_++).first;
    files[it->second] = Entry{};
  }
  Entry& entry = files.at(it->second);
  RequireWritable(entry, name);
  entry.bytes.clear();
  entry.kind = Kind::kRegular;  // ordinary attributes, as the real file systems leave it
  Changed(it->second);
  return std::make_unique<MemOutputFile>(*this, name, it->second);
}

std::unique_ptr<OutputFile> MemFileSystem::CreateNewFile(const std::string& name) {
  Before(Call::kCreateNewFile, name);
  if (Resolve(name) != names.end()) {
    throw RuntimeError(ErrorNumber::kPathFileAccessError, "cannot create file", name,
                       "File exists");
  }
  const std::uint64_t inode = next_inode_++;
  names.emplace(name, inode);
  files[inode] = Entry{};
  Changed(inode);
  return std::make_unique<MemOutputFile>(*this, name, inode);
}

std::optional<FileStamp> MemFileSystem::CheckReplaceable(const std::string& name) {
  Before(Call::kCheckReplaceable, name);
  auto it = Resolve(name);
  if (it == names.end()) return std::nullopt;
  RequireWritable(files.at(it->second), name);
  return StampOfEntry(it->second, files.at(it->second));
}

FileStamp MemFileSystem::StampOf(const std::string& name) {
  Before(Call::kStampOf, name);
  Entry& entry = Find(name, "cannot look up file");
  return StampOfEntry(Resolve(name)->second, entry);
}

void MemFileSystem::SyncDirectory() { Before(Call::kSyncDirectory, current_directory); }

void MemFileSystem::DeleteFile(const std::string& name) {
  Before(Call::kDeleteFile, name);
  if (Find(name, "cannot delete file").undeletable) {
    throw RuntimeError(ErrorNumber::kPermissionDenied, "cannot delete file", name,
                       "Permission denied");
  }
  names.erase(Resolve(name));
}

std::string MemFileSystem::CurrentDirectory() {
  Before(Call::kCurrentDirectory, current_directory);
  return current_directory;
}

}  // namespace corvane::testing
