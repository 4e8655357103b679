// Form1 built by the Win32 window engine and driven like a user would, under
// wine on a display (tools/test-windows starts one). Keys are posted to the
// control with the focus and pass through the form's own message handling,
// as in the program's loop. The form is built at 96 and 120 dpi in turn.
#include "gui/win32/win32_form.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "gui/win32/win32_runtime.h"
#include "platform/windows/utf16.h"
#include "platform/windows/windows_api.h"
#include "tests/case_name.h"
#include "tests/mem_runtime.h"
#include "window/form.h"
#include "window/main_window.h"
#include "window/maker.h"

namespace corvane {
namespace {

using testing::MemRuntime;

std::wstring TextOf(HWND window) {
  std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(
      ::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

// Left, top, width and height of `control` in the client area of `window`.
std::array<LONG, 4> PlaceOf(HWND control, HWND window) {
  RECT rect{};
  ::GetWindowRect(control, &rect);
  ::MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
  return {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

class Form1Test : public ::testing::Test, public FormEvents {
 public:
  HWND Control(const char* name) { return form_.control(name); }
  HWND Box() { return Control("TextBox"); }

  // Handles what is queued as the program's message loop would.
  void Pump() {
    MSG message{};
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message != WM_QUIT) form_.Dispatch(message);
    }
  }
  // A key pressed and released on the control with the focus, Shift held
  // down if `shift`.
  void Key(UINT key, bool shift = false) {
    BYTE keys[256] = {};
    keys[VK_SHIFT] = shift ? 0x80 : 0;
    ::SetKeyboardState(keys);
    ::PostMessageW(::GetFocus(), WM_KEYDOWN, key, 1);
    ::PostMessageW(::GetFocus(), WM_KEYUP, key, 0xC0000001);
    Pump();
    keys[VK_SHIFT] = 0;
    ::SetKeyboardState(keys);
  }
  void Type(const wchar_t* text) {
    for (; *text != L'\0'; ++text) ::PostMessageW(::GetFocus(), WM_CHAR, *text, 1);
    Pump();
  }
  // A click of the left mouse button in the middle of `control`.
  void Click(HWND control) {
    RECT rect{};
    ::GetClientRect(control, &rect);
    const LPARAM middle = MAKELPARAM(rect.right / 2, rect.bottom / 2);
    ::PostMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, middle);
    ::PostMessageW(control, WM_LBUTTONUP, 0, middle);
    Pump();
  }

 protected:
  explicit Form1Test(int dpi = 96) : form_(Form1(), dpi) {
    form_.SetEvents(this);
    form_.Show();
    Pump();
  }
  // Counts the events, then hands them to the window's handlers.
  void Handle(std::string_view control, FormEvent event) override {
    ++events_[{std::string(control), event}];
    handlers_.Handle(control, event);
  }
  int Changes() { return events_[{"TextBox", FormEvent::kChange}]; }

  MemRuntime runtime_;
  Win32Form form_;
  MainWindow handlers_{form_, runtime_};
  std::map<std::pair<std::string, FormEvent>, int> events_;
};

class AtDpi : public Form1Test, public ::testing::WithParamInterface<int> {
 protected:
  AtDpi() : Form1Test(GetParam()) {}
};

TEST_P(AtDpi, EveryControlSitsAtItsTwipsAndStaysThere) {
  // Pixels for the form's twips: a fifteenth of them at 96 dpi, a twelfth
  // at 120.
  const std::map<std::string, std::array<LONG, 4>> at96 = {
      {"Label1", {8, 0, 305, 25}},     {"GO", {128, 40, 73, 25}},
      {"Donate", {24, 256, 281, 33}},  {"Label4", {88, 280, 153, 17}},
      {"TextBox", {24, 80, 273, 161}},
  };
  const std::map<std::string, std::array<LONG, 4>> at120 = {
      {"Label1", {10, 0, 381, 31}},     {"GO", {160, 50, 91, 31}},
      {"Donate", {30, 320, 351, 41}},   {"Label4", {110, 350, 191, 21}},
      {"TextBox", {30, 100, 341, 201}},
  };
  const HWND window = form_.window();
  RECT client{};
  ::GetClientRect(window, &client);
  EXPECT_EQ(client.right, GetParam() == 96 ? 318 : 398);
  EXPECT_EQ(client.bottom, GetParam() == 96 ? 309 : 386);
  EXPECT_EQ(TextOf(window), L"Form1");
  // Resizing the window moves and resizes nothing.
  for (SIZE size : {SIZE{0, 0}, SIZE{150, 120}, SIZE{900, 700}}) {
    if (size.cx > 0) {
      ::SetWindowPos(window, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER);
    }
    for (const auto& [name, place] : GetParam() == 96 ? at96 : at120) {
      EXPECT_EQ(PlaceOf(Control(name.c_str()), window), place) << name << " " << size.cx;
    }
  }
}

TEST_P(AtDpi, TheTitleIsBoldAndEveryCaptionFits) {
  const HDC dc = ::GetDC(form_.window());
  for (const char* name : {"Label1", "GO", "Label4"}) {
    const auto font = reinterpret_cast<HFONT>(::SendMessageW(Control(name), WM_GETFONT, 0, 0));
    LOGFONTW described{};
    ASSERT_EQ(::GetObjectW(font, sizeof described, &described), sizeof described) << name;
    // 13.8 and 8 points at the form's resolution.
    const bool title = std::string_view(name) == "Label1";
    EXPECT_EQ(described.lfHeight, -::MulDiv(title ? 138 : 80, GetParam(), 720)) << name;
    EXPECT_EQ(described.lfWeight, title ? FW_BOLD : FW_NORMAL) << name;
    const HGDIOBJ previous = ::SelectObject(dc, font);
    const std::wstring text = TextOf(Control(name));
    SIZE size{};
    ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    ::SelectObject(dc, previous);
    RECT room{};
    ::GetClientRect(Control(name), &room);
    EXPECT_LE(size.cx, room.right) << name;
    EXPECT_LE(size.cy, room.bottom) << name;
  }
  ::ReleaseDC(form_.window(), dc);
}

TEST_P(AtDpi, ShowsTheWholeHelpTextFromItsFirstLine) {
  EXPECT_EQ(form_.Text("TextBox"), HelpText());
  EXPECT_EQ(::SendMessageW(Box(), EM_GETSEL, 0, 0), 0);  // caret at the start
  EXPECT_EQ(::GetWindowLongPtrW(Box(), GWL_STYLE) & (WS_HSCROLL | WS_VSCROLL), 0);
  // Each of the twelve lines is one line of the box (the line end after
  // the last starts an empty thirteenth), and the last is inside the box.
  EXPECT_EQ(::SendMessageW(Box(), EM_GETLINECOUNT, 0, 0), 13);
  EXPECT_EQ(::SendMessageW(Box(), EM_GETFIRSTVISIBLELINE, 0, 0), 0);
  RECT format{};
  ::SendMessageW(Box(), EM_GETRECT, 0, reinterpret_cast<LPARAM>(&format));
  const auto top_of_line = [this](int line) {
    const LRESULT index = ::SendMessageW(Box(), EM_LINEINDEX, line, 0);
    return static_cast<LONG>(HIWORD(::SendMessageW(Box(), EM_POSFROMCHAR, index, 0)));
  };
  EXPECT_LE(2 * top_of_line(11) - top_of_line(10), format.bottom);

  // Other text wraps at the box's width.
  form_.SetEvents(nullptr);
  form_.SetText("TextBox", "word word word word word word word word word word word word word");
  EXPECT_GT(::SendMessageW(Box(), EM_GETLINECOUNT, 0, 0), 1);
}

INSTANTIATE_TEST_SUITE_P(Form1, AtDpi, ::testing::Values(96, 120),
                         [](const auto& info) { return "dpi" + std::to_string(info.param); });

TEST_F(Form1Test, FocusStartsOnGoAndTabMovesOnlyBetweenGoAndTheBox) {
  EXPECT_FALSE(::IsWindowVisible(Control("Donate")));
  EXPECT_EQ(::GetFocus(), Control("GO"));
  for (HWND next : {Box(), Control("GO"), Box()}) {
    Key(VK_TAB);
    EXPECT_EQ(::GetFocus(), next);
  }
  for (HWND next : {Control("GO"), Box()}) {
    Key(VK_TAB, true);
    EXPECT_EQ(::GetFocus(), next);
  }
  EXPECT_EQ(form_.Text("TextBox"), HelpText());
  EXPECT_EQ(Changes(), 0);
}

// Something the user does, for the tables below.
struct Action {
  const char* what;
  std::function<void(Form1Test&)> act;
  friend void PrintTo(const Action& c, std::ostream* out) { *out << c.what; }
};

class Acting : public Form1Test, public ::testing::WithParamInterface<Action> {};
class Edits : public Acting {};
class NonEdits : public Acting {};
class PressingGo : public Acting {};

TEST_P(Edits, EmptyTheBox) {
  ::SetFocus(Box());
  GetParam().act(*this);
  EXPECT_EQ(form_.Text("TextBox"), "");
  // The user's edit and the handler's own clearing; then the chain stops.
  EXPECT_GE(Changes(), 1);
  EXPECT_LE(Changes(), 2 * 3);
  EXPECT_TRUE(runtime_.messages.empty());
  EXPECT_FALSE(runtime_.end_status);
}

void Send(Form1Test& t, UINT message, WPARAM w = 0, LPARAM l = 0) {
  ::SendMessageW(t.Box(), message, w, l);
}

const Action kEdits[] = {
    {"a letter", [](Form1Test& t) { t.Type(L"x"); }},
    {"Backspace",
     [](Form1Test& t) {
       t.Key(VK_END);
       t.Type(L"\b");
     }},
    {"Delete", [](Form1Test& t) { t.Key(VK_DELETE); }},
    {"Return", [](Form1Test& t) { t.Key(VK_RETURN); }},
    {"cut",
     [](Form1Test& t) {
       t.Key(VK_RIGHT, true);
       Send(t, WM_CUT);
     }},
    {"paste",
     [](Form1Test& t) {
       Send(t, EM_SETSEL, 3, 7);
       Send(t, WM_COPY);
       Send(t, EM_SETSEL);
       Send(t, WM_PASTE);
     }},
    {"undo after an edit",
     [](Form1Test& t) {
       t.Type(L"x");
       Send(t, WM_UNDO);
     }},
};
INSTANTIATE_TEST_SUITE_P(ByKey, Edits, ::testing::ValuesIn(kEdits), testing::NameFromWhat<Action>);

TEST_P(NonEdits, LeaveTheHelpTextInPlace) {
  ::SetFocus(Box());
  GetParam().act(*this);
  EXPECT_EQ(form_.Text("TextBox"), HelpText());
  EXPECT_EQ(Changes(), 0);
  EXPECT_TRUE(runtime_.messages.empty());
}

const Action kNonEdits[] = {
    {"select all and copy",
     [](Form1Test& t) {
       Send(t, EM_SETSEL, 0, -1);
       Send(t, WM_COPY);
     }},
    {"caret moves",
     [](Form1Test& t) {
       for (UINT key : {VK_RIGHT, VK_DOWN, VK_END, VK_NEXT, VK_UP, VK_HOME, VK_LEFT}) t.Key(key);
     }},
    {"selecting with Shift",
     [](Form1Test& t) {
       for (UINT key : {VK_RIGHT, VK_DOWN, VK_END}) t.Key(key, true);
     }},
    {"clicks in the box and on the labels",
     [](Form1Test& t) {
       for (const char* name : {"TextBox", "Label1", "Label4"}) t.Click(t.Control(name));
     }},
};
INSTANTIATE_TEST_SUITE_P(ByKeyAndMouse, NonEdits, ::testing::ValuesIn(kNonEdits),
                         testing::NameFromWhat<Action>);

const std::string kRule = "------------------";

TEST_P(PressingGo, ConvertsShowsFinishedAndEndsOnce) {
  runtime_.Add("a.html", "x\r\n" + kRule + "\r\n<b>Alpha</b>\r\n" + kRule + "\r\n");
  ::SetFocus(Control("GO"));
  GetParam().act(*this);
  EXPECT_EQ(runtime_.Contents("a.txt"), "a.html\r\n\r\n Alpha \r\n");
  EXPECT_FALSE(runtime_.Contents("a.html"));
  EXPECT_EQ(runtime_.messages, std::vector<std::string>{"Finished"});
  EXPECT_EQ(runtime_.end_status, 0);
  // A test runtime returns from the end of the program; the run still
  // does not start again.
  GetParam().act(*this);
  EXPECT_EQ(runtime_.messages.size(), 1U);
  EXPECT_EQ((events_[{"GO", FormEvent::kClick}]), 2);
}

const Action kPresses[] = {
    {"mouse", [](Form1Test& t) { t.Click(t.Control("GO")); }},
    {"Space", [](Form1Test& t) { t.Key(VK_SPACE); }},
    {"Return", [](Form1Test& t) { t.Key(VK_RETURN); }},
};
INSTANTIATE_TEST_SUITE_P(ByMouseAndKey, PressingGo, ::testing::ValuesIn(kPresses),
                         testing::NameFromWhat<Action>);

TEST_F(Form1Test, DonatesClickOpensTheDonationLink) {
  Click(Control("Donate"));
  EXPECT_TRUE(runtime_.Contents("donate.url"));
  ASSERT_EQ(runtime_.started.size(), 1U);
  EXPECT_EQ(runtime_.started[0][0], "rundll32.exe");
}

// Ends a message loop that the window failed to end.
void CALLBACK QuitLate(HWND, UINT, UINT_PTR timer, DWORD) {
  ::KillTimer(nullptr, timer);
  ::PostQuitMessage(99);
}

TEST_F(Form1Test, ClosingTheWindowTouchesNothingAndEndsTheLoopWithZero) {
  runtime_.Add("a.html", "x\r\n" + kRule + "\r\nA\r\n" + kRule + "\r\n");
  const UINT_PTR timer = ::SetTimer(nullptr, 0, 5000, QuitLate);
  ::PostMessageW(form_.window(), WM_CLOSE, 0, 0);
  EXPECT_EQ(RunMessageLoop(form_), 0);
  ::KillTimer(nullptr, timer);
  EXPECT_EQ(form_.window(), nullptr);
  EXPECT_EQ(runtime_.calls.size(), 0U);
  EXPECT_TRUE(events_.empty());
}

// What the message box of this thread showed: its caption, the texts of its
// labels and buttons, whether one of them was an icon, whether the form
// could be used meanwhile, its owner and where it was.
struct SeenBox {
  std::vector<std::wstring> texts;
  bool icon = false;
  bool form_enabled = true;
  HWND owner = nullptr;
  RECT place{};
} seen_box;
HWND form_window = nullptr;

BOOL CALLBACK NoteChild(HWND child, LPARAM) {
  if (!::IsWindowVisible(child)) return TRUE;
  if (::SendMessageW(child, STM_GETICON, 0, 0) != 0) seen_box.icon = true;
  if (!TextOf(child).empty()) seen_box.texts.push_back(TextOf(child));
  return TRUE;
}

// Notes the box once it is up and presses its OK button.
void CALLBACK LookForBox(HWND, UINT, UINT_PTR timer, DWORD) {
  const HWND box = ::GetActiveWindow();
  if (box == nullptr || box == form_window) return;
  ::KillTimer(nullptr, timer);
  seen_box.texts.push_back(TextOf(box));
  seen_box.form_enabled = ::IsWindowEnabled(form_window) != FALSE;
  seen_box.owner = ::GetWindow(box, GW_OWNER);
  ::GetWindowRect(box, &seen_box.place);
  ::EnumChildWindows(box, NoteChild, 0);
  ::SendMessageW(::GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
}

TEST_F(Form1Test, MessagesAndErrorsAreModalBoxesWithTheProgramsTitleOverTheForm) {
  Win32Runtime runtime(runtime_, kProgramTitle, form_.window());
  form_window = form_.window();
  // In a corner, far from the middle of the screen, where Windows alone
  // would put the boxes.
  ::SetWindowPos(form_window, nullptr, 16, 24, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  RECT form_place{};
  ::GetWindowRect(form_window, &form_place);
  const RuntimeError error(ErrorNumber::kFileNotFound, "cannot open file for reading",
                           "caf\xc3\xa9.html", "The system cannot find the file specified");
  const std::wstring report = WideName(ErrorReportText(error), "");
  const struct {
    std::function<void()> show;
    std::vector<std::wstring> texts;
    bool icon;
  } cases[] = {
      {[&] { runtime.ShowMessage("Finished"); }, {L"Corvane2txt", L"Finished", L"OK"}, false},
      {[&] { runtime.ReportError(error); }, {L"Corvane2txt", L"OK", report}, true},
  };
  for (const auto& c : cases) {
    seen_box = SeenBox{};
    ::SetTimer(nullptr, 0, 20, LookForBox);
    c.show();
    // The caption, then the box's texts in any order.
    std::sort(seen_box.texts.begin() + (seen_box.texts.empty() ? 0 : 1), seen_box.texts.end());
    EXPECT_EQ(seen_box.texts, c.texts);
    EXPECT_EQ(seen_box.icon, c.icon);
    EXPECT_FALSE(seen_box.form_enabled);
    EXPECT_TRUE(::IsWindowEnabled(form_.window()));
    EXPECT_EQ(seen_box.owner, form_window);
    // Centred over the form, to the pixel that halving leaves.
    const RECT& box = seen_box.place;
    EXPECT_LE(std::abs((box.left + box.right) - (form_place.left + form_place.right)), 1)
        << box.left << "," << box.top << " over " << form_place.left << "," << form_place.top;
    EXPECT_LE(std::abs((box.top + box.bottom) - (form_place.top + form_place.bottom)), 1)
        << box.left << "," << box.top << " over " << form_place.left << "," << form_place.top;
  }
  // The report also went to the wrapped runtime (standard error).
  EXPECT_EQ(runtime_.error_reports.size(), 1U);
  EXPECT_TRUE(runtime_.messages.empty());
}

TEST(Win32Runtime, EndProgramEndsTheProcessWithTheStatus) {
  MemRuntime native;
  Win32Runtime runtime(native, kProgramTitle);
  EXPECT_EXIT(runtime.EndProgram(0), ::testing::ExitedWithCode(0), "");
  EXPECT_EXIT(runtime.EndProgram(3), ::testing::ExitedWithCode(3), "");
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

}  // namespace
}  // namespace corvane
