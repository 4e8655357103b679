#include "platform/console_user.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace corvane {

void ExitConsoleProgram(const std::string& program_name, int status) {
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    std::fprintf(stderr, "%s: cannot write to standard output: %s\n", program_name.c_str(),
                 std::strerror(errno));
    if (status == 0) status = 1;
  }
  std::exit(status);
}

}  // namespace corvane
