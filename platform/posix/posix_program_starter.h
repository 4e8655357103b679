// Starting a program on Linux and other POSIX systems.
#pragma once

#include <string>
#include <vector>

#include "platform/program_starter.h"

namespace corvane {

class PosixProgramStarter final : public ProgramStarter {
 public:
  // posix_spawnp: `program` is looked for in PATH. The child is waited for
  // by a thread of its own, so that none is left a zombie while the
  // program goes on.
  void StartProgram(const std::string& program, const std::vector<std::string>& arguments) override;
};

}  // namespace corvane
