#include "platform/posix/posix_program_starter.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

#include "platform/errno_error.h"

// The started program's environment, this one's. POSIX leaves its
// declaration to the program (glibc's <unistd.h> has it only for GNU code).
extern char** environ;

namespace corvane {

void PosixProgramStarter::StartProgram(const std::string& program,
                                       const std::vector<std::string>& arguments) {
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  pid_t pid;
  const int error = ::posix_spawnp(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ);
  if (error != 0) throw SystemError(error, "cannot start program", program);
  // Its status is of no use, but until it is collected the child stays in
  // the process table.
  std::thread([pid] {
    int status;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
  }).detach();
}

}  // namespace corvane
