#include "platform/posix/posix_file_system.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>

#include "platform/posix/system_calls.h"
#include "tests/case_name.h"
#include "tests/failure_number.h"
#include "tests/temp_folder.h"
#include "tests/unix_socket.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;
using testing::FailureNumber;
using testing::ReadFile;
using testing::TempFolder;
using testing::WriteFile;

class PosixFileSystemTest : public ::testing::Test {
 protected:
  TempFolder folder_;
  PosixFileSystem file_system_;
};

// Beyond the shared contract (tests/file_system_contract_test.cc): dangling
// links, FIFOs and sockets.
TEST_F(PosixFileSystemTest, ListsNoSpecialFile) {
  WriteFile("page.html", "x");
  fs::create_symlink("nowhere", "dangling.html");
  ASSERT_EQ(::mkfifo("fifo.html", 0600), 0);
  ASSERT_TRUE(testing::LeaveUnixSocket("socket.html"));

  std::vector<std::string> names = file_system_.ListFiles();
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"page.html"}));
}

// A FIFO is refused at once, without waiting for a partner.
TEST_F(PosixFileSystemTest, NeverReadsOrWritesAFifo) {
  ASSERT_EQ(::mkfifo("fifo.html", 0600), 0);
  EXPECT_EQ(FailureNumber([&] { file_system_.OpenForReading("fifo.html"); }), 75);
  EXPECT_EQ(FailureNumber([&] { file_system_.OpenForWriting("fifo.html"); }), 75);
  EXPECT_EQ(FailureNumber([&] { file_system_.CheckReplaceable("fifo.html"); }), 75);
}

TEST_F(PosixFileSystemTest, KnowsTheCurrentFolder) {
  EXPECT_EQ(fs::path(file_system_.CurrentDirectory()), fs::canonical(folder_.path()));
}

// System calls that misbehave as real ones do now and then. Each case writes
// a text file and reads it back through the file system.
struct SystemCallCase {
  const char* what;
  posix::SystemCalls calls;
  int number;  // the error the file system must stop with; 0: the text comes back whole
};

void PrintTo(const SystemCallCase& c, std::ostream* out) { *out << c.what; }

class MisbehavingSystemCalls : public PosixFileSystemTest,
                               public ::testing::WithParamInterface<SystemCallCase> {
 protected:
  ~MisbehavingSystemCalls() override { posix::system_calls = {}; }
};

TEST_P(MisbehavingSystemCalls, GiveTheWholeTextOrAnError) {
  std::string text;
  for (unsigned i = 0; i < 200000; ++i) text += static_cast<char>(i * 31U % 251U);
  std::string read;
  posix::system_calls = GetParam().calls;
  const int number = FailureNumber([&] {
    auto out = file_system_.OpenForWriting("story.txt");
    out->Append("story.html\r\n\r\n");  // a small piece, then a large one
    out->Append(text);
    out->Append("\r\n");
    out->Sync();
    out->Close();
    auto in = file_system_.OpenForReading("story.txt");
    char buffer[4096];
    while (std::size_t count = in->Read(buffer, sizeof buffer)) read.append(buffer, count);
    in->Close();
  });
  EXPECT_EQ(number, GetParam().number);
  if (GetParam().number == 0) {
    EXPECT_EQ(read, "story.html\r\n\r\n" + text + "\r\n");
  }
}

// A write that takes a part of the bytes, as near a file-size limit: at
// most 1000 bytes, which may end inside the first piece.
ssize_t WriteAtMost1000Bytes(int fd, const iovec* pieces, int count) {
  iovec part[2];
  std::size_t room = 1000;
  int taken = 0;
  for (; taken < count && room > 0; ++taken) {
    part[taken] = {pieces[taken].iov_base, std::min(pieces[taken].iov_len, room)};
    room -= part[taken].iov_len;
  }
  return ::writev(fd, part, taken);
}

// Every other read is interrupted by a signal before it reads anything.
ssize_t ReadInterruptedEveryOtherTime(int fd, void* buffer, std::size_t size) {
  static bool interrupt = false;
  if ((interrupt = !interrupt)) {
    errno = EINTR;
    return -1;
  }
  return ::read(fd, buffer, size);
}

// A close that reports a write that failed, as on a network file system.
int CloseReportingEio(int fd) {
  ::close(fd);
  errno = EIO;
  return -1;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MisbehavingSystemCalls,
    ::testing::Values(
        SystemCallCase{"write takes at most 1000 bytes", {.writev = WriteAtMost1000Bytes}, 0},
        SystemCallCase{
            "every other read is interrupted", {.read = ReadInterruptedEveryOtherTime}, 0},
        SystemCallCase{"close reports a write that failed", {.close = CloseReportingEio}, 57}),
    testing::NameFromWhat<SystemCallCase>);

// Both ways of flushing a group answer for each file on its own: a
// descriptor that cannot be flushed fails alone.
TEST(GroupFlush, AnswersForEachFile) {
  TempFolder folder;
  for (auto flush : {posix::FsyncTogether, posix::FsyncEach}) {
    const int a = ::open("a", O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const int b = ::open("b", O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    ASSERT_GE(a, 0);
    ASSERT_GE(b, 0);
    const int fds[] = {a, -1, b, -1, a};
    int errors[5] = {-1, -1, -1, -1, -1};
    flush(std::span<const int>(fds), std::span<int>(errors));
    EXPECT_EQ(std::vector<int>(std::begin(errors), std::end(errors)),
              (std::vector<int>{0, EBADF, 0, EBADF, 0}));
    ::close(a);
    ::close(b);
  }
}

}  // namespace
}  // namespace corvane
