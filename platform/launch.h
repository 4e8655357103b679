// Starting the window program in a folder the user chose.
//
// The window program works on its current folder: whoever starts it decides
// which pages it converts and deletes. The launcher behind the menu entry
// uses these calls to check the folder and the program first, and then to
// start the program in the folder and end itself. Nothing here shows
// anything; failures are thrown as `LaunchError` for the caller to show.
// Paths are in UTF-8 on every system.
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

// `folder` as an absolute path without symbolic links, "." or "..", so that
// two names of one folder compare equal: on Windows also with the long names
// and the letter case that the file system keeps ("C:\Users\Ann" for
// "c:\users\ann\."). Throws LaunchError when it does not exist, is not a
// folder or may not be entered.
std::string ResolveFolder(const std::string& folder);

// The user's home folder resolved like `ResolveFolder`, or an empty string
// when there is none that leads to a folder: $HOME on POSIX systems, the
// user's profile folder on Windows.
std::string HomeFolder();

// The folder that holds the running program. Throws LaunchError when the
// system cannot tell.
std::string ProgramFolder();

// Checks that `program` is a regular file this user may run. Throws
// LaunchError when it is missing, not a file or not executable (on Windows:
// not a Windows program).
void CheckProgram(const std::string& program);

// Starts `program` without arguments and with this environment, with
// `folder` as its current directory, and ends this process. On POSIX
// systems this process becomes the program (exec, with $PWD set to
// `folder`); on Windows the program is started as a new process and this one
// exits with status 0. Returns only by throwing LaunchError, when `folder`
// cannot be entered or `program` cannot be started.
[[noreturn]] void RunProgramIn(const std::string& program, const std::string& folder);

}  // namespace corvane
