// The person the program works for: what it tells them, and the end of
// the program. The console writes to standard output and standard error;
// a window shows message boxes.
#pragma once

#include <functional>
#include <string_view>

#include "platform/runtime_error.h"

namespace corvane {

class User {
 public:
  virtual ~User() = default;

  // Shows `text` to the user (a message box with an OK button in the
  // window, a line on standard output in the console) and returns once the
  // user has seen it.
  virtual void ShowMessage(std::string_view text) = 0;

  // Tells the user about `error`: its number, description, operation, file
  // and reason.
  virtual void ReportError(const RuntimeError& error) = 0;

  // Ends the program with `status` at once, without any further event of
  // the window. The programs' own users do not return; a test's records the
  // call and returns.
  virtual void EndProgram(int status) = 0;
};

// The one error policy of the programs: runs `action` and returns true
// when it does; whatever it throws is told to `user` in one error report
// (an error of another type as "unexpected failure", with its text where
// it has one), and the program ends with status 1, after which it returns
// false where the user's end returns. Nothing escapes, not even a failing
// report.
bool ReportingFailures(User& user, const std::function<void()>& action);

}  // namespace corvane
