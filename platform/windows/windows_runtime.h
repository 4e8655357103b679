// The runtime on Windows, for the console program.
//
// Files are reached with the Win32 calls themselves (CreateFileW, ReadFile,
// WriteFile, ...), relative to the current directory, so that every failure
// is seen with its system error code. Names cross the boundary as UTF-16:
// the program holds them in UTF-8 and converts them on each call, while the
// bytes inside the files pass unchanged. Messages go to standard output and
// error reports to standard error; a window program replaces those three
// services with its own.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/runtime.h"

namespace corvane {

class WindowsRuntime : public Runtime {
 public:
  // `program_name` starts every line this runtime writes to standard error.
  explicit WindowsRuntime(std::string program_name);

  std::vector<std::string> ListFiles() override;
  std::unique_ptr<InputFile> OpenForReading(const std::string& name) override;
  std::unique_ptr<OutputFile> OpenForWriting(const std::string& name) override;
  std::unique_ptr<OutputFile> CreateNewFile(const std::string& name) override;
  // One file after the other: FlushFileBuffers has no form that overlaps
  // on the Windows versions this program supports.
  std::vector<std::optional<RuntimeError>> SyncFiles(std::span<OutputFile* const> files) override {
    return SyncEachInTurn(files);
  }
  std::optional<FileStamp> CheckReplaceable(const std::string& name) override;
  FileStamp StampOf(const std::string& name) override;
  void SyncDirectory() override;
  void DeleteFile(const std::string& name) override;
  std::string CurrentDirectory() override;
  // Starts the program found by `FindProgram` (find_program.h) with a normal, activated
  // window and the command line of `WindowsCommandLine`; no shell is
  // involved.
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
