// Lines on a Windows console.
#include "platform/console_user.h"

// clang-format off
#include "platform/windows/windows_api.h"
// clang-format on

#include <cstdio>
#include <string>

#include "platform/windows/utf16.h"

namespace corvane {

namespace {

// Writes `text` and a line end to standard output or standard error. A
// console is given UTF-16, so that names in any script show as they are; a
// file or a pipe gets the UTF-8 bytes.
void WriteLine(std::FILE* stream, DWORD standard_handle, std::string_view text) {
  const HANDLE handle = ::GetStdHandle(standard_handle);
  DWORD mode = 0;
  if (handle != INVALID_HANDLE_VALUE && handle != nullptr && ::GetConsoleMode(handle, &mode)) {
    std::fflush(stream);
    const std::wstring wide = WideText(text) + L"\r\n";
    DWORD written = 0;
    if (::WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr)) {
      return;
    }
  }
  std::fwrite(text.data(), 1, text.size(), stream);
  std::fputc('\n', stream);
}

}  // namespace

void ConsoleUser::ShowMessage(std::string_view text) { WriteLine(stdout, STD_OUTPUT_HANDLE, text); }

void ConsoleUser::ReportError(const RuntimeError& error) {
  WriteLine(stderr, STD_ERROR_HANDLE, program_name_ + ": " + error.what());
}

}  // namespace corvane
