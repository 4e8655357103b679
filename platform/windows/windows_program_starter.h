// Starting a program on Windows.
#pragma once

#include <string>
#include <vector>

#include "platform/program_starter.h"

namespace corvane {

class WindowsProgramStarter final : public ProgramStarter {
 public:
  // Starts the program found by `FindProgram` (find_program.h) with a
  // normal, activated window and the command line of `WindowsCommandLine`;
  // no shell is involved. Nothing is left to collect: the handles the
  // system gives are closed at once.
  void StartProgram(const std::string& program, const std::vector<std::string>& arguments) override;
};

}  // namespace corvane
