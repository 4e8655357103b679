// The window program as a screen reader meets it on Windows: this program
// starts corvane2txt.exe and walks the accessibility (MSAA) tree of its
// window from a process of its own, as a screen reader does, and prints
// what it read.
// clang-format off
#include "platform/windows/windows_api.h"
#include <oleacc.h>
// clang-format on
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "gui/win32/win32_form.h"
#include "platform/windows/utf16.h"
#include "tests/temp_folder.h"
#include "window/form.h"
#include "window/maker.h"

namespace corvane {
namespace {

// What a client reads of one object of the tree.
struct Seen {
  std::wstring window_class;
  LONG role = 0;
  std::wstring name;
  std::wstring description;
  LONG state = 0;
};

std::wstring Taken(BSTR text) {
  std::wstring taken = text != nullptr ? text : L"";
  ::SysFreeString(text);
  return taken;
}

// The client area of `window`, through its WM_GETOBJECT answer.
Seen ReadClientArea(HWND window) {
  Seen seen;
  wchar_t window_class[64] = {};
  ::GetClassNameW(window, window_class, 64);
  seen.window_class = window_class;
  IAccessible* object = nullptr;
  if (FAILED(::AccessibleObjectFromWindow(window, OBJID_CLIENT, __uuidof(IAccessible),
                                          reinterpret_cast<void**>(&object)))) {
    return seen;
  }
  VARIANT self{};
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  VARIANT value{};
  if (SUCCEEDED(object->get_accRole(self, &value)) && value.vt == VT_I4) seen.role = value.lVal;
  if (SUCCEEDED(object->get_accState(self, &value)) && value.vt == VT_I4) seen.state = value.lVal;
  BSTR text = nullptr;
  if (object->get_accName(self, &text) == S_OK) seen.name = Taken(text);
  text = nullptr;
  if (object->get_accDescription(self, &text) == S_OK) seen.description = Taken(text);
  object->Release();
  return seen;
}

// The form's client area, then that of each object among its children, in
// the order the form's object lists them.
std::vector<Seen> Walk(HWND form) {
  std::vector<Seen> tree = {ReadClientArea(form)};
  IAccessible* client = nullptr;
  if (FAILED(::AccessibleObjectFromWindow(form, OBJID_CLIENT, __uuidof(IAccessible),
                                          reinterpret_cast<void**>(&client)))) {
    return tree;
  }
  LONG count = 0;
  client->get_accChildCount(&count);
  std::vector<VARIANT> children(static_cast<std::size_t>(count));
  LONG got = 0;
  if (count > 0 && SUCCEEDED(::AccessibleChildren(client, 0, count, children.data(), &got))) {
    for (LONG i = 0; i < got; ++i) {
      VARIANT& child = children[static_cast<std::size_t>(i)];
      IAccessible* object = nullptr;
      HWND window = nullptr;
      if (child.vt == VT_DISPATCH && child.pdispVal != nullptr &&
          SUCCEEDED(child.pdispVal->QueryInterface(__uuidof(IAccessible),
                                                   reinterpret_cast<void**>(&object)))) {
        ::WindowFromAccessibleObject(object, &window);
        object->Release();
      }
      if (window != nullptr) tree.push_back(ReadClientArea(window));
      ::VariantClear(&child);
    }
  }
  client->Release();
  return tree;
}

std::string RoleText(LONG role) {
  wchar_t text[64] = {};
  ::GetRoleTextW(static_cast<DWORD>(role), text, 64);
  return Utf8FromWide(text);
}

// corvane2txt.exe running in an empty folder, until it is closed.
class WindowProgram {
 public:
  WindowProgram() {
    std::wstring command_line = L"corvane2txt.exe";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (!::CreateProcessW(WideText(CORVANE_WINDOW_PATH).c_str(), command_line.data(), nullptr,
                          nullptr, FALSE, 0, nullptr, folder_.path().wstring().c_str(), &startup,
                          &process_)) {
      return;
    }
    for (int tenths = 0; tenths < 300 && window_ == nullptr; ++tenths) {
      ::Sleep(100);
      ::EnumWindows(&WindowProgram::NoteForm, reinterpret_cast<LPARAM>(this));
    }
  }
  ~WindowProgram() {
    if (process_.hProcess == nullptr) return;
    if (::WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
      ::TerminateProcess(process_.hProcess, 99);
    }
    ::CloseHandle(process_.hThread);
    ::CloseHandle(process_.hProcess);
  }
  WindowProgram(const WindowProgram&) = delete;
  WindowProgram& operator=(const WindowProgram&) = delete;

