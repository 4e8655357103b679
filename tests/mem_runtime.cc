#include "tests/mem_runtime.h"

#include <algorithm>
#include <utility>

namespace corvane::testing {

namespace {

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
    runtime_.Before(Call::kAppend, name_);
    MemRuntime::Entry& entry = runtime_.files.at(name_);
    entry.bytes.append(data);
    entry.synced = false;
    ++entry.generation;
  }

  void Sync() override {
    runtime_.Before(Call::kSync, name_);
    runtime_.files.at(name_).synced = true;
  }

  void Close() override { runtime_.Before(Call::kClose, name_); }

 private:
  MemRuntime& runtime_;
  std::string name_;
};

}  // namespace

void MemRuntime::Add(const std::string& name, std::string bytes, Kind kind) {
  Entry& entry = files[name];
  entry = Entry{.bytes = std::move(bytes), .kind = kind, .inode = next_inode_++};
}

std::optional<std::string> MemRuntime::Contents(const std::string& name) const {
  auto it = files.find(name);
  if (it == files.end()) return std::nullopt;
  return it->second.bytes;
}

MemRuntime::Entry& MemRuntime::Find(const std::string& name, const std::string& operation) {
  auto it = files.find(name);
  if (it == files.end()) {
    throw RuntimeError(ErrorNumber::kFileNotFound, operation, name, "No such file or directory");
  }
  return it->second;
}

std::vector<std::string> MemRuntime::ListFiles() {
  Before(Call::kListFiles, ".");
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
                       "not a regular file");
  }
  return std::make_unique<MemInputFile>(*this, name, entry.bytes, StampOfEntry(entry));
}

std::unique_ptr<OutputFile> MemRuntime::OpenForWriting(const std::string& name) {
  Before(Call::kOpenForWriting, name);
  auto it = files.find(name);
  if (it == files.end()) {
    Add(name, "");
    it = files.find(name);
  } else if (it->second.read_only) {
    throw RuntimeError(ErrorNumber::kPermissionDenied, "cannot create file", name,
                       "Permission denied");
  } else if (it->second.kind != Kind::kRegular) {
    throw RuntimeError(ErrorNumber::kPathFileAccessError, "cannot create file", name,
                       "not a regular file");
  }
  it->second.bytes.clear();
  it->second.synced = false;
  ++it->second.generation;
  directory_synced = false;
  return std::make_unique<MemOutputFile>(*this, name);
}

FileStamp MemRuntime::StampOf(const std::string& name) {
  Before(Call::kStampOf, name);
  return StampOfEntry(Find(name, "cannot look up file"));
}

void MemRuntime::SyncDirectory() {
  Before(Call::kSyncDirectory, ".");
  directory_synced = true;
}

void MemRuntime::DeleteFile(const std::string& name) {
  Before(Call::kDeleteFile, name);
  Entry& entry = Find(name, "cannot delete file");
  if (entry.undeletable) {
    throw RuntimeError(ErrorNumber::kPermissionDenied, "cannot delete file", name,
                       "Permission denied");
  }
  files.erase(name);
}

std::string MemRuntime::CurrentDirectory() {
  Before(Call::kCurrentDirectory, ".");
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

void MemRuntime::ReportError(const RuntimeError& error) { error_reports.emplace_back(error.what()); }

void MemRuntime::EndProgram(int status) { end_status = status; }

}  // namespace corvane::testing
