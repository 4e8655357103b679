// Which program hands the donation page to the desktop's browser.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace corvane {

// A program and its arguments, as `Runtime::StartProgram` takes them.
struct ProgramCall {
  std::string program;
  std::vector<std::string> arguments;

  friend bool operator==(const ProgramCall&, const ProgramCall&) = default;
};

// Joins a folder and a file name with the system's separator; nothing is
// quoted, and a folder that ends in a separator (a drive root) keeps it.
inline std::string JoinPath(std::string_view folder, std::string_view name) {
#ifdef _WIN32
  constexpr char kSeparator = '\\';
#else
  constexpr char kSeparator = '/';
#endif
  return std::string(folder) + kSeparator + std::string(name);
}

// The shell's URL opener on Windows for the Internet shortcut at
// `shortcut_path` (a full path): started through `Runtime::StartProgram` it
// runs the command line
//   rundll32.exe shdocvw.dll,OpenURL <shortcut_path>
inline ProgramCall WindowsUrlOpener(std::string shortcut_path) {
  return ProgramCall{"rundll32.exe", {"shdocvw.dll,OpenURL", std::move(shortcut_path)}};
}

// The opener for an Internet shortcut at `shortcut_path` (a full path)
// that holds `address`. On Windows the shell's opener reads the shortcut
// itself; the openers of the other desktops do not read a shortcut that
// holds nothing but the address line, so they are handed the address.
inline ProgramCall DesktopUrlOpener(std::string shortcut_path, std::string_view address) {
#ifdef _WIN32
  static_cast<void>(address);
  return WindowsUrlOpener(std::move(shortcut_path));
#else
  static_cast<void>(shortcut_path);
  return ProgramCall{"xdg-open", {std::string(address)}};
#endif
}

}  // namespace corvane
