#include "platform/windows/windows_file_system.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "convert/folder_run.h"
#include "platform/windows/ordinary_file.h"
#include "platform/windows/utf16.h"
#include "platform/windows/windows_api.h"
#include "platform/windows/windows_error.h"
#include "tests/case_name.h"
#include "tests/failure_number.h"
#include "tests/recorded_runtime.h"
#include "tests/temp_folder.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;
using testing::FailureNumber;
using testing::ReadFile;
using testing::TempFolder;
using testing::WriteFile;

// café 日本 📰: a Latin letter, two CJK characters and one outside the
// Basic Multilingual Plane (a surrogate pair in UTF-16).
const std::wstring kWideStem = L"caf\u00e9 \u65e5\u672c \U0001F4F0";
const std::string kUtf8Stem = "caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x93\xB0";

std::string AllByteValues() {
  std::string bytes;
  for (unsigned i = 0; i < 70000; ++i) bytes += static_cast<char>(i * 7919U % 256U);
  return bytes;
}

std::vector<std::string> Sorted(std::vector<std::string> names) {
  std::sort(names.begin(), names.end());
  return names;
}

void SetAttributes(const wchar_t* name, DWORD attributes) {
  ASSERT_TRUE(::SetFileAttributesW(name, attributes)) << ::GetLastError();
}

class WindowsFileSystemTest : public ::testing::Test {
 protected:
  TempFolder folder_;
  WindowsFileSystem file_system_;
};

TEST_F(WindowsFileSystemTest, ListsOnlyOrdinaryFiles) {
  for (const char* name : {"page.html", "notes.txt", "hidden.html", "system.html", "old.HTML"}) {
    WriteFile(name, "x");
  }
  fs::create_directory("folder.html");
  SetAttributes(L"hidden.html", FILE_ATTRIBUTE_HIDDEN);
  SetAttributes(L"system.html", FILE_ATTRIBUTE_SYSTEM);
  SetAttributes(L"old.HTML", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE);
  EXPECT_EQ(Sorted(file_system_.ListFiles()),
            (std::vector<std::string>{"notes.txt", "old.HTML", "page.html"}));
  SetAttributes(L"old.HTML", FILE_ATTRIBUTE_NORMAL);
}

TEST(OrdinaryFiles, FollowTheAttributesAndTheReparseTag) {
  struct Case {
    const char* what;
    DWORD attributes;
    DWORD tag;
    bool ordinary;
  };
  constexpr DWORD kLink = FILE_ATTRIBUTE_REPARSE_POINT;
  const Case cases[] = {
      {"normal", FILE_ATTRIBUTE_NORMAL, 0, true},
      {"archive read-only", FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY, 0, true},
      {"hidden", FILE_ATTRIBUTE_HIDDEN, 0, false},
      {"system", FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE, 0, false},
      {"folder", FILE_ATTRIBUTE_DIRECTORY, 0, false},
      {"device", FILE_ATTRIBUTE_DEVICE, 0, false},
      {"symbolic link", kLink, IO_REPARSE_TAG_SYMLINK, false},
      {"junction", kLink | FILE_ATTRIBUTE_DIRECTORY, IO_REPARSE_TAG_MOUNT_POINT, false},
      {"cloud file", kLink | FILE_ATTRIBUTE_ARCHIVE, 0x9000601AU, true},
      {"deduplicated file", kLink, 0x80000013U, true},
  };
  for (const Case& c : cases) EXPECT_EQ(IsOrdinaryFile(c.attributes, c.tag), c.ordinary) << c.what;
}

TEST_F(WindowsFileSystemTest, NamesAreUtf8WhileBytesPassUnchanged) {
  const std::string bytes = AllByteValues();
  WriteFile(fs::path(kWideStem + L".html"), bytes);
  const std::string page = kUtf8Stem + ".html";
  EXPECT_EQ(file_system_.ListFiles(), std::vector<std::string>{page});

  auto input = file_system_.OpenForReading(page);
  std::string read;
  char buffer[4096];
  while (std::size_t count = input->Read(buffer, sizeof buffer)) read.append(buffer, count);
  EXPECT_EQ(read, bytes);
  EXPECT_EQ(input->Stamp(), file_system_.StampOf(page));
  input.reset();

  auto output = file_system_.OpenForWriting(kUtf8Stem + ".txt");
  output->Append(bytes);
  output->Sync();
  output->Close();
  EXPECT_EQ(ReadFile(fs::path(kWideStem + L".txt")), bytes);

  file_system_.DeleteFile(page);
  EXPECT_FALSE(fs::exists(fs::path(kWideStem + L".html")));
}

