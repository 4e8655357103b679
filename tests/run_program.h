// Runs a program as a user would, in a folder, with its output caught.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace corvane::testing {

struct ProgramResult {
  int status = -1;  // the exit status, or -1 when the program did not exit normally
  std::string out;
  std::string err;
};

// Runs `program` with `arguments` in `folder` and waits for it; its standard
// output and standard error are caught in files outside that folder.
ProgramResult RunProgram(const std::filesystem::path& program, const std::filesystem::path& folder,
                         const std::vector<std::string>& arguments);

// The line end of the text that a console program writes: CR LF on Windows.
#ifdef _WIN32
inline constexpr const char* kLineEnd = "\r\n";
#else
inline constexpr const char* kLineEnd = "\n";
#endif

}  // namespace corvane::testing
