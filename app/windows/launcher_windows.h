// What the launcher decides on Windows with the system's help: which
// folders need a second question, and how it is asked.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/launcher.h"

namespace corvane {

// The folders that need a second question before the window program starts
// in `folder` (resolved like ResolveFolder): the user's profile folder,
// Documents, Downloads and the Desktop, and `folder` itself when it is the
// top folder of a drive or a network share.
std::vector<GuardedFolder> WindowsGuardedFolders(const std::string& folder);

// The style of the message box that asks the second question: Yes and No,
// with No as the default button, so that Enter or a hasty click on the
// default refuses the folder.
unsigned QuestionBoxStyle();

// The launcher's decision on `folder`, given or picked: the resolved folder
// to start the window program in, or nothing. A folder that cannot be
// resolved is refused after `show_error` has said why; a guarded folder
// (see WindowsGuardedFolders) is taken only when `confirm` answers its
// second question with yes, and a no means the window program does not
// start there.
std::optional<std::string> ApproveFolder(
    const std::string& folder, const std::function<bool(const std::string& question)>& confirm,
    const std::function<void(std::string_view cause)>& show_error);

// The window program's full path: corvane2txt.exe in `program_folder`.
std::string WindowProgramIn(const std::string& program_folder);

}  // namespace corvane
