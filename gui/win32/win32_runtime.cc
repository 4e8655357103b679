#include "gui/win32/win32_runtime.h"

#include <cstdio>
#include <exception>

#include "platform/windows/utf16.h"
#include "platform/windows/windows_api.h"

namespace corvane {

namespace {

// A modal box over the thread's active window (the form), or over all of
// the thread's windows when none is active.
void ShowBox(const std::wstring& title, std::string_view text, UINT icon) {
  const HWND owner = ::GetActiveWindow();
  ::MessageBoxW(owner, WideText(text).c_str(), title.c_str(),
                MB_OK | icon | MB_SETFOREGROUND | (owner != nullptr ? MB_APPLMODAL : MB_TASKMODAL));
}

}  // namespace

Win32Runtime::Win32Runtime(Runtime& native, std::string_view title)
    : RuntimeWrapper(native), title_(WideText(title)) {}

void Win32Runtime::ShowMessage(std::string_view text) { ShowBox(title_, text, 0); }

void Win32Runtime::ReportError(const RuntimeError& error) {
  // Also on standard error, for whoever started the program from a shell;
  // a program without a console loses that line, and nothing else.
  try {
    RuntimeWrapper::ReportError(error);
  } catch (const std::exception&) {
    // The box below is the report that counts.
  }
  ShowBox(title_, ErrorReportText(error), MB_ICONERROR);
}

void Win32Runtime::EndProgram(int status) {
  std::fflush(nullptr);
  ::ExitProcess(static_cast<UINT>(status));
}

}  // namespace corvane
