// The runtime on Linux and other POSIX systems, for the console program.
//
// Files are reached with the system calls themselves (open, read, write,
// fsync, unlinkat, ...), relative to the current directory, so that every
// failure is seen with its errno. Messages go to standard output and error
// reports to standard error; the window program replaces those three
// services with its own.
#pragma once

#include <string>

#include "platform/errno_error.h"
#include "platform/runtime.h"

namespace corvane {

class PosixRuntime : public Runtime {
 public:
  // `program_name` starts every line this runtime writes to standard error.
  explicit PosixRuntime(std::string program_name);

  std::vector<std::string> ListFiles() override;
  std::unique_ptr<InputFile> OpenForReading(const std::string& name) override;
  std::unique_ptr<OutputFile> OpenForWriting(const std::string& name) override;
  std::unique_ptr<OutputFile> CreateNewFile(const std::string& name) override;
  // The files' flushes overlap (see fsync_together.h).
  std::vector<std::optional<RuntimeError>> SyncFiles(std::span<OutputFile* const> files) override;
  std::optional<FileStamp> CheckReplaceable(const std::string& name) override;
  FileStamp StampOf(const std::string& name) override;
  void SyncDirectory() override;
  void DeleteFile(const std::string& name) override;
  std::string CurrentDirectory() override;
  void StartProgram(const std::string& program, const std::vector<std::string>& arguments) override;

  // A line on standard output.
  void ShowMessage(std::string_view text) override;
  // "<program name>: <error>" on standard error.
  void ReportError(const RuntimeError& error) override;
  // Flushes standard output and exits; a failure to write it turns the
  // status into 1.
  void EndProgram(int status) override;

 private:
  std::string program_name_;
};

}  // namespace corvane
