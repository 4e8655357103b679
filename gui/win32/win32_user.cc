#include "gui/win32/win32_user.h"

#include <algorithm>
#include <cstdio>
#include <exception>

#include "platform/windows/utf16.h"
#include "platform/windows/windows_api.h"

namespace corvane {

namespace {

// Windows places a message box in the middle of the screen whatever its
// owner. While a box is being shown, this hook of the thread's window
// events moves it over the middle of its owner as it is first activated,
// kept within the owner's screen, before it is drawn.
class CentringHook {
 public:
  explicit CentringHook(HWND owner) {
    owner_ = owner;
    hook_ = ::SetWindowsHookExW(WH_CBT, Procedure, nullptr, ::GetCurrentThreadId());
  }
  ~CentringHook() {
    if (hook_ != nullptr) ::UnhookWindowsHookEx(hook_);
    owner_ = nullptr;
  }
  CentringHook(const CentringHook&) = delete;
  CentringHook& operator=(const CentringHook&) = delete;

 private:
  static LRESULT CALLBACK Procedure(int code, WPARAM w, LPARAM l) {
    if (code == HCBT_ACTIVATE && owner_ != nullptr) {
      const auto box = reinterpret_cast<HWND>(w);
      if (::GetWindow(box, GW_OWNER) == owner_) {
        Centre(box, owner_);
        owner_ = nullptr;  // once: the box may be moved afterwards
      }
    }
    return ::CallNextHookEx(nullptr, code, w, l);
  }

  static void Centre(HWND box, HWND over) {
    RECT outer{};
    RECT inner{};
    if (!::GetWindowRect(over, &outer) || !::GetWindowRect(box, &inner)) return;
    const LONG width = inner.right - inner.left;
    const LONG height = inner.bottom - inner.top;
    LONG left = outer.left + (outer.right - outer.left - width) / 2;
    LONG top = outer.top + (outer.bottom - outer.top - height) / 2;
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (::GetMonitorInfoW(::MonitorFromWindow(over, MONITOR_DEFAULTTONEAREST), &monitor)) {
      const RECT& work = monitor.rcWork;
      left = std::max(work.left, std::min(left, work.right - width));
      top = std::max(work.top, std::min(top, work.bottom - height));
    }
    ::SetWindowPos(box, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }

  // One box at a time on the program's one thread.
  static inline HWND owner_ = nullptr;
  HHOOK hook_ = nullptr;
};

// A modal box owned by `owner`, or by the thread's active window when there
// is no owner, centred over it; over all of the thread's windows when there
// is neither.
void ShowBox(HWND owner, const std::wstring& title, std::string_view text, UINT icon) {
  if (owner == nullptr) owner = ::GetActiveWindow();
  const CentringHook centring(owner);
  ::MessageBoxW(owner, WideText(text).c_str(), title.c_str(),
                MB_OK | icon | MB_SETFOREGROUND | (owner != nullptr ? MB_APPLMODAL : MB_TASKMODAL));
}

}  // namespace

Win32User::Win32User(User& console, std::string_view title, HWND owner)
    : console_(console), title_(WideText(title)), owner_(owner) {}

void Win32User::ShowMessage(std::string_view text) { ShowBox(owner_, title_, text, 0); }

void Win32User::ReportError(const RuntimeError& error) {
  // Also on standard error, for whoever started the program from a shell;
  // a program without a console loses that line, and nothing else.
  try {
    console_.ReportError(error);
  } catch (const std::exception&) {
    // The box below is the report that counts.
  }
  ShowBox(owner_, title_, ErrorReportText(error), MB_ICONERROR);
}

void Win32User::EndProgram(int status) {
  std::fflush(nullptr);
  ::ExitProcess(static_cast<UINT>(status));
}

}  // namespace corvane
