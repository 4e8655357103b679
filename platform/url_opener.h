// Which program hands a web address to the desktop's browser, and the path
// of a file in a folder: each system has its own (posix/url_opener.cc,
// windows/url_opener.cc), and the build picks the one of the system it
// builds for.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace corvane {

// A program and its arguments, as `ProgramStarter::StartProgram` takes them.
struct ProgramCall {
  std::string program;
  std::vector<std::string> arguments;

  friend bool operator==(const ProgramCall&, const ProgramCall&) = default;
};

// Joins a folder and a file name with the system's separator; nothing is
// quoted, and a folder that ends in a separator (a drive root) keeps it.
std::string JoinPath(std::string_view folder, std::string_view name);

// The opener for an Internet shortcut at `shortcut_path` (a full path)
// that holds `address`. On Windows the shell's opener reads the shortcut
// itself (see `WindowsUrlOpener`); the openers of the other desktops do not
// read a shortcut that holds nothing but the address line, so they are
// handed the address: xdg-open <address>.
ProgramCall DesktopUrlOpener(std::string shortcut_path, std::string_view address);

}  // namespace corvane
