// The donation link: what a click on the Donate button runs.
#pragma once

#include <string_view>

#include "platform/file_system.h"
#include "platform/program_starter.h"

namespace corvane {

// The shortcut file the link leaves in the current folder.
inline constexpr std::string_view kDonationShortcut = "donate.url";

// Writes "donate.url" into the current folder, holding the donation address
// and CR LF (an old file of that name is replaced), then starts the
// desktop's URL opener on it without waiting (see `DesktopUrlOpener`). The
// shortcut's path or the address is handed over as one argument; no shell
// is involved.
//
// Throws RuntimeError when the file cannot be written or the opener cannot
// be started.
void OpenDonationLink(FileSystem& files, ProgramStarter& programs);

}  // namespace corvane
