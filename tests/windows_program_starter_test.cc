#include "platform/windows/windows_program_starter.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/windows/find_program.h"
#include "tests/failure_number.h"
#include "tests/temp_folder.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;
using testing::FailureNumber;
using testing::ReadFile;
using testing::TempFolder;
using testing::WriteFile;

class WindowsProgramStarterTest : public ::testing::Test {
 protected:
  TempFolder folder_;
};

// Each argument arrives whole: spaces, quotes, backslashes, the shell's
// characters, and UTF-8 beyond the Basic Multilingual Plane.
TEST_F(WindowsProgramStarterTest, StartsAProgramWithEachArgumentWhole) {
  const std::vector<std::string> arguments = {"a b",         "",
                                              R"(say "hi")", R"(C:\My Pages\)",
                                              R"(a\\"b)",    "50% & <that> | ^more",
                                              "tab\there",   "caf\xC3\xA9 \xF0\x9F\x93\xB0"};
  std::vector<std::string> call = {"arguments"};
  call.insert(call.end(), arguments.begin(), arguments.end());
  WindowsProgramStarter().StartProgram(CORVANE_ARGUMENTS_PROBE_PATH, call);
  ASSERT_TRUE(testing::Appears("arguments"));
  std::string expected;
  for (const std::string& argument : arguments) expected += argument + '\0';
  EXPECT_EQ(ReadFile("arguments"), expected);
}

TEST_F(WindowsProgramStarterTest, AMissingProgramIsFileNotFound) {
  WindowsProgramStarter programs;
  EXPECT_EQ(FailureNumber([&] { programs.StartProgram("no-such-program-here", {}); }), 53);
  EXPECT_EQ(FailureNumber([&] { programs.StartProgram("C:\\no\\such\\program.exe", {}); }), 53);
}

TEST_F(WindowsProgramStarterTest, FindsSystemProgramsButNeverInTheCurrentFolder) {
  WriteFile("rundll32.exe", "MZ not the real one");
  WriteFile("probe.exe", "MZ not a program");
  for (const char* name : {"rundll32.exe", "RUNDLL32", "rundll32"}) {
    const fs::path found = FindProgram(name);
    EXPECT_TRUE(fs::exists(found)) << name;
    EXPECT_NE(fs::canonical(found.parent_path()), fs::canonical(folder_.path())) << name;
  }
  EXPECT_EQ(FailureNumber([] { FindProgram("probe.exe"); }), 53);
}

}  // namespace
}  // namespace corvane
