// What the launcher decides on Windows with the system's help: which
// folders need a second question, and how it is asked.
#pragma once

#include <string>
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

// The window program's full path: corvane2txt.exe in `program_folder`.
std::string WindowProgramIn(const std::string& program_folder);

}  // namespace corvane
