// The desktop's URL opener on Linux and the other POSIX desktops.
#include "platform/url_opener.h"

#include <string>

namespace corvane {

std::string JoinPath(std::string_view folder, std::string_view name) {
  return std::string(folder) + '/' + std::string(name);
}

ProgramCall DesktopUrlOpener(std::string shortcut_path, std::string_view address) {
  static_cast<void>(shortcut_path);
  return ProgramCall{"xdg-open", {std::string(address)}};
}

}  // namespace corvane
