// What the Win32 suite needs of the Win32 form driver beyond FormDriver.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/windows/windows_api.h"

namespace corvane::testing {

// What the message box of this thread showed: its caption, then the texts
// of its labels and buttons, whether one of them was an icon, whether
// `form` could be used meanwhile, its owner and where it was.
struct Win32BoxSeen {
  bool seen = false;
  std::wstring title;
  std::vector<std::wstring> texts;
  std::vector<std::wstring> buttons;
  bool icon = false;
  bool form_enabled = true;
  HWND owner = nullptr;
  RECT place{};
};

// Runs `show`, which shows a modal message box over `form`, notes the box
// once it is up and presses its OK button.
Win32BoxSeen LookAtMessageBox(HWND form, const std::function<void()>& show);

std::wstring TextOf(HWND window);

}  // namespace corvane::testing
