// The donation link in a real folder: the shortcut it leaves and how the
// opener is started.
#include "window/donation_link.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/posix/posix_file_system.h"
#include "platform/posix/posix_program_starter.h"
#include "tests/recorded_runtime.h"
#include "tests/temp_folder.h"
#include "window/maker.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::TempFolder;
using testing::WriteFile;

const std::string kShortcutLine = std::string(kDonationAddress) + "\r\n";
const std::vector<std::string> kOpenerCommand{"xdg-open", std::string(kDonationAddress)};

TEST(DonationLink, WritesOneLineEachRunAndStartsTheOpener) {
  TempFolder folder;
  WriteFile("donate.url", "[InternetShortcut]\r\nURL=http://old.example/a/much/longer/address\r\n");
  PosixFileSystem files;
  testing::RecordingStarter programs;  // the opener only recorded
  OpenDonationLink(files, programs);
  EXPECT_EQ(ReadFile("donate.url"), kShortcutLine);
  OpenDonationLink(files, programs);
  EXPECT_EQ(ReadFile("donate.url"), kShortcutLine);
  EXPECT_EQ(programs.started,
            (std::vector<std::vector<std::string>>{kOpenerCommand, kOpenerCommand}));
}

// In a folder whose name has blanks and shell characters, the real starter
// starts the opener with the address as its one argument; no shell sees
// anything.
TEST(DonationLink, TheOpenerGetsTheAddressAsItsOneArgument) {
  TempFolder folder;
  // A stand-in for the desktop's opener, found first on the PATH, that
  // writes down the arguments it was given.
  const fs::path bin = folder.path() / "bin";
  const fs::path log = folder.path() / "opener.log";
  fs::create_directory(bin);
  WriteFile(bin / "xdg-open",
            "#!/bin/sh\n"
            "{ echo \"$#\"; for a in \"$@\"; do printf '%s\\n' \"$a\"; done; } > '" +
                log.string() + ".tmp' && mv '" + log.string() + ".tmp' '" + log.string() + "'\n");
  fs::permissions(bin / "xdg-open", fs::perms::owner_all);
  const std::string old_path = ::getenv("PATH") ? ::getenv("PATH") : "";
  ::setenv("PATH", (bin.string() + ":" + old_path).c_str(), 1);
  const fs::path odd = folder.path() / "my pages; $(touch pwned) `touch pwned` 'q' & \"r\" |x";
  fs::create_directory(odd);
  fs::current_path(odd);

  PosixFileSystem files;
  PosixProgramStarter programs;
  OpenDonationLink(files, programs);
  ::setenv("PATH", old_path.c_str(), 1);
  ASSERT_TRUE(testing::Appears(log));
  EXPECT_EQ(ReadFile(log), "1\n" + std::string(kDonationAddress) + "\n");
  EXPECT_EQ(ReadFile(odd / "donate.url"), kShortcutLine);
  EXPECT_FALSE(fs::exists(odd / "pwned"));
  EXPECT_FALSE(fs::exists(folder.path() / "pwned"));
}

TEST(DonationLink, AShortcutThatCannotBeWrittenStopsBeforeTheOpener) {
  TempFolder folder;
  fs::create_directory("donate.url");
  PosixFileSystem files;
  testing::RecordingStarter programs;
  try {
    OpenDonationLink(files, programs);
    ADD_FAILURE() << "no error";
  } catch (const RuntimeError& error) {
    EXPECT_EQ(error.file(), "donate.url");
  }
  EXPECT_TRUE(programs.started.empty());
}

}  // namespace
}  // namespace corvane
