// Starting the window program in a folder: the checks before, and the
// change of folder and of program itself, tried on a stand-in program. What
// differs between the systems is at the top; tests/windows_launch_test.cc
// has what only Windows has.
#include "platform/launch.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/run_program.h"
#include "tests/temp_folder.h"

#ifdef _WIN32
#include "platform/windows/windows_api.h"
#include "platform/windows/windows_error.h"
#else
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace corvane {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::TempFolder;
using testing::WriteFile;

#ifdef _WIN32

// The system's own words, in the language that Windows (or wine) speaks.
const std::string kNoSuchFile = WindowsError(ERROR_FILE_NOT_FOUND, {}, {}).reason();
const std::string kNotRunnable = "it is not a program file";
const std::string kLauncherFile = "corvane2txt-launcher.exe";
const std::string kWindowProgramFile = "corvane2txt.exe";

// A stand-in for the window program: records its folder and its number of
// arguments in the file named by %CORVANE_FAKE_RECORD%.
void WriteFakeProgram(const fs::path& path) { fs::copy_file(CORVANE_STAND_IN_PATH, path); }

void SetRecordFile(const fs::path& record) {
  ::SetEnvironmentVariableW(L"CORVANE_FAKE_RECORD", record.wstring().c_str());
}
void UnsetRecordFile() { ::SetEnvironmentVariableW(L"CORVANE_FAKE_RECORD", nullptr); }

// What the stand-in records when started in `folder` without arguments.
std::string RecordIn(const fs::path& folder) { return folder.string() + "\n0\n"; }

// The folder's name as the system gives it back: the temporary folder may
// be named with short (8.3) names.
fs::path Real(const fs::path& folder) { return ResolveFolder(folder.string()); }

#else

const std::string kNoSuchFile = "No such file or directory";
const std::string kNotRunnable = "Permission denied";
const std::string kLauncherFile = "corvane2txt-launcher";
const std::string kWindowProgramFile = "corvane2txt";

// A stand-in for the window program: records its folder, $PWD and its
// number of arguments in the file named by $CORVANE_FAKE_RECORD.
void WriteFakeProgram(const fs::path& path) {
  WriteFile(path, "#!/bin/sh\n{ pwd -P; echo \"$PWD\"; echo $#; } > \"$CORVANE_FAKE_RECORD\"\n");
  fs::permissions(path, fs::perms::owner_all);
}

void SetRecordFile(const fs::path& record) {
  ASSERT_EQ(::setenv("CORVANE_FAKE_RECORD", record.c_str(), 1), 0);
}
void UnsetRecordFile() { ::unsetenv("CORVANE_FAKE_RECORD"); }

std::string RecordIn(const fs::path& folder) {
  return folder.string() + "\n" + folder.string() + "\n0\n";
}

fs::path Real(const fs::path& folder) { return fs::canonical(folder); }

#endif

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

// The record file's contents once it is there; "" when it has not appeared
// within ten seconds. On Windows the launcher ends before the program it
// started has written anything.
[[maybe_unused]] std::string AwaitRecord(const fs::path& record) {
  return testing::Appears(record) ? ReadFile(record) : "";
}

#ifndef _WIN32
TEST(ResolveFolder, GivesTheRealPathOfAFolder) {
  TempFolder temp;
  const fs::path real = fs::canonical(temp.path());
  fs::create_directory("pages");
  fs::create_directory_symlink(real / "pages", "link");
  EXPECT_EQ(ResolveFolder("pages"), (real / "pages").string());
  EXPECT_EQ(ResolveFolder("link/../pages/."), (real / "pages").string());
  EXPECT_EQ(ResolveFolder((real / "link").string()), (real / "pages").string());
}
#endif

TEST(ResolveFolder, RefusesWhatIsNotAFolderItMayEnter) {
  TempFolder temp;
  WriteFile("page.html", "x");
  EXPECT_EQ(FailureOf([] { ResolveFolder("missing"); }),
            "cannot open the folder \"missing\": " + kNoSuchFile);
  EXPECT_EQ(FailureOf([] { ResolveFolder("page.html"); }),
            "cannot open the folder \"page.html\": it is not a folder");
  EXPECT_EQ(FailureOf([] { ResolveFolder(""); }), "cannot open the folder \"\": " + kNoSuchFile);
#ifndef _WIN32
  fs::create_directory("locked");
  fs::permissions("locked", fs::perms::owner_read);
  if (::geteuid() != 0) {  // root enters any folder
    EXPECT_EQ(FailureOf([] { ResolveFolder("locked"); }),
              "cannot open the folder \"locked\": Permission denied");
  }
#endif
}

TEST(CheckProgram, AcceptsOnlyAFileThatCanBeRun) {
  TempFolder temp;
  WriteFakeProgram("program");
  WriteFile("text", "x");
  fs::create_directory("folder");
  EXPECT_EQ(FailureOf([] { CheckProgram("program"); }), "");
  EXPECT_EQ(FailureOf([] { CheckProgram("missing"); }),
            "cannot start the program \"missing\": " + kNoSuchFile);
  EXPECT_EQ(FailureOf([] { CheckProgram("folder"); }),
            "cannot start the program \"folder\": it is not a program file");
  EXPECT_EQ(FailureOf([] { CheckProgram("text"); }),
            "cannot start the program \"text\": " + kNotRunnable);
}

#ifdef _WIN32

// RunProgramIn returns only by throwing.
std::string FailureOfRunProgramIn(const std::string& program, const std::string& folder) {
  return FailureOf([&] { RunProgramIn(program, folder); });
}

#else

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
  fs::remove(failure_file);
  return result;
}

