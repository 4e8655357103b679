// What only the Win32 engine has, beside the Form1 suite (form1_test.cc):
// message boxes centred over the form by the WH_CBT hook, the manifest, and
// a form that cannot be built leaving no window and no font behind.
#include "gui/win32/win32_form.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "gui/win32/creation_calls.h"
#include "gui/win32/win32_user.h"
#include "platform/windows/utf16.h"
#include "platform/windows/windows_api.h"
#include "tests/recorded_runtime.h"
#include "tests/win32_form_driver.h"
#include "window/form.h"
#include "window/maker.h"

namespace corvane {
namespace {

TEST(Win32Form, MessageBoxesAreOwnedByTheFormAndCentredOverIt) {
  testing::RecordingUser console;
  Win32Form form(Form1(), 96);
  form.Show();
  Win32User user(console, kProgramTitle, form.window());
  // In a corner, far from the middle of the screen, where Windows alone
  // would put the boxes.
  ::SetWindowPos(form.window(), nullptr, 16, 24, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  RECT form_place{};
  ::GetWindowRect(form.window(), &form_place);
  const RuntimeError error(ErrorNumber::kFileNotFound, "cannot open file for reading", "a.html",
                           "The system cannot find the file specified");
  const std::function<void()> shows[] = {[&] { user.ShowMessage("Finished"); },
                                         [&] { user.ReportError(error); }};
  for (const auto& show : shows) {
    const testing::Win32BoxSeen seen = testing::LookAtMessageBox(form.window(), show);
    ASSERT_TRUE(seen.seen);
    EXPECT_EQ(seen.owner, form.window());
    EXPECT_TRUE(::IsWindowEnabled(form.window()));
    // Centred over the form, to the pixel that halving leaves.
    const RECT& box = seen.place;
    EXPECT_LE(std::abs((box.left + box.right) - (form_place.left + form_place.right)), 1)
        << box.left << "," << box.top << " over " << form_place.left << "," << form_place.top;
    EXPECT_LE(std::abs((box.top + box.bottom) - (form_place.top + form_place.bottom)), 1)
        << box.left << "," << box.top << " over " << form_place.left << "," << form_place.top;
  }
}

TEST(Manifest, TheWindowProgramAndTheseTestsGetCommonControls6AndTheScreensDpi) {
  const std::wstring program = std::filesystem::path(CORVANE_WINDOW_PATH).wstring();
  const HMODULE module = ::LoadLibraryExW(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(module, nullptr) << ::GetLastError();
  EXPECT_NE(::FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24)), nullptr);
  ::FreeLibrary(module);

  // The test program carries the same manifest.
  EXPECT_TRUE(::IsProcessDPIAware());
  const Win32Form form(Form1(), 96);
  for (const char* name : {"GO", "TextBox"}) {
    // The controls' classes come from the common controls 6, kept in the
    // side-by-side store.
    HMODULE controls = nullptr;
    ::GetModuleHandleExW(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<const wchar_t*>(::GetWindowLongPtrW(form.control(name), GWLP_WNDPROC)),
        &controls);
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(controls, path, MAX_PATH);
    EXPECT_NE(Utf8FromWide(::CharLowerW(path)).find("\\winsxs\\"), std::string::npos) << name;
  }
}

// The creations of one attempt to build the form; the one numbered
// `failing` fails as the system would, out of memory.
struct Creations {
  int count = 0;
  int failing = -1;
  std::vector<HWND> windows;
  std::vector<HFONT> fonts;
  bool Fails() {
    if (count++ != failing) return false;
    ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return true;
  }
} creations;

HWND WINAPI CreateWindowOrFail(DWORD extended_style, const wchar_t* class_name, const wchar_t* text,
                               DWORD style, int x, int y, int width, int height, HWND parent,
                               HMENU menu, HINSTANCE instance, void* parameter) {
  if (creations.Fails()) return nullptr;
  const HWND window = ::CreateWindowExW(extended_style, class_name, text, style, x, y, width,
                                        height, parent, menu, instance, parameter);
  creations.windows.push_back(window);
  return window;
}

HFONT WINAPI CreateFontOrFail(const LOGFONTW* font) {
  if (creations.Fails()) return nullptr;
  const HFONT created = ::CreateFontIndirectW(font);
  creations.fonts.push_back(created);
  return created;
}

BOOL CALLBACK NoteFormWindow(HWND window, LPARAM found) {
  wchar_t class_name[64] = {};
  ::GetClassNameW(window, class_name, 64);
  if (std::wstring_view(class_name) == kFormClassName) ++*reinterpret_cast<int*>(found);
  return TRUE;
}

int FormWindowsOfThisThread() {
  int found = 0;
  ::EnumThreadWindows(::GetCurrentThreadId(), NoteFormWindow, reinterpret_cast<LPARAM>(&found));
  return found;
}

TEST(Win32Form, AFailedCreationThrowsAndLeavesNoWindowAndNoFont) {
  const DWORD gdi_objects = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS);
  ASSERT_EQ(FormWindowsOfThisThread(), 0);
  const win32::CreationCalls real = win32::creation_calls;
  win32::creation_calls = {CreateWindowOrFail, CreateFontOrFail};
  // The window, then each control and its font; the form is built once
  // none of them fails. The bound keeps a system that refuses every
  // window (wine without a display) from looping here for good.
  const int creations_in_all = 1 + 2 * static_cast<int>(Form1().controls.size());
  int built_at = -1;
  for (int failing = 0; failing <= creations_in_all && built_at < 0; ++failing) {
    creations = Creations{};
    creations.failing = failing;
    try {
      const Win32Form form(Form1(), 96);
      built_at = failing;
      continue;
    } catch (const RuntimeError& error) {
      EXPECT_NE(std::string(error.what()).find("cannot create"), std::string::npos) << error.what();
    }
    EXPECT_EQ(FormWindowsOfThisThread(), 0) << "creation " << failing;
    for (HWND window : creations.windows) EXPECT_FALSE(::IsWindow(window)) << failing;
    for (HFONT font : creations.fonts) EXPECT_EQ(::GetObjectType(font), 0U) << failing;
    EXPECT_EQ(::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS), gdi_objects) << failing;
    // Nothing the failed form left behind ends the tests' message loops.
    MSG message{};
    EXPECT_FALSE(::PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << failing;
  }
  win32::creation_calls = real;
  EXPECT_EQ(built_at, creations_in_all) << "-1: the form was never built";
}

}  // namespace
}  // namespace corvane
