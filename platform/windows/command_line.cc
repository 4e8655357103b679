#include "platform/windows/command_line.h"

#include <algorithm>
#include <cstddef>
#include <utility>

#include "platform/ascii_case.h"
#include "platform/runtime_error.h"

namespace corvane {

namespace {

constexpr std::string_view kSeparators = " \t\n\v";

bool NeedsQuotes(std::string_view text) {
  return text.empty() || text.find_first_of(kSeparators) != std::string_view::npos ||
         text.find('"') != std::string_view::npos;
}

bool IsRundll32(std::string_view program) {
  const std::size_t slash = program.find_last_of("\\/:");
  const std::string_view base =
      slash == std::string_view::npos ? program : program.substr(slash + 1);
  return EqualsIgnoringAsciiCase(base, "rundll32.exe") || EqualsIgnoringAsciiCase(base, "rundll32");
}

[[noreturn]] void Refuse(std::string_view what, std::string_view program) {
  throw RuntimeError(ErrorNumber::kInvalidProcedureCall, "cannot start program",
                     std::string(program), std::string(what));
}

}  // namespace

std::string QuoteWindowsArgument(std::string_view argument) {
  if (!NeedsQuotes(argument)) return std::string(argument);
  std::string quoted = "\"";
  std::size_t backslashes = 0;
  for (char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    // Backslashes count double only in front of a double quote.
    quoted.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
    quoted += c;
    backslashes = 0;
  }
  quoted.append(2 * backslashes, '\\');  // so that the closing quote stays a quote
  quoted += '"';
  return quoted;
}

std::string WindowsCommandLine(std::string_view program,
                               const std::vector<std::string>& arguments) {
  if (program.empty()) Refuse("no program name", program);
  // The program name is split by simpler rules: quotes group, backslashes
  // are plain characters. File names cannot hold a double quote.
  if (program.find('"') != std::string_view::npos) Refuse("double quote in program name", program);
  const bool quoted = program.find_first_of(kSeparators) != std::string_view::npos;
  std::string line;
  if (quoted) line += '"';
  line += program;
  if (quoted) line += '"';
  const bool raw = IsRundll32(program);
  if (raw && !arguments.empty()) {
    const std::string& entry = arguments.front();
    if (entry.empty() || NeedsQuotes(entry)) Refuse("rundll32 entry '" + entry + "'", program);
  }
  for (const std::string& argument : arguments) {
    line += ' ';
    line += raw ? argument : QuoteWindowsArgument(argument);
  }
  return line;
}

ProgramCall WindowsUrlOpener(std::string shortcut_path) {
  return ProgramCall{"rundll32.exe", {"shdocvw.dll,OpenURL", std::move(shortcut_path)}};
}

}  // namespace corvane
