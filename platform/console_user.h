// The person at a console, and the end of a console program, the same on
// every system but for how a line reaches the console (console_user.cc in
// each system's folder).
#pragma once

#include <string>
#include <string_view>
#include <utility>

#include "platform/user.h"

namespace corvane {

// Flushes standard output and exits with `status`. When standard output
// could not be written (a full disk, a closed pipe), says so on standard
// error after `program_name` and exits with 1 instead of 0: a result the
// user never got is no success.
[[noreturn]] void ExitConsoleProgram(const std::string& program_name, int status);

class ConsoleUser final : public User {
 public:
  // `program_name` starts every line written to standard error.
  explicit ConsoleUser(std::string program_name) : program_name_(std::move(program_name)) {}

  // A line on standard output.
  void ShowMessage(std::string_view text) override;
  // "<program name>: <error>" on standard error.
  void ReportError(const RuntimeError& error) override;
  // ExitConsoleProgram.
  [[noreturn]] void EndProgram(int status) override { ExitConsoleProgram(program_name_, status); }

 private:
  std::string program_name_;
};

}  // namespace corvane
