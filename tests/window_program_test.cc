// The window program started from a terminal: its options, and a start
// where there is no display to show the window on.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "app/version.h"
#include "tests/case_name.h"
#include "tests/run_program.h"
#include "tests/saved_pages.h"
#include "tests/temp_folder.h"

namespace corvane {
namespace {

using testing::kRule;

using testing::ProgramResult;
using testing::TempFolder;
using testing::WriteFile;

// Sets environment variables (nothing: unsets them) for the scope.
class ScopedEnvironment {
 public:
  explicit ScopedEnvironment(const std::map<std::string, std::optional<std::string>>& values) {
    for (const auto& [name, value] : values) {
      const char* old = ::getenv(name.c_str());
      saved_[name] = old == nullptr ? std::nullopt : std::optional<std::string>(old);
      Set(name, value);
    }
  }
  ~ScopedEnvironment() {
    for (const auto& [name, value] : saved_) Set(name, value);
  }
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  static void Set(const std::string& name, const std::optional<std::string>& value) {
    if (value) {
      ::setenv(name.c_str(), value->c_str(), 1);
    } else {
      ::unsetenv(name.c_str());
    }
  }
  std::map<std::string, std::optional<std::string>> saved_;
};

struct StartCase {
  const char* what;
  std::vector<std::string> arguments;
  std::map<std::string, std::optional<std::string>> environment;  // besides no display at all
  int status;
  std::string out_start;
  std::vector<std::string> in_err;  // each is on standard error
};

void PrintTo(const StartCase& c, std::ostream* os) { *os << c.what; }

class WindowProgramStart : public ::testing::TestWithParam<StartCase> {};

TEST_P(WindowProgramStart, AnswersInTheTerminalAndTouchesNoFile) {
  const StartCase& c = GetParam();
  std::map<std::string, std::optional<std::string>> environment = {
      {"DISPLAY", std::nullopt},
      {"WAYLAND_DISPLAY", std::nullopt},
      {"QT_QPA_PLATFORM", std::nullopt}};
  for (const auto& [name, value] : c.environment) environment[name] = value;
  const ScopedEnvironment scoped(environment);
  TempFolder folder;
  WriteFile("p.html", kRule + "x" + kRule);

  const ProgramResult result = testing::RunProgram(CORVANE_WINDOW_PATH, folder.path(), c.arguments);

  EXPECT_EQ(result.status, c.status) << result.err;  // -1: killed by a signal, as Qt's abort
  EXPECT_EQ(result.out.substr(0, c.out_start.size()), c.out_start);
  for (const std::string& part : c.in_err) {
    EXPECT_NE(result.err.find(part), std::string::npos) << part << " not in " << result.err;
  }
  if (c.status == 1) {  // one line, nothing of Qt's
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
  }
  EXPECT_TRUE(std::filesystem::exists(folder.path() / "p.html"));
  EXPECT_FALSE(std::filesystem::exists(folder.path() / "p.txt"));
}

INSTANTIATE_TEST_SUITE_P(
    Starts, WindowProgramStart,
    ::testing::Values(
        StartCase{
            "Version", {"--version"}, {}, 0, "corvane2txt " + std::string(kVersion) + "\n", {}},
        StartCase{"Help", {"--help"}, {}, 0, "usage: corvane2txt [--help | --version]\n", {}},
        StartCase{"HelpWithMore",
                  {"--help", "--version"},
                  {},
                  2,
                  "",
                  {"corvane2txt: unexpected argument '--help'\nusage: corvane2txt"}},
        StartCase{"NoDisplay",
                  {},
                  {},
                  1,
                  "",
                  {"corvane2txt: ", "display", "DISPLAY", "WAYLAND_DISPLAY", "corvane2txt-cli"}},
        StartCase{"DisplayThatCannotBeReached",
                  {},
                  {{"DISPLAY", ":59999"}},
                  1,
                  "",
                  {"corvane2txt: ", "\":59999\"", "corvane2txt-cli"}},
        // A platform chosen is used, display or not: the window program gets
        // as far as its own arguments.
        StartCase{"PlatformOption",
                  {"-platform", "offscreen", "extra"},
                  {},
                  2,
                  "",
                  {"corvane2txt: unexpected argument 'extra'"}},
        StartCase{"PlatformVariable",
                  {"extra"},
                  {{"QT_QPA_PLATFORM", "offscreen"}},
                  2,
                  "",
                  {"usage: corvane2txt"}}),
    testing::NameFromWhat<StartCase>);

}  // namespace
}  // namespace corvane
