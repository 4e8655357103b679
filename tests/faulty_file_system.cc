#include "tests/faulty_file_system.h"

#include <algorithm>
#include <cerrno>
#include <iterator>
#include <utility>

#include "platform/errno_error.h"

namespace corvane::testing {

// One file held open, counted in `FaultyFileSystem::open_files_` from its
// opening until it is closed or destroyed.
class OpenFileSlot {
 public:
  explicit OpenFileSlot(std::size_t& count) : count_(&count) { ++*count_; }
  ~OpenFileSlot() { Release(); }
  OpenFileSlot(const OpenFileSlot&) = delete;
  OpenFileSlot& operator=(const OpenFileSlot&) = delete;
  void Release() {
    if (count_ != nullptr) --*std::exchange(count_, nullptr);
  }

 private:
  std::size_t* count_;
};

class FaultyInputFile final : public InputFile {
 public:
  FaultyInputFile(FaultyFileSystem& owner, std::unique_ptr<InputFile> file, std::string name)
      : owner_(owner), file_(std::move(file)), name_(std::move(name)) {}

  std::size_t Read(char* buffer, std::size_t size) override {
    owner_.Before(Call::kRead, name_);
    return file_->Read(buffer, size);
  }
  FileStamp Stamp() const override { return file_->Stamp(); }
  void Close() override {
    owner_.Before(Call::kClose, name_);
    slot_.Release();
    file_->Close();
  }

 private:
  FaultyFileSystem& owner_;
  std::unique_ptr<InputFile> file_;
  std::string name_;
  OpenFileSlot slot_{owner_.open_files_};
};

class FaultyOutputFile final : public OutputFile {
 public:
  FaultyOutputFile(FaultyFileSystem& owner, std::unique_ptr<OutputFile> file, std::string name)
      : owner_(owner), file_(std::move(file)), name_(std::move(name)) {
    const FileStamp stamp = file_->Stamp();
    identity_ = {stamp.device, stamp.inode};
    owner_.durable_[identity_].reset();  // emptied, but not yet on disk
  }

  void Append(std::string_view data) override {
    owner_.durable_[identity_].reset();
    try {
      owner_.Before(Call::kAppend, name_);
    } catch (...) {
      // A write that fails may have written a part.
      Write(data.substr(0, data.size() / 2));
      throw;
    }
    Write(data);
  }

  void Sync() override {
    owner_.Before(Call::kSync, name_);
    file_->Sync();
    Synced();
  }

  // For `FaultyFileSystem::SyncFiles`: the file underneath, and what its
  // flush made durable.
  OutputFile* inner() { return file_.get(); }
  const std::string& name() const { return name_; }
  void Synced() { owner_.durable_[identity_] = written_; }

  FileStamp Stamp() const override { return file_->Stamp(); }

  void RenameOver(const std::string& target) override {
    owner_.Before(Call::kRename, target);
    owner_.BeforeNameChange(target);
    owner_.BeforeNameChange(name_);
    file_->RenameOver(target);
    name_ = target;
  }

  void Close() override {
    owner_.Before(Call::kClose, name_);
    slot_.Release();
    file_->Close();
  }

 private:
  void Write(std::string_view data) {
    file_->Append(data);
    written_.append(data);
  }

