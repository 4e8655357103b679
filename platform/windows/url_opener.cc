// The desktop's URL opener on Windows: the shell's, on the shortcut.
#include "platform/url_opener.h"

#include <string>
#include <utility>

#include "platform/windows/command_line.h"

namespace corvane {

std::string JoinPath(std::string_view folder, std::string_view name) {
  return std::string(folder) + '\\' + std::string(name);
}

ProgramCall DesktopUrlOpener(std::string shortcut_path, std::string_view address) {
  static_cast<void>(address);
  return WindowsUrlOpener(std::move(shortcut_path));
}

}  // namespace corvane
