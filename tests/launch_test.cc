// Starting the window program in a folder: the checks before, and the
// change of folder and of program itself, tried on a stand-in program.
#include "platform/launch.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/temp_folder.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::TempFolder;
using testing::WriteFile;

// A stand-in for the window program: records its folder, $PWD and its
// number of arguments in the file named by $CORVANE_FAKE_RECORD.
void WriteFakeProgram(const fs::path& path) {
  WriteFile(path, "#!/bin/sh\n{ pwd -P; echo \"$PWD\"; echo $#; } > \"$CORVANE_FAKE_RECORD\"\n");
  fs::permissions(path, fs::perms::owner_all);
}

// The text of the LaunchError thrown by `call`, or "" when none was thrown.
template <typename Call>
std::string FailureOf(Call call) {
  try {
    call();
  } catch (const LaunchError& error) {
    return error.what();
  }
  return "";
}

TEST(ResolveFolder, GivesTheRealPathOfAFolder) {
  TempFolder temp;
  const fs::path real = fs::canonical(temp.path());
  fs::create_directory("pages");
  fs::create_directory_symlink(real / "pages", "link");
  EXPECT_EQ(ResolveFolder("pages"), (real / "pages").string());
  EXPECT_EQ(ResolveFolder("link/../pages/."), (real / "pages").string());
  EXPECT_EQ(ResolveFolder((real / "link").string()), (real / "pages").string());
}

TEST(ResolveFolder, RefusesWhatIsNotAFolderItMayEnter) {
  TempFolder temp;
  WriteFile("page.html", "x");
  fs::create_directory("locked");
  fs::permissions("locked", fs::perms::owner_read);
  EXPECT_EQ(FailureOf([] { ResolveFolder("missing"); }),
            "cannot open the folder \"missing\": No such file or directory");
  EXPECT_EQ(FailureOf([] { ResolveFolder("page.html"); }),
            "cannot open the folder \"page.html\": it is not a folder");
  EXPECT_EQ(FailureOf([] { ResolveFolder(""); }),
            "cannot open the folder \"\": No such file or directory");
  if (::geteuid() != 0) {  // root enters any folder
    EXPECT_EQ(FailureOf([] { ResolveFolder("locked"); }),
              "cannot open the folder \"locked\": Permission denied");
  }
}

TEST(CheckProgram, AcceptsOnlyAFileThatCanBeRun) {
  TempFolder temp;
  WriteFakeProgram("program");
  WriteFile("text", "x");
  fs::create_directory("folder");
  EXPECT_EQ(FailureOf([] { CheckProgram("program"); }), "");
  EXPECT_EQ(FailureOf([] { CheckProgram("missing"); }),
            "cannot start the program \"missing\": No such file or directory");
  EXPECT_EQ(FailureOf([] { CheckProgram("folder"); }),
            "cannot start the program \"folder\": it is not a program file");
  EXPECT_EQ(FailureOf([] { CheckProgram("text"); }),
            "cannot start the program \"text\": Permission denied");
}

struct ChildResult {
  int status = -1;
  std::string failure;  // what RunProgramIn threw, when it returned
};

// Calls RunProgramIn in a child process, as the launcher would.
ChildResult RunInChild(const std::string& program, const std::string& folder,
                       const fs::path& failure_file) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    try {
      RunProgramIn(program, folder);
    } catch (const LaunchError& error) {
      WriteFile(failure_file, error.what());
    }
    ::_exit(3);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  ChildResult result{WIFEXITED(status) ? WEXITSTATUS(status) : -1, ""};
  if (fs::exists(failure_file)) result.failure = ReadFile(failure_file);
  return result;
}

TEST(RunProgramIn, StartsTheProgramInTheFolderWithoutArguments) {
  TempFolder temp;
  const fs::path real = fs::canonical(temp.path());
  fs::create_directory("my pages");
  WriteFakeProgram("program");
  ASSERT_EQ(::setenv("CORVANE_FAKE_RECORD", (real / "record").c_str(), 1), 0);

  const ChildResult result =
      RunInChild((real / "program").string(), (real / "my pages").string(), real / "failure");
  ::unsetenv("CORVANE_FAKE_RECORD");
  EXPECT_EQ(result.status, 0) << result.failure;
  const std::string folder = (real / "my pages").string();
  EXPECT_EQ(ReadFile("record"), folder + "\n" + folder + "\n0\n");
}

TEST(RunProgramIn, ReportsAMissingFolderOrProgram) {
  TempFolder temp;
  const fs::path real = fs::canonical(temp.path());
  fs::create_directory("pages");
  WriteFakeProgram("program");

  ChildResult result = RunInChild("program", (real / "gone").string(), real / "failure1");
  EXPECT_EQ(result.status, 3);
  EXPECT_EQ(result.failure, "cannot open the folder \"" + (real / "gone").string() +
                                "\": No such file or directory");

  result = RunInChild((real / "none").string(), (real / "pages").string(), real / "failure2");
  EXPECT_EQ(result.status, 3);
  EXPECT_EQ(result.failure, "cannot start the program \"" + (real / "none").string() +
                                "\": No such file or directory");
}

#ifdef CORVANE_LAUNCHER_PATH
// The launcher as the menu entry or a file manager starts it, given a
// folder: it goes straight to the window program beside it, in that folder.
TEST(Launcher, StartsTheProgramBesideItInTheGivenFolder) {
  TempFolder temp;
  const fs::path real = fs::canonical(temp.path());
  fs::create_directories("bin");
  fs::create_directories("saved pages");
  fs::copy_file(CORVANE_LAUNCHER_PATH, "bin/corvane2txt-launcher");
  WriteFakeProgram("bin/corvane2txt");
  ASSERT_EQ(::setenv("CORVANE_FAKE_RECORD", (real / "record").c_str(), 1), 0);

  const std::string command = "cd / && '" + (real / "bin/corvane2txt-launcher").string() + "' '" +
                              (real / "saved pages").string() + "'";
  const int status = std::system(command.c_str());
  ::unsetenv("CORVANE_FAKE_RECORD");
  EXPECT_EQ(status, 0);
  const std::string folder = (real / "saved pages").string();
  EXPECT_EQ(ReadFile("record"), folder + "\n" + folder + "\n0\n");
}
#endif

}  // namespace
}  // namespace corvane
