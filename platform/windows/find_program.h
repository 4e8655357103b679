// Finding the program that the Windows program starter is asked to start.
#pragma once

#include <string>

namespace corvane {

// The full path of the program that `StartProgram(program, ...)` starts. A
// bare name (no folder in it) is looked for in the system folder, the
// Windows folder and the folders of PATH, in that order, and never in the
// current folder or beside this program: a page folder that holds a file
// called rundll32.exe does not get it run. ".exe" is added when the name has
// no extension. Throws RuntimeError 53 when there is no such program.
std::string FindProgram(const std::string& program);

}  // namespace corvane
