#include "tests/mem_runtime.h"

#include <algorithm>
#include <utility>

#include "platform/errno_error.h"

namespace corvane::testing {

namespace {

// What the POSIX runtime says it was doing when a call of this kind fails.
std::string OperationOf(Call call) {
  switch (call) {
    case Call::kListFiles:
      return "cannot read folder";
    case Call::kOpenForReading:
      return "cannot open file for reading";
    case Call::kRead:
      return "cannot read file";
    case Call::kOpenForWriting:
    case Call::kCheckReplaceable:
      return "cannot create file";
    case Call::kAppend:
      return "cannot write file";
    case Call::kSync:
      return "cannot flush file to disk";
    case Call::kRename:
      return "cannot replace file";
    case Call::kClose:
      return "cannot close file";
    case Call::kStampOf:
      return "cannot look up file";
    case Call::kSyncDirectory:
      return "cannot flush folder to disk";
    case Call::kDeleteFile:
      return "cannot delete file";
    case Call::kCurrentDirectory:
      return "cannot find the current folder";
    case Call::kStartProgram:
      return "cannot start program";
  }
  return "";
}

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

FileStamp StampOfEntry(std::uint64_t inode, const MemRuntime::Entry& entry) {
  return FileStamp{
      .device = 1, .inode = inode, .size = entry.bytes.size(), .modified_ns = entry.generation};
}

class MemInputFile final : public InputFile {
 public:
  MemInputFile(MemRuntime& runtime, std::string name, std::string bytes, FileStamp stamp)
      : runtime_(runtime), name_(std::move(name)), bytes_(std::move(bytes)), stamp_(stamp) {}

  std::size_t Read(char* buffer, std::size_t size) override {
    runtime_.Before(Call::kRead, name_);
    const std::size_t count = std::min({size, runtime_.read_size, bytes_.size() - offset_});
    std::copy_n(bytes_.data() + offset_, count, buffer);
    offset_ += count;
    return count;
  }

  FileStamp Stamp() const override { return stamp_; }

  void Close() override { runtime_.Before(Call::kClose, name_); }

 private:
  MemRuntime& runtime_;
  std::string name_;
  std::string bytes_;  // as they were at opening
  std::size_t offset_ = 0;
  FileStamp stamp_;
};

// Writes to the file itself, whatever its names become.
class MemOutputFile final : public OutputFile {
 public:
  MemOutputFile(MemRuntime& runtime, std::string name, std::uint64_t inode)
      : runtime_(runtime), name_(std::move(name)), inode_(inode) {}

  void Append(std::string_view data) override {
    try {
      runtime_.Before(Call::kAppend, name_);
    } catch (...) {
      // A write that fails may have written a part.
      AppendBytes(data.substr(0, data.size() / 2));
      throw;
    }
    AppendBytes(data);
  }

  void Sync() override {
    runtime_.Before(Call::kSync, name_);
    MemRuntime::Entry& entry = runtime_.files.at(inode_);
    entry.durable = entry.bytes;
  }

  FileStamp Stamp() const override { return StampOfEntry(inode_, runtime_.files.at(inode_)); }

  void RenameOver(const std::string& target) override {
    runtime_.Before(Call::kRename, target);
    if (auto replaced = runtime_.Resolve(target); replaced != runtime_.names.end()) {
      runtime_.names.erase(replaced);
    }
    // The file's old name goes wherever it is now (a test may have moved it).
    std::erase_if(runtime_.names,
                  [&](const auto& name) { return name.first == name_ && name.second == inode_; });
    runtime_.names[target] = inode_;
    name_ = target;
  }

  void Close() override { runtime_.Before(Call::kClose, name_); }

 private:
  void AppendBytes(std::string_view data) {
    runtime_.files.at(inode_).bytes.append(data);
    runtime_.Changed(inode_);
  }

