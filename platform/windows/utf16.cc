#include "platform/windows/utf16.h"

// clang-format off
#include "platform/windows/windows_api.h"
// clang-format on

#include <algorithm>

#include "platform/runtime_error.h"

namespace corvane {

std::wstring WideText(std::string_view text) {
  // A UTF-8 text never has more UTF-16 units than bytes.
  std::wstring wide(text.size(), L'\0');
  const int length =
      text.empty() ? 0
                   : ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                           wide.data(), static_cast<int>(wide.size()));
  wide.resize(static_cast<std::size_t>(std::max(length, 0)));
  return wide;
}

std::wstring WideName(std::string_view name, const std::string& operation) {
  if (name.empty()) return {};
  const int size = static_cast<int>(name.size());
  const int length =
      ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, name.data(), size, nullptr, 0);
  if (length <= 0) {
    throw RuntimeError(ErrorNumber::kPathFileAccessError, operation, std::string(name),
                       "the name is not valid UTF-8");
  }
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, name.data(), size, wide.data(), length);
  return wide;
}

std::string Utf8FromWide(std::wstring_view text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int length =
      ::WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(length), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), size, utf8.data(), length, nullptr, nullptr);
  return utf8;
}

}  // namespace corvane
