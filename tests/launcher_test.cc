// The launcher's decisions: what its arguments ask for, and which folders
// need a second question.
#include "app/launcher.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "tests/case_name.h"

namespace corvane {
namespace {

struct ArgumentsCase {
  const char* what;
  std::vector<std::string> arguments;
  LauncherAction action;
  std::string folder;
  std::string problem;
};

void PrintTo(const ArgumentsCase& c, std::ostream* out) { *out << c.what; }

class LauncherArguments : public ::testing::TestWithParam<ArgumentsCase> {};

TEST_P(LauncherArguments, AreReadAsOneCommand) {
  const ArgumentsCase& c = GetParam();
  const LauncherCommand command = ReadLauncherCommand(c.arguments);
  EXPECT_EQ(command.action, c.action);
  EXPECT_EQ(command.folder, c.folder);
  EXPECT_EQ(command.problem, c.problem);
}

using enum LauncherAction;

INSTANTIATE_TEST_SUITE_P(
    Cases, LauncherArguments,
    ::testing::Values(
        ArgumentsCase{"nothing asks for a folder", {}, kAskForFolder, "", ""},
        ArgumentsCase{"a folder", {"/home/ann/pages"}, kOpenFolder, "/home/ann/pages", ""},
        ArgumentsCase{"a folder with blanks", {"my pages"}, kOpenFolder, "my pages", ""},
        ArgumentsCase{"version", {"--version"}, kPrintVersion, "", ""},
        ArgumentsCase{"help", {"--help"}, kPrintHelp, "", ""},
        ArgumentsCase{"dash folder after end of options", {"--", "-x"}, kOpenFolder, "-x", ""},
        ArgumentsCase{"end of options alone", {"--"}, kAskForFolder, "", ""},
        ArgumentsCase{"unknown option", {"-x"}, kWrongArguments, "", "unknown option '-x'"},
        ArgumentsCase{"two folders", {"a", "b"}, kWrongArguments, "", "give one folder at most"},
        ArgumentsCase{"version with a folder",
                      {"--version", "a"},
                      kWrongArguments,
                      "",
                      "--version takes no other argument"},
        ArgumentsCase{"empty argument is a folder", {""}, kOpenFolder, "", ""}),
    testing::NameFromWhat<ArgumentsCase>);

TEST(LauncherConfirmation, IsAskedOnlyForAGuardedFolder) {
  const std::vector<GuardedFolder> guarded = {
      {"/home/ann", "your home folder"}, {"", "your Documents folder"}, {"/", "the root folder"}};

  const auto home = ConfirmationQuestion("/home/ann", guarded);
  ASSERT_TRUE(home.has_value());
  EXPECT_EQ(home->rfind("\"/home/ann\" is your home folder.\n\n", 0), 0U) << *home;
  EXPECT_NE(home->find("deletes the page"), std::string::npos) << *home;
  EXPECT_TRUE(ConfirmationQuestion("/", guarded).has_value());

  EXPECT_FALSE(ConfirmationQuestion("/home/ann/pages", guarded).has_value());
  EXPECT_FALSE(ConfirmationQuestion("/home", guarded).has_value());
  // A guard whose folder could not be found guards nothing.
  EXPECT_FALSE(ConfirmationQuestion("", guarded).has_value());
}

TEST(LauncherMessages, SayWhatHappened) {
  const std::string cause = "cannot open the folder \"/home/ann/x\": Permission denied";
  const std::string sentence = "Cannot open the folder \"/home/ann/x\": Permission denied.";
  // A folder that cannot be used is no failure to start: the folder dialog
  // opens again, or nothing was asked for but that folder.
  EXPECT_EQ(FolderFailureText(cause, true),
            sentence +
                "\n\nNothing in the folder was converted or deleted.\n\n"
                "Choose another folder.");
  EXPECT_EQ(FolderFailureText(cause, false),
            sentence + "\n\nNothing in the folder was converted or deleted.");
  EXPECT_EQ(LaunchFailureText("cannot start the program \"/usr/bin/x\": No such file"),
            "Corvane2txt cannot be started.\n\nCannot start the program \"/usr/bin/x\": No such "
            "file.");
}

}  // namespace
}  // namespace corvane
