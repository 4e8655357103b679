// Starting another program: the desktop's URL opener, for the donation
// link.
#pragma once

#include <string>
#include <vector>

#include "platform/runtime_error.h"

namespace corvane {

class ProgramStarter {
 public:
  virtual ~ProgramStarter() = default;

  // Starts `program` with `arguments`, each handed over as one argument
  // (nothing is split or interpreted by a shell), and returns without
  // waiting for it. Throws RuntimeError when it cannot be started.
  virtual void StartProgram(const std::string& program,
                            const std::vector<std::string>& arguments) = 0;
};

}  // namespace corvane
