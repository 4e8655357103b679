#include "app/windows/launcher_windows.h"

// clang-format off
#include "platform/windows/windows_api.h"
// clang-format on
#include <knownfolders.h>

#include "platform/launch.h"
#include "platform/windows/known_folders.h"

namespace corvane {

std::vector<GuardedFolder> WindowsGuardedFolders(const std::string& folder) {
  std::vector<GuardedFolder> guarded = {
      {KnownFolder(FOLDERID_Profile), "your user folder"},
      {KnownFolder(FOLDERID_Documents), "your Documents folder"},
      {KnownFolder(FOLDERID_Downloads), "your Downloads folder"},
      {KnownFolder(FOLDERID_Desktop), "your Desktop"},
  };
  if (IsDriveRoot(folder)) guarded.push_back({folder, "the top folder of a drive"});
  return guarded;
}

unsigned QuestionBoxStyle() { return MB_YESNO | MB_DEFBUTTON2 | MB_ICONQUESTION; }

std::optional<std::string> ApproveFolder(
    const std::string& folder, const std::function<bool(const std::string& question)>& confirm,
    const std::function<void(std::string_view cause)>& show_error) {
  std::string resolved;
  try {
    resolved = ResolveFolder(folder);
  } catch (const LaunchError& error) {
    show_error(error.what());
    return std::nullopt;
  }
  const std::optional<std::string> question =
      ConfirmationQuestion(resolved, WindowsGuardedFolders(resolved));
  if (question && !confirm(*question)) return std::nullopt;
  return resolved;
}

std::string WindowProgramIn(const std::string& program_folder) {
  return program_folder + "\\" + std::string(kWindowProgramName) + ".exe";
}

}  // namespace corvane
