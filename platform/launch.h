// Starting the window program in a folder the user chose.
//
// The window program works on its current folder: whoever starts it decides
// which pages it converts and deletes. The launcher behind the menu entry
// uses these calls to check the folder and the program first, and then to
// make the folder current and replace itself with the program. Nothing here
// shows anything; failures are thrown as `LaunchError` for the caller to
// show.
#pragma once

#include <stdexcept>
#include <string>

namespace corvane {

// Why the window program cannot be started: what was being done, the folder
// or program concerned and the cause. `what()` reads
//   cannot open the folder "/home/ann/pages": No such file or directory
class LaunchError : public std::runtime_error {
 public:
  LaunchError(std::string operation, std::string path, std::string reason);

  const std::string& operation() const { return operation_; }
  const std::string& path() const { return path_; }
  const std::string& reason() const { return reason_; }

 private:
  std::string operation_;
  std::string path_;
  std::string reason_;
};

// `folder` as an absolute path without symbolic links, "." or "..". Throws
// LaunchError when it does not exist, is not a folder or may not be entered.
std::string ResolveFolder(const std::string& folder);

// The user's home folder resolved like `ResolveFolder`, or an empty string
// when $HOME is unset or does not lead to a folder.
std::string HomeFolder();

// The folder that holds the running program. Throws LaunchError when the
// system cannot tell.
std::string ProgramFolder();

// Checks that `program` is a regular file this user may run. Throws
// LaunchError when it is missing, not a file or not executable.
void CheckProgram(const std::string& program);

// Makes `folder` the current directory and replaces this process with
// `program`, started without arguments and with this environment ($PWD set
// to `folder`). Returns only by throwing LaunchError, when `folder` cannot
// be entered or `program` cannot be started.
[[noreturn]] void RunProgramIn(const std::string& program, const std::string& folder);

}  // namespace corvane
