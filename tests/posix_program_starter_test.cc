#include "platform/posix/posix_program_starter.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "tests/failure_number.h"
#include "tests/temp_folder.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;
using testing::FailureNumber;
using testing::TempFolder;

// The program gets each argument whole, and is collected once it ends: no
// zombie stays behind while the window is open.
TEST(PosixProgramStarter, StartsAProgramWithItsArgumentsUnsplitAndCollectsIt) {
  TempFolder folder;
  PosixProgramStarter programs;
  const std::string name = "a b; $(c) 'd'.txt";
  programs.StartProgram("touch", {name});
  EXPECT_TRUE(testing::Appears(name));
  // Looked at without collecting it: until it is, the child is there.
  bool no_child = false;
  for (int i = 0; i < 500 && !no_child; ++i) {
    siginfo_t info{};
    no_child = ::waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) < 0 && errno == ECHILD;
    if (!no_child) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_TRUE(no_child) << "the child was not collected";
  // 53, or 70 when a folder on PATH may not be searched by this user.
  const int missing = FailureNumber([&] { programs.StartProgram("no-such-program-here", {}); });
  EXPECT_TRUE(missing == 53 || missing == 70) << missing;
}

}  // namespace
}  // namespace corvane
