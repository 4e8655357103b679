// A runtime that hands every call to another one.
//
// Derive from it to change a few services and keep the rest: the window
// program shows its messages in message boxes but reaches the files through
// the system's own runtime, whichever that is; a test makes one call fail
// or records it, and lets the real runtime do everything else.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/runtime.h"

namespace corvane {

class RuntimeWrapper : public Runtime {
 public:
  // `target` must outlive this object.
  explicit RuntimeWrapper(Runtime& target) : target_(target) {}

  Runtime& target() const { return target_; }

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
  void StartProgram(const std::string& program,
                    const std::vector<std::string>& arguments) override {
    target_.StartProgram(program, arguments);
  }
  void ShowMessage(std::string_view text) override { target_.ShowMessage(text); }
  void ReportError(const RuntimeError& error) override { target_.ReportError(error); }
  void EndProgram(int status) override { target_.EndProgram(status); }

 private:
  Runtime& target_;
};

}  // namespace corvane
