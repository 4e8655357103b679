// A file system that hands every call to another one.
//
// Derive from it to change a few calls and keep the rest: a test makes one
// call fail or records it, and lets the real file system do everything
// else. The files it hands out are those of the file system underneath; a
// wrapper that wraps them in files of its own also overrides `SyncFiles`,
// to hand the files underneath down (as FaultyFileSystem does).
#pragma once

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace corvane::testing {

class FileSystemWrapper : public FileSystem {
 public:
  // `target` must outlive this object.
  explicit FileSystemWrapper(FileSystem& target) : target_(target) {}

  FileSystem& target() const { return target_; }

  std::vector<std::string> ListFiles() override { return target_.ListFiles(); }
  std::unique_ptr<InputFile> OpenForReading(const std::string& name) override {
    return target_.OpenForReading(name);
  }
  std::unique_ptr<OutputFile> OpenForWriting(const std::string& name) override {
    return target_.OpenForWriting(name);
  }
  std::unique_ptr<OutputFile> CreateNewFile(const std::string& name) override {
    return target_.CreateNewFile(name);
  }
  std::vector<std::optional<RuntimeError>> SyncFiles(std::span<OutputFile* const> files) override {
    return target_.SyncFiles(files);
  }
  std::optional<FileStamp> CheckReplaceable(const std::string& name) override {
    return target_.CheckReplaceable(name);
  }
  FileStamp StampOf(const std::string& name) override { return target_.StampOf(name); }
  void SyncDirectory() override { target_.SyncDirectory(); }
  void DeleteFile(const std::string& name) override { target_.DeleteFile(name); }
  std::string CurrentDirectory() override { return target_.CurrentDirectory(); }

 private:
  FileSystem& target_;
};

}  // namespace corvane::testing