  FaultyFileSystem& owner_;
  std::unique_ptr<OutputFile> file_;
  std::string name_;
  OpenFileSlot slot_{owner_.open_files_};
  FaultyFileSystem::Identity identity_;
  std::string written_;
};

FaultyFileSystem::FaultyFileSystem(FileSystem& target,
                                   std::function<std::map<std::string, std::string>()> now)
    : FileSystemWrapper(target), now_(std::move(now)) {}

void FaultyFileSystem::Before(Call call, const std::string& file) {
  Record(call, file);
  static constexpr Call kSteps[] = {Call::kOpenForReading,   Call::kOpenForWriting,
                                    Call::kCreateNewFile,    Call::kRename,
                                    Call::kCheckReplaceable, Call::kDeleteFile};
  if (holds_per_step > 0 && std::ranges::find(kSteps, call) != std::end(kSteps)) {
    std::size_t& met = holds_met_[{call, file}];
    if (met < holds_per_step) {
      ++met;
      throw RuntimeError::Held(ErrorNumber::kPermissionDenied, OperationOf(call), file);
    }
    met = 0;
  }
  if (fault && (!fault->call || *fault->call == call)) {
    ++fault_count_;
    if (fault_count_ == fault->nth || (fault->from_then_on && fault_count_ > fault->nth)) {
      ++faults_raised;
      throw SystemError(fault->error, OperationOf(call), file);
    }
  }
  RunHook(call, file);
}

void FaultyFileSystem::RoomForAFile(Call call, const std::string& file) const {
  if (open_files_limit && open_files_ >= *open_files_limit) {
    throw SystemError(EMFILE, OperationOf(call), file);
  }
}

std::optional<std::string> FaultyFileSystem::DurableBytesOf(
    const std::string& name, const std::map<std::string, std::string>& now) {
  const FileStamp stamp = target().StampOf(name);
  if (auto written = durable_.find({stamp.device, stamp.inode}); written != durable_.end()) {
    return written->second;
  }
  return now.at(name);
}

void FaultyFileSystem::BeforeNameChange(const std::string& name) {
  if (undo_.contains(name)) return;
  const std::map<std::string, std::string> now = now_();
  undo_[name] = now.contains(name) ? Previous{true, DurableBytesOf(name, now)} : Previous{};
}

Disk FaultyFileSystem::PowerCut(bool changes_arrived) {
  const std::map<std::string, std::string> now = now_();
  Disk disk;
  for (const auto& [name, bytes] : now) disk[name] = DurableBytesOf(name, now);
  if (!changes_arrived) {
    for (const auto& [name, previous] : undo_) {
      if (previous.existed) {
        disk[name] = previous.bytes;
      } else {
        disk.erase(name);
      }
    }
  }
  return disk;
}

bool FaultyFileSystem::SafeOnDisk(const std::string& name) {
  const Disk disk = PowerCut(false);
  const std::map<std::string, std::string> now = now_();
  auto on_disk = disk.find(name);
  return on_disk != disk.end() && now.contains(name) && on_disk->second == now.at(name);
}

std::vector<std::string> FaultyFileSystem::ListFiles() {
  Before(Call::kListFiles, ".");
  return FileSystemWrapper::ListFiles();
}

std::unique_ptr<InputFile> FaultyFileSystem::OpenForReading(const std::string& name) {
  Before(Call::kOpenForReading, name);
  RoomForAFile(Call::kOpenForReading, name);
  return std::make_unique<FaultyInputFile>(*this, FileSystemWrapper::OpenForReading(name), name);
}

std::unique_ptr<OutputFile> FaultyFileSystem::OpenForWriting(const std::string& name) {
  Before(Call::kOpenForWriting, name);
  RoomForAFile(Call::kOpenForWriting, name);
  if (!now_().contains(name)) BeforeNameChange(name);
  return std::make_unique<FaultyOutputFile>(*this, FileSystemWrapper::OpenForWriting(name), name);
}

std::unique_ptr<OutputFile> FaultyFileSystem::CreateNewFile(const std::string& name) {
  Before(Call::kCreateNewFile, name);
  RoomForAFile(Call::kCreateNewFile, name);
  BeforeNameChange(name);
  return std::make_unique<FaultyOutputFile>(*this, FileSystemWrapper::CreateNewFile(name), name);
}

std::vector<std::optional<RuntimeError>> FaultyFileSystem::SyncFiles(
    std::span<OutputFile* const> files) {
  std::vector<std::optional<RuntimeError>> results(files.size());
  std::vector<FaultyOutputFile*> passed;
  std::vector<OutputFile*> inner;
  std::vector<std::size_t> places;
  for (std::size_t i = 0; i < files.size(); ++i) {
    // One of this wrapper's files, as SyncFiles' contract has it; the file
    // system underneath is handed the file it opened.
    auto* file = static_cast<FaultyOutputFile*>(files[i]);
    try {
      Before(Call::kSync, file->name());
      passed.push_back(file);
      inner.push_back(file->inner());
      places.push_back(i);
    } catch (const RuntimeError& error) {
      results[i] = error;
    }
  }
  std::vector<std::optional<RuntimeError>> flushed = FileSystemWrapper::SyncFiles(inner);
  for (std::size_t k = 0; k < passed.size(); ++k) {
    if (flushed[k]) {
      results[places[k]] = flushed[k];
    } else {
      passed[k]->Synced();
    }
  }
  return results;
}

std::optional<FileStamp> FaultyFileSystem::CheckReplaceable(const std::string& name) {
  Before(Call::kCheckReplaceable, name);
  RoomForAFile(Call::kCheckReplaceable, name);
  return FileSystemWrapper::CheckReplaceable(name);
}

FileStamp FaultyFileSystem::StampOf(const std::string& name) {
  Before(Call::kStampOf, name);
  return FileSystemWrapper::StampOf(name);
}

void FaultyFileSystem::SyncDirectory() {
  Before(Call::kSyncDirectory, ".");
  FileSystemWrapper::SyncDirectory();
  undo_.clear();
}

void FaultyFileSystem::DeleteFile(const std::string& name) {
  Before(Call::kDeleteFile, name);
  FileSystemWrapper::DeleteFile(name);
  // At worst the deletion reaches the disk before anything written since
  // the folder was last flushed.
  undo_.erase(name);
}

std::string FaultyFileSystem::CurrentDirectory() {
  Before(Call::kCurrentDirectory, ".");
  return FileSystemWrapper::CurrentDirectory();
}

}  // namespace corvane::testing