std::string FailureOfRunProgramIn(const std::string& program, const std::string& folder) {
  const ChildResult result = RunInChild(program, folder, fs::current_path() / "failure");
  EXPECT_EQ(result.status, 3);
  return result.failure;
}

TEST(RunProgramIn, StartsTheProgramInTheFolderWithoutArguments) {
  TempFolder temp;
  const fs::path real = fs::canonical(temp.path());
  fs::create_directory("my pages");
  WriteFakeProgram("program");
  SetRecordFile(real / "record");

  const ChildResult result =
      RunInChild((real / "program").string(), (real / "my pages").string(), real / "failure");
  UnsetRecordFile();
  EXPECT_EQ(result.status, 0) << result.failure;
  EXPECT_EQ(ReadFile("record"), RecordIn(real / "my pages"));
}

#endif

TEST(RunProgramIn, ReportsAMissingFolderOrProgram) {
  TempFolder temp;
  const fs::path real = Real(temp.path());
  fs::create_directory("pages");
  WriteFakeProgram("program");

  EXPECT_EQ(FailureOfRunProgramIn((real / "program").string(), (real / "gone").string()),
            "cannot open the folder \"" + (real / "gone").string() + "\": " + kNoSuchFile);
  EXPECT_EQ(FailureOfRunProgramIn((real / "none").string(), (real / "pages").string()),
            "cannot start the program \"" + (real / "none").string() + "\": " + kNoSuchFile);
}

#ifdef CORVANE_LAUNCHER_PATH
// The launcher as the menu entry or a file manager starts it, given a
// folder: it goes straight to the window program beside it, in that folder,
// wherever it was started itself.
TEST(Launcher, StartsTheProgramBesideItInTheGivenFolder) {
  TempFolder temp;
  const fs::path real = Real(temp.path());
  fs::create_directories("bin");
  fs::create_directories("saved pages");
  fs::copy_file(CORVANE_LAUNCHER_PATH, fs::path("bin") / kLauncherFile);
  WriteFakeProgram(fs::path("bin") / kWindowProgramFile);
  SetRecordFile(real / "record");

  const testing::ProgramResult result = testing::RunProgram(
      real / "bin" / kLauncherFile, real.root_path(), {(real / "saved pages").string()});
  const std::string record = AwaitRecord(real / "record");
  UnsetRecordFile();
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(record, RecordIn(real / "saved pages"));
}
#endif

}  // namespace
}  // namespace corvane
