// The person and the program starter as the tests have them: what the
// program told the user, how it ended, and the programs it started; and
// with the in-memory file system, the whole runtime in memory.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/runtime.h"
#include "tests/mem_file_system.h"

namespace corvane::testing {

// Records what the program tells the user, and its end, which returns.
struct RecordingUser final : User {
  std::vector<std::string> messages;
  std::vector<std::string> error_reports;  // each error's what()
  std::optional<int> end_status;

  void ShowMessage(std::string_view text) override { messages.emplace_back(text); }
  void ReportError(const RuntimeError& error) override { error_reports.emplace_back(error.what()); }
  void EndProgram(int status) override { end_status = status; }
};

// Records the programs started, or fails to start them.
struct RecordingStarter final : ProgramStarter {
  std::vector<std::vector<std::string>> started;  // program, then its arguments
  std::optional<RuntimeError> failure;            // thrown by every start, if set

  void StartProgram(const std::string& program,
                    const std::vector<std::string>& arguments) override {
    if (failure) throw *failure;
    std::vector<std::string> command{program};
    command.insert(command.end(), arguments.begin(), arguments.end());
    started.push_back(std::move(command));
  }
};

// Files in memory, the rest recorded.
struct MemRuntime : MemFileSystem {
  RecordingStarter programs;
  RecordingUser user;

  operator Runtime() { return {*this, programs, user}; }
};

}  // namespace corvane::testing
