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
      return "cannot create file";
    case Call::kAppend:
      return "cannot write file";
    case Call::kSync:
      return "cannot flush file to disk";
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

FileStamp StampOfEntry(const MemRuntime::Entry& entry) {
  return FileStamp{.device = 1,
                   .inode = entry.inode,
                   .size = entry.bytes.size(),
                   .modified_ns = entry.generation};
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

class MemOutputFile final : public OutputFile {
 public:
  MemOutputFile(MemRuntime& runtime, std::string name)
      : runtime_(runtime), name_(std::move(name)) {}

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
    MemRuntime::Entry& entry = runtime_.files.at(name_);
    entry.durable = entry.bytes;
    if (auto it = runtime_.on_disk.find(name_); it != runtime_.on_disk.end()) {
      it->second = entry.bytes;
    }
  }

  void Close() override { runtime_.Before(Call::kClose, name_); }

 private:
  void AppendBytes(std::string_view data) {
    runtime_.files.at(name_).bytes.append(data);
    runtime_.Changed(name_);
  }

  MemRuntime& runtime_;
  std::string name_;
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
    case Call::kClose:
      return "Close";
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
  Entry& entry = files[name] = Entry{};
  entry.bytes = std::move(bytes);
  entry.kind = kind;
  entry.inode = next_inode_++;
  entry.durable = entry.bytes;
  on_disk[name] = entry.bytes;
}

std::optional<std::string> MemRuntime::Contents(const std::string& name) const {
  auto it = files.find(name);
  if (it == files.end()) return std::nullopt;
  return it->second.bytes;
}

bool MemRuntime::SafeOnDisk(const std::string& name) const {
  auto file = files.find(name);
  auto disk = on_disk.find(name);
  return file != files.end() && disk != on_disk.end() && disk->second == file->second.bytes;
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

void MemRuntime::Changed(const std::string& name) {
  Entry& entry = files.at(name);
  ++entry.generation;
  entry.durable.reset();
  if (auto it = on_disk.find(name); it != on_disk.end()) it->second.reset();
}

MemRuntime::Entry& MemRuntime::Find(const std::string& name, const std::string& operation) {
  auto it = files.find(name);
  if (it == files.end()) {
    throw RuntimeError(ErrorNumber::kFileNotFound, operation, name, "No such file or directory");
  }
  return it->second;
}

std::vector<std::string> MemRuntime::ListFiles() {
  Before(Call::kListFiles, current_directory);
  std::vector<std::string> names;
  for (const auto& [name, entry] : files) {
    if (entry.kind == Kind::kRegular) names.push_back(name);
  }
  // Not in order, as a real folder: the caller sorts.
  std::reverse(names.begin(), names.end());
  return names;
}

std::unique_ptr<InputFile> MemRuntime::OpenForReading(const std::string& name) {
  Before(Call::kOpenForReading, name);
  Entry& entry = Find(name, "cannot open file for reading");
  if (entry.kind != Kind::kRegular && entry.kind != Kind::kHidden) {
    throw RuntimeError(ErrorNumber::kPathFileAccessError, "cannot open file for reading", name,
                       "it is not a regular file");
  }
  return std::make_unique<MemInputFile>(*this, name, entry.bytes, StampOfEntry(entry));
}

std::unique_ptr<OutputFile> MemRuntime::OpenForWriting(const std::string& name) {
  Before(Call::kOpenForWriting, name);
  auto it = files.find(name);
  if (it == files.end()) {
    // A new file: its name is not on disk before the folder is synced.
    it = files.emplace(name, Entry{}).first;
    it->second.inode = next_inode_++;
  } else if (it->second.read_only) {
    throw RuntimeError(ErrorNumber::kPermissionDenied, "cannot create file", name,
                       "Permission denied");
  } else if (it->second.kind != Kind::kRegular) {
    throw RuntimeError(ErrorNumber::kPathFileAccessError, "cannot create file", name,
                       "it is not a regular file");
  }
  it->second.bytes.clear();
  Changed(name);
  return std::make_unique<MemOutputFile>(*this, name);
}

FileStamp MemRuntime::StampOf(const std::string& name) {
  Before(Call::kStampOf, name);
  return StampOfEntry(Find(name, "cannot look up file"));
}

void MemRuntime::SyncDirectory() {
  Before(Call::kSyncDirectory, current_directory);
  on_disk.clear();
  for (const auto& [name, entry] : files) on_disk.emplace(name, entry.durable);
}

void MemRuntime::DeleteFile(const std::string& name) {
  Before(Call::kDeleteFile, name);
  Entry& entry = Find(name, "cannot delete file");
  if (entry.undeletable) {
    throw RuntimeError(ErrorNumber::kPermissionDenied, "cannot delete file", name,
                       "Permission denied");
  }
  files.erase(name);
  // At worst the deletion reaches the disk before anything written since
  // the folder was last synced.
  on_disk.erase(name);
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