  HWND window() const { return window_; }

  // Closes the window as its close button does; the program's exit status.
  std::optional<DWORD> Close() {
    ::PostMessageW(window_, WM_CLOSE, 0, 0);
    DWORD status = 0;
    if (::WaitForSingleObject(process_.hProcess, 30000) != WAIT_OBJECT_0 ||
        !::GetExitCodeProcess(process_.hProcess, &status)) {
      return std::nullopt;
    }
    return status;
  }

 private:
  static BOOL CALLBACK NoteForm(HWND window, LPARAM self) {
    auto* program = reinterpret_cast<WindowProgram*>(self);
    DWORD process = 0;
    ::GetWindowThreadProcessId(window, &process);
    wchar_t window_class[64] = {};
    ::GetClassNameW(window, window_class, 64);
    if (process != program->process_.dwProcessId || std::wstring(window_class) != kFormClassName ||
        !::IsWindowVisible(window)) {
      return TRUE;
    }
    program->window_ = window;
    return FALSE;
  }

  testing::TempFolder folder_;
  PROCESS_INFORMATION process_{};
  HWND window_ = nullptr;
};

std::wstring CaptionOf(std::string_view control) {
  const auto& controls = Form1().controls;
  return WideText(std::find_if(controls.begin(), controls.end(), [&](const auto& c) {
                    return c.name == control;
                  })->text);
}

TEST(WindowProgramAccessibility, NamesTheHelpBoxAndGivesNoFocusToTheHiddenButton) {
  // A client receives the window's objects through COM.
  ASSERT_TRUE(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
  WindowProgram program;
  ASSERT_NE(program.window(), nullptr) << "no window of corvane2txt.exe appeared";
  const std::vector<Seen> tree = Walk(program.window());
  for (const Seen& seen : tree) {
    std::printf("%s %s \"%s\"%s%s%s\n", Utf8FromWide(seen.window_class).c_str(),
                RoleText(seen.role).c_str(), Utf8FromWide(seen.name).c_str(),
                (seen.state & STATE_SYSTEM_INVISIBLE) != 0 ? " invisible" : "",
                (seen.state & STATE_SYSTEM_FOCUSABLE) != 0 ? " focusable" : "",
                seen.description.empty() ? "" : (": " + Utf8FromWide(seen.description)).c_str());
  }

  // The window, then its controls in the order of their creation. Wine's
  // standard objects give a label and a button the role of a client area,
  // Windows' their own; a text box is text on both.
  const struct {
    const wchar_t* window_class;
    std::optional<LONG> role;
    std::wstring name;
    bool shown;
  } expected[] = {
      {kFormClassName, ROLE_SYSTEM_CLIENT, L"Form1", true},
      {L"Static", std::nullopt, L"Convert Corvane html files to txt", true},
      {L"Button", std::nullopt, L"GO", true},
      {L"Button", std::nullopt, CaptionOf("Donate"), false},
      {L"Static", std::nullopt, WideText(kCopyrightNotice), true},
      {L"Edit", ROLE_SYSTEM_TEXT, L"Help", true},
  };
  ASSERT_EQ(tree.size(), std::size(expected));
  for (std::size_t i = 0; i < tree.size(); ++i) {
    const Seen& seen = tree[i];
    const std::string what = Utf8FromWide(expected[i].name);
    EXPECT_EQ(seen.window_class, expected[i].window_class) << what;
    if (expected[i].role) {
      EXPECT_EQ(seen.role, *expected[i].role) << what;
    }
    EXPECT_EQ(seen.name, expected[i].name) << what;
    EXPECT_EQ((seen.state & STATE_SYSTEM_INVISIBLE) == 0, expected[i].shown) << what;
    if (!expected[i].shown) {
      EXPECT_EQ(seen.state & STATE_SYSTEM_FOCUSABLE, 0) << what;
    }
  }
  EXPECT_EQ(tree[0].description, WideText(Form1().accessible_description));
  EXPECT_EQ(program.Close(), 0U);
}

}  // namespace
}  // namespace corvane
