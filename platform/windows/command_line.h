// Command lines for the programs that the program starter starts on
// Windows.
//
// A Windows program is handed one command line and splits it into
// arguments itself. Nearly every program splits it as the C run-time library
// does: blanks and tabs separate, double quotes group, and backslashes are
// ordinary characters except in front of a double quote. The shell's
// rundll32.exe is the exception that matters here: it takes its first
// argument, "dll,entry", and hands everything after it to that entry as one
// raw string, without removing any quotes.
//
// These are plain string functions, built and tested on every system.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/url_opener.h"

namespace corvane {

// `argument` written so that the C run-time library's splitting gives it
// back unchanged as one argument: as it is when it holds no blank, tab, line
// end or double quote and is not empty, otherwise in double quotes with
// every double quote, and the backslashes in front of one or of the closing
// quote, escaped.
std::string QuoteWindowsArgument(std::string_view argument);

// The command line that starts `program` with `arguments`, each arriving as
// one argument. The program comes first, in double quotes when it holds a
// blank. For rundll32.exe the first argument ("dll,entry") follows as it is
// and the others are appended raw, separated by single blanks, because that
// is how rundll32 reads them: a path with blanks reaches the entry whole,
// and quotes would reach it as part of the path.
//
// Throws RuntimeError 5 (invalid procedure call or argument) for what no
// command line can carry: an empty program name, a program name with a
// double quote, or a rundll32 entry that is empty or holds a blank or a
// double quote.
std::string WindowsCommandLine(std::string_view program, const std::vector<std::string>& arguments);

// The shell's URL opener for the Internet shortcut at `shortcut_path` (a
// full path): started through `ProgramStarter::StartProgram` it runs the
// command line
//   rundll32.exe shdocvw.dll,OpenURL <shortcut_path>
ProgramCall WindowsUrlOpener(std::string shortcut_path);

}  // namespace corvane
