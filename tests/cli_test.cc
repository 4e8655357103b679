// The console program, run as a user would: in a folder of pages, with its
// output and exit status looked at.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/version.h"
#include "tests/temp_folder.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::TempFolder;
using testing::WriteFile;

struct Result {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs the console program in `folder` with `arguments`; its output is
// caught in files outside that folder.
Result RunCli(const fs::path& folder, const std::vector<std::string>& arguments) {
  TempFolder capture;
  const fs::path out = capture.path() / "out";
  const fs::path err = capture.path() / "err";
  const pid_t pid = ::fork();
  if (pid == 0) {
    std::vector<char*> argv{const_cast<char*>(CORVANE_CLI_PATH)};
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    const int out_fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err_fd = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (out_fd < 0 || err_fd < 0 || ::chdir(folder.c_str()) != 0) ::_exit(127);
    ::dup2(out_fd, 1);
    ::dup2(err_fd, 2);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return Result{WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(out), ReadFile(err)};
}

std::vector<std::string> FolderContents(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename());
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

  const Result result = RunCli(folder.path(), {});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, "Finished\n");
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(FolderContents(folder.path()), expected);
  for (const std::string& name : expected) {
    EXPECT_EQ(ReadFile(folder.path() / name), ReadFile(samples / "expected" / name)) << name;
  }
}

TEST(Cli, StopsAtTheFirstBadPage) {
  TempFolder folder;
  const std::string rule(18, '-');
  WriteFile("a.html", rule + "a" + rule);
  WriteFile("b.html", "x\r\n" + rule + "\r\nno closing rule");
  WriteFile("c.html", rule + "c" + rule);
  const Result result = RunCli(folder.path(), {});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err,
            "corvane2txt-cli: run-time error 5: Invalid procedure call or argument: "
            "page has no closing rule: b.html\n");
  EXPECT_EQ(FolderContents(folder.path()),
            (std::vector<std::string>{"a.txt", "b.html", "c.html"}));
}

TEST(Cli, AFifoNamedLikeAPageIsLeftAlone) {
  TempFolder folder;
  ASSERT_EQ(::mkfifo("x.html", 0600), 0);
  const Result result = RunCli(folder.path(), {});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, "Finished\n");
  EXPECT_TRUE(fs::is_fifo("x.html"));
}

TEST(Cli, AnswersItsOptionsWithoutTouchingFiles) {
  struct Case {
    std::vector<std::string> arguments;
    int status;
    std::string out_start;
    std::string err_start;
  };
  const std::string version = "corvane2txt-cli " + std::string(kVersion) + "\n";
  const Case cases[] = {
      {{"--version"}, 0, version, ""},
      {{"--help"}, 0, "usage: corvane2txt-cli", ""},
      {{"--bogus"}, 2, "", "corvane2txt-cli: unexpected argument '--bogus'\nusage:"},
      {{"folder"}, 2, "", "corvane2txt-cli: unexpected argument 'folder'"},
      {{"--help", "--version"}, 2, "", "corvane2txt-cli: unexpected argument '--help'"},
  };
  EXPECT_EQ(kVersion, "1.00");
  for (const Case& c : cases) {
    TempFolder folder;
    WriteFile("p.html", std::string(18, '-') + "x" + std::string(18, '-'));
    const Result result = RunCli(folder.path(), c.arguments);
    EXPECT_EQ(result.status, c.status) << c.arguments[0];
    EXPECT_EQ(result.out.substr(0, c.out_start.size()), c.out_start) << c.arguments[0];
    EXPECT_EQ(result.err.substr(0, c.err_start.size()), c.err_start) << c.arguments[0];
    EXPECT_EQ(FolderContents(folder.path()), std::vector<std::string>{"p.html"});
  }
}

}  // namespace
}  // namespace corvane