// Beyond the shared contract (tests/file_system_contract_test.cc): missing
// folders, devices and names that are not UTF-8.
TEST_F(WindowsFileSystemTest, RefusesDevicesAndBadNames) {
  EXPECT_EQ(FailureNumber([&] { file_system_.OpenForReading("no\\such\\folder.html"); }), 53);
  EXPECT_EQ(FailureNumber([&] { file_system_.OpenForWriting("NUL"); }), 75);
  EXPECT_EQ(FailureNumber([&] { file_system_.CheckReplaceable("NUL"); }), 75);
  EXPECT_EQ(FailureNumber([&] { file_system_.OpenForReading("bad\xFF.html"); }), 75);
}

// Opens `name` as another program would, sharing it as `share` says; the
// handle is closed when the holder goes, or on Release.
class Holder {
 public:
  Holder(const wchar_t* name, DWORD share)
      : handle_(::CreateFileW(name, GENERIC_READ, share, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr)) {
    EXPECT_NE(handle_, INVALID_HANDLE_VALUE) << ::GetLastError();
  }
  ~Holder() { Release(); }
  void Release() {
    if (handle_ != INVALID_HANDLE_VALUE)
      ::CloseHandle(std::exchange(handle_, INVALID_HANDLE_VALUE));
  }

 private:
  HANDLE handle_;
};

// The number of the error a step fails with, and whether it says that
// another program has the file (0 and false when it does not fail).
std::pair<int, bool> HeldFailure(const std::function<void()>& step) {
  try {
    step();
  } catch (const RuntimeError& error) {
    EXPECT_EQ(error.held(), error.reason() == RuntimeError::kHeldReason) << error.what();
    return {static_cast<int>(error.number()), error.held()};
  }
  return {0, false};
}

// A file that another program has open without sharing fails each step
// with 70, saying so, and changes nothing; looking at it needs no sharing.
TEST_F(WindowsFileSystemTest, AFileHeldByAnotherProgramFailsItsStepsAsHeld) {
  WriteFile("page.html", "keep");
  WriteFile("new.txt", "text");
  Holder other(L"page.html", 0);
  const std::pair<int, bool> kHeld{70, true};
  EXPECT_EQ(HeldFailure([&] { file_system_.OpenForReading("page.html"); }), kHeld);
  EXPECT_EQ(HeldFailure([&] { file_system_.OpenForWriting("page.html"); }), kHeld);
  EXPECT_EQ(HeldFailure([&] { file_system_.DeleteFile("page.html"); }), kHeld);
  EXPECT_EQ(HeldFailure([&] { file_system_.OpenForWriting("new.txt")->RenameOver("page.html"); }),
            kHeld);
  EXPECT_EQ(HeldFailure([&] { file_system_.CheckReplaceable("page.html"); }), std::pair(0, false));
  EXPECT_EQ(HeldFailure([&] { file_system_.StampOf("page.html"); }), std::pair(0, false));
  other.Release();
  EXPECT_EQ(ReadFile("page.html"), "keep");
}

// A page, or the old text file it replaces, that another program has open
// for a moment: the run waits until it is let go and finishes. Held for
// good, the page stops the run once the waits pass their bound, and it is
// kept; the waits are counted here, not slept.
TEST_F(WindowsFileSystemTest, ARunWaitsForAFileThatAnotherProgramLetsGo) {
  const struct {
    const char* what;
    const wchar_t* held;
    DWORD share;
    bool let_go;
    std::string error;
  } kRows[] = {
      {"page, no sharing", L"p.html", 0, true, ""},
      {"page, read sharing", L"p.html", FILE_SHARE_READ, true, ""},
      {"old text file, no sharing", L"p.txt", 0, true, ""},
      {"old text file, read sharing", L"p.txt", FILE_SHARE_READ, true, ""},
      {"old text file, every sharing", L"p.txt",
       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, true, ""},
      {"page, no sharing, held for good", L"p.html", 0, false,
       "run-time error 70: Permission denied: cannot open file for reading: p.html (another "
       "program has the file open)"},
      {"page, read sharing, held for good", L"p.html", FILE_SHARE_READ, false,
       "run-time error 70: Permission denied: cannot delete file: p.html (another program has "
       "the file open)"},
  };
  const std::string page = "<html>\r\n------------------\r\nStory\r\n------------------\r\n";
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.what);
    WriteFile("p.html", page);
    WriteFile("p.txt", "an older text");
    Holder other(row.held, row.share);
    testing::RecordingUser user;  // the message and the end, which returns
    std::string error;
    int waits = 0;
    try {
      ConvertFolder(file_system_, user, {}, {.wait = [&](std::chrono::milliseconds wait) {
                      if (++waits == 5 && row.let_go) other.Release();
                      if (row.let_go) std::this_thread::sleep_for(wait);
                    }});
    } catch (const RuntimeError& e) {
      error = e.what();
    }
    other.Release();
    EXPECT_EQ(error, row.error);
    EXPECT_EQ(user.messages.size(), row.error.empty() ? 1U : 0U);
    if (row.error.empty()) {
      EXPECT_FALSE(fs::exists("p.html"));
      EXPECT_EQ(ReadFile("p.txt"), "p.html\r\n\r\n Story \r\n");
    } else {
      EXPECT_GT(waits, 40);
      EXPECT_EQ(ReadFile("p.html"), page);
    }
    EXPECT_EQ(Sorted(file_system_.ListFiles()),
              Sorted(row.error.empty() ? std::vector<std::string>{"p.txt"}
                                       : std::vector<std::string>{"p.html", "p.txt"}));
    fs::remove("p.html");
    fs::remove("p.txt");
  }
}

