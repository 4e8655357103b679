#include "platform/windows/find_program.h"

// clang-format off
#include "platform/windows/windows_api.h"
// clang-format on

#include <string>

#include "platform/windows/utf16.h"
#include "platform/windows/windows_error.h"

namespace corvane {

namespace {

std::wstring SystemFolder(UINT(WINAPI* query)(LPWSTR, UINT)) {
  return GrowingBuffer([&](wchar_t* buffer, UINT size) { return query(buffer, size); });
}

}  // namespace

std::string FindProgram(const std::string& program) {
  static const std::string kOperation = "cannot start program";
  const std::wstring wide = WideName(program, kOperation);
  if (wide.empty()) throw WindowsError(ERROR_FILE_NOT_FOUND, kOperation, program);
  if (wide.find_first_of(L"\\/:") != std::wstring::npos) return program;

  std::wstring folders =
      SystemFolder(::GetSystemDirectoryW) + L";" + SystemFolder(::GetWindowsDirectoryW);
  if (const DWORD size = ::GetEnvironmentVariableW(L"PATH", nullptr, 0); size > 0) {
    std::wstring path(size, L'\0');
    path.resize(::GetEnvironmentVariableW(L"PATH", path.data(), size));
    folders += L";" + path;
  }
  const std::wstring found = GrowingBuffer([&](wchar_t* buffer, DWORD size) {
    return ::SearchPathW(folders.c_str(), wide.c_str(), L".exe", size, buffer, nullptr);
  });
  if (found.empty()) throw WindowsError(ERROR_FILE_NOT_FOUND, kOperation, program);
  return Utf8FromWide(found);
}

}  // namespace corvane
