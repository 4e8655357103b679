// The console program, run as a user would: in a folder of pages, with its
// output and exit status looked at.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#ifdef _WIN32
#include "platform/windows/windows_api.h"
#else
#include <sys/stat.h>
#endif

#include "app/version.h"
#include "tests/run_program.h"
#include "tests/saved_pages.h"
#include "tests/temp_folder.h"

namespace corvane {
namespace {

using testing::kRule;

namespace fs = std::filesystem;
using testing::kLineEnd;
using testing::ProgramResult;
using testing::ReadFile;
using testing::TempFolder;
using testing::WriteFile;

// Runs the console program in `folder` with `arguments`.
ProgramResult RunCli(const fs::path& folder, const std::vector<std::string>& arguments) {
  return testing::RunProgram(CORVANE_CLI_PATH, folder, arguments);
}

std::vector<std::string> FolderContents(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(Cli, ConvertsTheSamplePages) {
  TempFolder folder;
  const fs::path samples = CORVANE_SAMPLES_DIR;
  std::vector<std::string> expected;
  for (const auto& entry : fs::directory_iterator(samples)) {
    if (entry.path().extension() != ".html") continue;
    fs::copy_file(entry.path(), folder.path() / entry.path().filename());
    expected.push_back(entry.path().stem().string() + ".txt");
  }
  std::sort(expected.begin(), expected.end());
  ASSERT_EQ(expected.size(), 3U);

  const ProgramResult result = RunCli(folder.path(), {});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, std::string("Finished") + kLineEnd);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(FolderContents(folder.path()), expected);
  for (const std::string& name : expected) {
    EXPECT_EQ(ReadFile(folder.path() / name), ReadFile(samples / "expected" / name)) << name;
  }
}

TEST(Cli, StopsAtTheFirstBadPage) {
  TempFolder folder;
  WriteFile("a.html", kRule + "a" + kRule);
  WriteFile("b.html", "x\r\n" + kRule + "\r\nno closing rule");
  WriteFile("c.html", kRule + "c" + kRule);
  const ProgramResult result = RunCli(folder.path(), {});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err,
            "corvane2txt-cli: run-time error 5: Invalid procedure call or argument: "
            "page has no closing rule: b.html" +
                std::string(kLineEnd));
  EXPECT_EQ(FolderContents(folder.path()), (std::vector<std::string>{"a.txt", "b.html", "c.html"}));
}

// Whatever the run throws ends in one line and status 1, even an exception
// of a type the program never raises itself.
TEST(Cli, AnUnexpectedFailureIsOneLineAndStatusOne) {
  TempFolder folder;
  const ProgramResult result = testing::RunProgram(CORVANE_FAILING_CLI_PATH, folder.path(), {});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err,
            "corvane2txt-cli: run-time error 5: Invalid procedure call or argument: unexpected "
            "failure (a planted failure)" +
                std::string(kLineEnd));
}

#ifdef _WIN32
// Hidden and system files are never touched; a read-only page is converted
// but cannot be deleted, which stops the run with the system's reason.
TEST(Cli, KeepsHiddenSystemAndReadOnlyPages) {
  TempFolder folder;
  const std::string page = kRule + "x" + kRule;
  WriteFile("hidden.html", page);
  WriteFile("system.html", page);
  WriteFile("locked.html", page);
  ASSERT_TRUE(::SetFileAttributesW(L"hidden.html", FILE_ATTRIBUTE_HIDDEN));
  ASSERT_TRUE(::SetFileAttributesW(L"system.html", FILE_ATTRIBUTE_SYSTEM));
  ASSERT_TRUE(::SetFileAttributesW(L"locked.html", FILE_ATTRIBUTE_READONLY));
  const ProgramResult result = RunCli(folder.path(), {});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out, "");
  // Windows deletes no read-only page: it is refused before its text is
  // written, so that no run writes that text again and again.
  EXPECT_EQ(result.err,
            "corvane2txt-cli: run-time error 70: Permission denied: cannot open file for reading: "
            "locked.html (it is read-only, and Windows does not delete a read-only file)\r\n");
  EXPECT_EQ(FolderContents(folder.path()),
            (std::vector<std::string>{"hidden.html", "locked.html", "system.html"}));
  ASSERT_TRUE(::SetFileAttributesW(L"locked.html", FILE_ATTRIBUTE_NORMAL));
}
#endif

TEST(Cli, AnswersItsOptionsWithoutTouchingFiles) {
  struct Case {
    std::vector<std::string> arguments;
    int status;
    std::string out_start;
    std::string err_start;
  };
  const std::string version = "corvane2txt-cli " + std::string(kVersion) + kLineEnd;
  const Case cases[] = {
      {{"--version"}, 0, version, ""},
      {{"--help"}, 0, "usage: corvane2txt-cli", ""},
      {{"--bogus"},
       2,
       "",
       "corvane2txt-cli: unexpected argument '--bogus'" + std::string(kLineEnd) + "usage:"},
      {{"folder"}, 2, "", "corvane2txt-cli: unexpected argument 'folder'"},
      {{"--help", "--version"}, 2, "", "corvane2txt-cli: unexpected argument '--help'"},
  };
  EXPECT_EQ(kVersion, "1.00");
  for (const Case& c : cases) {
    TempFolder folder;
    WriteFile("p.html", kRule + "x" + kRule);
    const ProgramResult result = RunCli(folder.path(), c.arguments);
    EXPECT_EQ(result.status, c.status) << c.arguments[0];
    EXPECT_EQ(result.out.substr(0, c.out_start.size()), c.out_start) << c.arguments[0];
    EXPECT_EQ(result.err.substr(0, c.err_start.size()), c.err_start) << c.arguments[0];
    EXPECT_EQ(FolderContents(folder.path()), std::vector<std::string>{"p.html"});
  }
}

}  // namespace
}  // namespace corvane