// Windows deletes no read-only file: such a file is neither replaced nor
// read as a page (which would be deleted afterwards).
TEST_F(WindowsFileSystemTest, AReadOnlyFileIsNeitherReplacedNorReadNorDeleted) {
  WriteFile("story.txt", "old");
  SetAttributes(L"story.txt", FILE_ATTRIBUTE_READONLY);
  // As a text file: refused, saying why.
  const auto refusal = [](const std::function<void()>& open) {
    try {
      open();
    } catch (const RuntimeError& error) {
      return std::pair(static_cast<int>(error.number()), error.reason());
    }
    return std::pair(0, std::string());
  };
  const std::pair<int, std::string> kReadOnly{70, "it is read-only"};
  EXPECT_EQ(refusal([&] { file_system_.OpenForWriting("story.txt"); }), kReadOnly);
  EXPECT_EQ(refusal([&] { file_system_.CheckReplaceable("story.txt"); }), kReadOnly);
  EXPECT_EQ(FailureNumber([&] { file_system_.OpenForReading("story.txt"); }), 70);
  // Not a hold: nothing to wait for.
  EXPECT_EQ(HeldFailure([&] { file_system_.DeleteFile("story.txt"); }), std::pair(70, false));
  EXPECT_EQ(ReadFile("story.txt"), "old");
  SetAttributes(L"story.txt", FILE_ATTRIBUTE_NORMAL);
}

// A hidden or system mark stays with a file through a rename: a text file
// written in a file that had one, or renamed over one that had one, has
// neither.
TEST_F(WindowsFileSystemTest, ARenamedFileIsNeitherHiddenNorASystemFile) {
  WriteFile("hidden.txt", "an old text");
  SetAttributes(L"hidden.txt", FILE_ATTRIBUTE_HIDDEN);
  for (const char* name : {"hidden.txt", "new.txt"}) {
    WriteFile("part", "left over");
    SetAttributes(L"part", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    auto file = file_system_.OpenForWriting("part");
    file->Append("new");
    file->Sync();
    file->RenameOver(name);
    file->Close();
    EXPECT_EQ(ReadFile(name), "new") << name;
    EXPECT_EQ(::GetFileAttributesW(fs::path(name).c_str()) &
                  (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM),
              0U)
        << name;
  }
}

TEST_F(WindowsFileSystemTest, KnowsTheCurrentFolderInAnyScript) {
  const fs::path inner = folder_.path() / fs::path(kWideStem);
  fs::create_directory(inner);
  fs::current_path(inner);
  const std::string folder = file_system_.CurrentDirectory();
  EXPECT_EQ(folder, Utf8FromWide(inner.wstring()));
  EXPECT_EQ(folder.substr(folder.size() - kUtf8Stem.size()), kUtf8Stem);
  fs::current_path(folder_.path());
}

// The system's own reason, as an error report shows it: one line, without
// the final period and line end that the system's text comes with.
TEST(WindowsErrors, GiveTheSystemsReasonInOneLine) {
  const RuntimeError error = WindowsError(ERROR_SHARING_VIOLATION, "cannot delete file", "p.html");
  const std::string text = error.what();
  const std::string start = "run-time error 70: Permission denied: cannot delete file: p.html (";
  EXPECT_EQ(text.substr(0, start.size()), start);
  // The system's own text, without its final period and line end.
  EXPECT_GT(error.reason().size(), 5U);
  EXPECT_EQ(error.reason().find_first_of("\r\n"), std::string::npos) << error.reason();
  EXPECT_NE(error.reason().back(), '.');
}

}  // namespace
}  // namespace corvane
