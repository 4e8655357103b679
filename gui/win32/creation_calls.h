// The Win32 calls that create the form's windows and fonts.
//
// Win32Form creates every window and font through this table rather than by
// name, so that a test can fail one creation after the other and see that a
// form that cannot be built leaves nothing behind. The program itself never
// changes the table.
#pragma once

// clang-format off
#include "platform/windows/windows_api.h"
// clang-format on

namespace corvane::win32 {

struct CreationCalls {
  decltype(&::CreateWindowExW) create_window = ::CreateWindowExW;
  decltype(&::CreateFontIndirectW) create_font = ::CreateFontIndirectW;
};

extern CreationCalls creation_calls;

}  // namespace corvane::win32
