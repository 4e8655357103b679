// The donation link: what a click on the Donate button runs.
#pragma once

#include <string_view>

#include "platform/runtime.h"

namespace corvane {

// The shortcut file the link leaves in the current folder.
inline constexpr std::string_view kDonationShortcut = "donate.url";

// The program that hands an address to the desktop's web browser.
inline constexpr std::string_view kUrlOpener = "xdg-open";

// Writes "donate.url" into the current folder, holding the donation address
// and CR LF (an old file of that name is replaced), then starts the
// desktop's URL opener on the donation address without waiting for it. The
// address is handed over as the opener's one argument; no shell is
// involved.
//
// Throws RuntimeError when the file cannot be written or the opener cannot
// be started.
void OpenDonationLink(Runtime& runtime);

}  // namespace corvane
