// The user of the window program on Windows: messages and error reports in
// modal message boxes owned by the program's window and centred over it.
#pragma once

#include <string>
#include <string_view>

#include "platform/user.h"
#include "platform/windows/windows_api.h"

namespace corvane {

class Win32User final : public User {
 public:
  // `console` is told each error too (standard error, for whoever started
  // the program from a shell); `title` is the caption of the message
  // boxes, which `owner` owns (without one: the thread's active window, if
  // any). `console` must outlive this object.
  Win32User(User& console, std::string_view title, HWND owner = nullptr);

  // A modal message box with an OK button only and no icon, centred over
  // its owner; returns when it is dismissed.
  void ShowMessage(std::string_view text) override;
  // Hands the error to `console` too, then shows one modal error box with
  // its number, description, operation, file and the system's reason,
  // centred over its owner.
  void ReportError(const RuntimeError& error) override;
  // Ends the process with `status` at once; no window event follows.
  [[noreturn]] void EndProgram(int status) override;

 private:
  User& console_;
  std::wstring title_;
  HWND owner_;
};

}  // namespace corvane
