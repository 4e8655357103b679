// corvane2txt-cli: converts the saved pages of the current folder, like the
// window's GO button, and prints "Finished".
#pragma once

#include "platform/file_system.h"

namespace corvane {

// The console program over `files`: its arguments, the run, and its end,
// with status 0 when finished, 1 after any error (told in one line on
// standard error, whatever it was) and 2 for a wrong argument. Ends the
// program itself, but for a wrong argument, whose status it returns.
int RunConsoleProgram(int argc, char* argv[], FileSystem& files);

}  // namespace corvane
