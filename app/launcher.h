// What the launcher behind the menu entry does, decided without any window
// code.
//
// The window program converts and deletes the pages of its current folder,
// and a program started from the applications menu would find itself in the
// home folder. So the menu entry starts the launcher instead: given a folder
// (a file manager's action on a folder) it starts the window program
// there; given nothing it asks for a folder first. A folder that holds much
// more than saved pages (the home folder, Documents, Downloads, the root) is
// used only after the user has confirmed it.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

inline constexpr std::string_view kLauncherName = "corvane2txt-launcher";
// The window program, looked for beside the launcher.
inline constexpr std::string_view kWindowProgramName = "corvane2txt";

enum class LauncherAction {
  kPrintVersion,
  kPrintHelp,
  kWrongArguments,  // `problem` says what was wrong
  kAskForFolder,    // no folder given: ask with the folder dialog
  kOpenFolder,      // start in `folder`
};

struct LauncherCommand {
  LauncherAction action = LauncherAction::kAskForFolder;
  std::string folder;
  std::string problem;
};

// Reads the arguments after the program's name: none, one folder,
// "--version" or "--help". "--" ends the options, so that a folder whose
// name starts with "-" can be given.
LauncherCommand ReadLauncherCommand(const std::vector<std::string>& arguments);

// A folder that deserves a second question, with the words that name it for
// the user ("your home folder").
struct GuardedFolder {
  std::string path;  // resolved; an empty path guards nothing
  std::string description;
};

// The question to ask before starting in the resolved `folder`, or nothing
// when `folder` is none of `guarded`.
std::optional<std::string> ConfirmationQuestion(const std::string& folder,
                                                const std::vector<GuardedFolder>& guarded);

// The text of the message that says why the window program was not
// started, for the `what()` of a LaunchError ("cannot start the program ...").
std::string LaunchFailureText(std::string_view cause);

// The text of the message for a folder that cannot be used, for the `what()`
// of a LaunchError ("cannot open the folder ..."): what happened to the
// folder, that nothing in it was touched and, when `choosing_again` (the
// folder dialog opens again), that another one can be chosen.
std::string FolderFailureText(std::string_view cause, bool choosing_again);

inline constexpr std::string_view kLauncherUsage =
    "usage: corvane2txt-launcher [FOLDER | --help | --version]\n";

// The text of --help, starting with the usage line.
std::string LauncherHelp();

}  // namespace corvane
