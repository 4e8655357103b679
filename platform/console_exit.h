// The end of a console program, the same on every system.
#pragma once

#include <string>

namespace corvane {

// Flushes standard output and exits with `status`. When standard output
// could not be written (a full disk, a closed pipe), says so on standard
// error after `program_name` and exits with 1 instead of 0: a result the
// user never got is no success.
[[noreturn]] void ExitConsoleProgram(const std::string& program_name, int status);

}  // namespace corvane
