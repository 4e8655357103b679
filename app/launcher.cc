#include "app/launcher.h"

namespace corvane {

LauncherCommand ReadLauncherCommand(const std::vector<std::string>& arguments) {
  bool options_ended = false;
  std::vector<std::string> folders;
  for (const std::string& argument : arguments) {
    if (options_ended || argument.empty() || argument[0] != '-') {
      folders.push_back(argument);
    } else if (argument == "--") {
      options_ended = true;
    } else if (argument == "--version" || argument == "--help") {
      if (arguments.size() != 1) {
        return {LauncherAction::kWrongArguments, {}, argument + " takes no other argument"};
      }
      return {argument == "--version" ? LauncherAction::kPrintVersion : LauncherAction::kPrintHelp,
              {},
              {}};
    } else {
      return {LauncherAction::kWrongArguments, {}, "unknown option '" + argument + "'"};
    }
  }
  if (folders.size() > 1) {
    return {LauncherAction::kWrongArguments, {}, "give one folder at most"};
  }
  if (folders.size() == 1) return {LauncherAction::kOpenFolder, folders[0], {}};
  return {LauncherAction::kAskForFolder, {}, {}};
}

std::optional<std::string> ConfirmationQuestion(const std::string& folder,
                                                const std::vector<GuardedFolder>& guarded) {
  for (const GuardedFolder& candidate : guarded) {
    if (candidate.path.empty() || candidate.path != folder) continue;
    return "\"" + folder + "\" is " + candidate.description +
           ".\n\nCorvane2txt converts every .html page in the folder it works on into a text "
           "file and then deletes the page, whether it was saved from Corvane or not.\n\n"
           "Work on this folder anyway?";
  }
  return std::nullopt;
}

namespace {

// `cause` as a sentence: a capital first letter and a full stop.
std::string Sentence(std::string_view cause) {
  std::string text(cause);
  if (!text.empty() && text[0] >= 'a' && text[0] <= 'z') text[0] -= 'a' - 'A';
  return text + ".";
}

}  // namespace

std::string LaunchFailureText(std::string_view cause) {
  return "Corvane2txt cannot be started.\n\n" + Sentence(cause);
}

std::string FolderFailureText(std::string_view cause, bool choosing_again) {
  return Sentence(cause) + "\n\nNothing in the folder was converted or deleted." +
         (choosing_again ? "\n\nChoose another folder." : "");
}

std::string LauncherHelp() {
  return std::string(kLauncherUsage) +
         "\n"
         "Starts Corvane2txt, the window program, in FOLDER: the folder that holds\n"
         "the saved Corvane pages it is to convert. Without FOLDER it first asks for\n"
         "one with the folder dialog; cancelling the dialog starts nothing. "
#ifdef _WIN32
         "Your user\n"
         "folder, Documents, Downloads, the Desktop and the top folder of any drive\n"
         "are used only after a second question.\n";
#else
         "Your home\n"
         "folder, Documents, Downloads and the root folder are used only after a\n"
         "second question.\n";
#endif
}

}  // namespace corvane