  MemRuntime& runtime_;
  std::string name_;
  std::uint64_t inode_;
};

}  // namespace

std::string_view NameOf(Call call) {
  switch (call) {
    case Call::kListFiles:
      return "ListFiles";
    case Call::kOpenForReading:
      return "OpenForReading";
    case Call::kRead:
      return "Read";
    case Call::kOpenForWriting:
      return "OpenForWriting";
    case Call::kAppend:
      return "Append";
    case Call::kSync:
      return "Sync";
    case Call::kRename:
      return "Rename";
    case Call::kClose:
      return "Close";
    case Call::kCheckReplaceable:
      return "CheckReplaceable";
    case Call::kStampOf:
      return "StampOf";
    case Call::kSyncDirectory:
      return "SyncDirectory";
    case Call::kDeleteFile:
      return "DeleteFile";
    case Call::kCurrentDirectory:
      return "CurrentDirectory";
    case Call::kStartProgram:
      return "StartProgram";
  }
  return "?";
}

void MemRuntime::Add(const std::string& name, std::string bytes, Kind kind) {
  const std::uint64_t inode = next_inode_++;
  Entry& entry = files[inode];
  entry.bytes = std::move(bytes);
  entry.kind = kind;
  entry.durable = entry.bytes;
  names[name] = inode;
  durable_names[name] = inode;
}

void MemRuntime::Link(const std::string& existing, const std::string& name) {
  names[name] = names.at(existing);
  durable_names[name] = names.at(existing);
}

MemRuntime::Entry& MemRuntime::File(const std::string& name) { return files.at(names.at(name)); }

std::optional<std::string> MemRuntime::Contents(const std::string& name) const {
  auto it = names.find(name);
  if (it == names.end()) return std::nullopt;
  return files.at(it->second).bytes;
}

bool MemRuntime::SafeOnDisk(const std::string& name) const {
  auto now = names.find(name);
  auto disk = durable_names.find(name);
  return now != names.end() && disk != durable_names.end() && disk->second == now->second &&
         files.at(now->second).durable == files.at(now->second).bytes;
}

MemRuntime::Disk MemRuntime::PowerCut(bool changes_arrived) const {
  Disk disk;
  for (const auto& [name, inode] : changes_arrived ? names : durable_names) {
    disk.emplace(name, files.at(inode).durable);
  }
  return disk;
}

std::map<std::string, std::uint64_t>::iterator MemRuntime::Resolve(const std::string& name) {
  auto exact = names.find(name);
  if (exact != names.end() || !case_folding) return exact;
  // The listing's order (see ListFiles) is the names' order reversed.
  const std::string folded = Folded(name);
  for (auto it = names.rbegin(); it != names.rend(); ++it) {
    if (Folded(it->first) == folded) return std::prev(it.base());
  }
  return names.end();
}

void MemRuntime::Before(Call call, const std::string& file) {
  calls.emplace_back(call, file);
  if (fault && (!fault->call || *fault->call == call)) {
    ++fault_count_;
    if (fault_count_ == fault->nth || (fault->from_then_on && fault_count_ > fault->nth)) {
      ++faults_raised;
      throw SystemError(fault->error, OperationOf(call), file);
    }
  }
  if (before_call) before_call(call, file);
}

void MemRuntime::Changed(const std::string& name) { Changed(names.at(name)); }

void MemRuntime::Changed(std::uint64_t inode) {
  Entry& entry = files.at(inode);
  ++entry.generation;
  entry.durable.reset();
}

MemRuntime::Entry& MemRuntime::Find(const std::string& name, const std::string& operation) {
  auto it = Resolve(name);
  if (it == names.end()) {
    throw RuntimeError(ErrorNumber::kFileNotFound, operation, name, "No such file or directory");
  }
  return files.at(it->second);
}

std::vector<std::string> MemRuntime::ListFiles() {
  Before(Call::kListFiles, current_directory);
  std::vector<std::string> listed;
  for (const auto& [name, inode] : names) {
    if (files.at(inode).kind == Kind::kRegular) listed.push_back(name);
  }
  // Not in order, as a real folder: the caller sorts.
  std::reverse(listed.begin(), listed.end());
  return listed;
}

std::unique_ptr<InputFile> MemRuntime::OpenForReading(const std::string& name) {
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
void RequireWritable(const MemRuntime::Entry& entry, const std::string& name) {
  if (entry.read_only) {
    throw RuntimeError(ErrorNumber::kPermissionDenied, "cannot create file", name,
                       "Permission denied");
  }
  if (entry.kind != MemRuntime::Kind::kRegular && entry.kind != MemRuntime::Kind::kHidden) {
    throw RuntimeError(ErrorNumber::kPathFileAccessError, "cannot create file", name,
                       "it is not a regular file");
  }
}

}  // namespace

std::unique_ptr<OutputFile> MemRuntime::OpenForWriting(const std::string& name) {
  Before(Call::kOpenForWriting, name);
  auto it = Resolve(name);
  if (it == names.end()) {
    // A new file: its name is not on disk before the folder is flushed.
    it = names.emplace(name, next_inode_++).first;
    files[it->second] = Entry{};
  }
  Entry& entry = files.at(it->second);
  RequireWritable(entry, name);
  entry.bytes.clear();
  entry.kind = Kind::kRegular;  // ordinary attributes, as the real runtimes leave it
  Changed(it->second);
  return std::make_unique<MemOutputFile>(*this, name, it->second);
}

std::optional<FileStamp> MemRuntime::CheckReplaceable(const std::string& name) {
  Before(Call::kCheckReplaceable, name);
  auto it = Resolve(name);
  if (it == names.end()) return std::nullopt;
  RequireWritable(files.at(it->second), name);
  return StampOfEntry(it->second, files.at(it->second));
}

FileStamp MemRuntime::StampOf(const std::string& name) {
  Before(Call::kStampOf, name);
  Entry& entry = Find(name, "cannot look up file");
  return StampOfEntry(Resolve(name)->second, entry);
}

void MemRuntime::SyncDirectory() {
  Before(Call::kSyncDirectory, current_directory);
  durable_names = names;
}

void MemRuntime::DeleteFile(const std::string& name) {
  Before(Call::kDeleteFile, name);
  if (Find(name, "cannot delete file").undeletable) {
    throw RuntimeError(ErrorNumber::kPermissionDenied, "cannot delete file", name,
                       "Permission denied");
  }
  auto it = Resolve(name);
  // At worst the deletion reaches the disk before anything written since
  // the folder was last flushed.
  durable_names.erase(it->first);
  names.erase(it);
}

std::string MemRuntime::CurrentDirectory() {
  Before(Call::kCurrentDirectory, current_directory);
  return current_directory;
}

void MemRuntime::StartProgram(const std::string& program,
                              const std::vector<std::string>& arguments) {
  Before(Call::kStartProgram, program);
  std::vector<std::string> command{program};
  command.insert(command.end(), arguments.begin(), arguments.end());
  started.push_back(std::move(command));
}

void MemRuntime::ShowMessage(std::string_view text) { messages.emplace_back(text); }

void MemRuntime::ReportError(const RuntimeError& error) {
  error_reports.emplace_back(error.what());
}

void MemRuntime::EndProgram(int status) { end_status = status; }

}  // namespace corvane::testing
