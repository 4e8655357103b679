#include "platform/windows/known_folders.h"

// clang-format off
#include "platform/windows/windows_api.h"
// clang-format on
#include <shlobj.h>

#include <string>

#include "platform/launch.h"
#include "platform/windows/utf16.h"

namespace corvane {

std::string KnownFolder(const GUID& id) {
  wchar_t* path = nullptr;
  const HRESULT result = ::SHGetKnownFolderPath(id, KF_FLAG_DEFAULT, nullptr, &path);
  const std::string folder = SUCCEEDED(result) && path != nullptr ? Utf8FromWide(path) : "";
  ::CoTaskMemFree(path);
  if (folder.empty()) return {};
  try {
    return ResolveFolder(folder);
  } catch (const LaunchError&) {
    return {};
  }
}

bool IsDriveRoot(std::string_view folder) {
  if (folder.size() == 3 && folder[1] == ':' && folder[2] == '\\') {
    return (folder[0] >= 'A' && folder[0] <= 'Z') || (folder[0] >= 'a' && folder[0] <= 'z');
  }
  // "\\server\share", with a trailing backslash or not.
  if (!folder.starts_with("\\\\")) return false;
  std::string_view rest = folder.substr(2);
  if (rest.ends_with('\\')) rest.remove_suffix(1);
  const std::size_t separator = rest.find('\\');
  return separator != std::string_view::npos &&
         rest.find('\\', separator + 1) == std::string_view::npos;
}

}  // namespace corvane
