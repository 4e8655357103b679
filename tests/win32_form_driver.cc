// FormDriver over Win32Form: real messages under wine on a display. Keys
// are posted to the control with the focus and pass through the form's own
// message handling, as in the program's loop.
//
// In this order: the message box looked at by a timer while it is up;
// the driver (reading the form, then acting on it, then message boxes);
// the engine's resolutions and the factory.
#include "tests/win32_form_driver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <stdexcept>

#include "gui/win32/win32_form.h"
#include "gui/win32/win32_user.h"
#include "platform/windows/utf16.h"
#include "tests/form_driver.h"
#include "window/maker.h"

namespace corvane::testing {

std::wstring TextOf(HWND window) {
  std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(
      ::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

namespace {

// The box being looked at; one at a time on the tests' one thread.
Win32BoxSeen* seen_box = nullptr;
HWND form_window = nullptr;

BOOL CALLBACK NoteChild(HWND child, LPARAM) {
  if (!::IsWindowVisible(child)) return TRUE;
  if (::SendMessageW(child, STM_GETICON, 0, 0) != 0) seen_box->icon = true;
  wchar_t class_name[32] = {};
  ::GetClassNameW(child, class_name, 32);
  const std::wstring text = TextOf(child);
  if (text.empty()) return TRUE;
  seen_box->texts.push_back(text);
  if (::lstrcmpiW(class_name, L"Button") == 0) seen_box->buttons.push_back(text);
  return TRUE;
}

// Notes the box once it is up and presses its OK button.
void CALLBACK LookForBox(HWND, UINT, UINT_PTR timer, DWORD) {
  const HWND box = ::GetActiveWindow();
  if (box == nullptr || box == form_window) return;
  ::KillTimer(nullptr, timer);
  seen_box->seen = true;
  seen_box->title = TextOf(box);
  seen_box->form_enabled = ::IsWindowEnabled(form_window) != FALSE;
  seen_box->owner = ::GetWindow(box, GW_OWNER);
  ::GetWindowRect(box, &seen_box->place);
  ::EnumChildWindows(box, NoteChild, 0);
  ::SendMessageW(::GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
}

int CALLBACK NoteFace(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;
}

// Ends a message loop that the window failed to end.
void CALLBACK QuitLate(HWND, UINT, UINT_PTR timer, DWORD) {
  ::KillTimer(nullptr, timer);
  ::PostQuitMessage(99);
}

}  // namespace

Win32BoxSeen LookAtMessageBox(HWND form, const std::function<void()>& show) {
  Win32BoxSeen seen;
  seen_box = &seen;
  form_window = form;
  ::SetTimer(nullptr, 0, 20, LookForBox);
  show();
  seen_box = nullptr;
  return seen;
}

namespace {

class Win32FormDriver final : public FormDriver {
 public:
  Win32FormDriver(const FormDescription& form, int dpi) : form_(form, dpi) {}

  FormControls& controls() override { return form_; }
  void SetEvents(FormEvents* events) override { form_.SetEvents(events); }
  void Show() override {
    form_.Show();
    Pump();
  }
  int Dpi() const override { return form_.dpi(); }

  std::string Title() const override { return Utf8FromWide(TextOf(form_.window())); }
  Place ClientPlace() const override {
    RECT client{};
    ::GetClientRect(form_.window(), &client);
    return Place{0, 0, client.right, client.bottom};
  }
  Place PlaceOf(std::string_view control) const override {
    RECT rect{};
    ::GetWindowRect(Handle(control), &rect);
    ::MapWindowPoints(nullptr, form_.window(), reinterpret_cast<POINT*>(&rect), 2);
    return Place{rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
  }
  std::string Text(std::string_view control) const override {
    return Utf8FromWide(TextOf(Handle(control)));
  }
  bool IsVisible(std::string_view control) const override {
    return ::IsWindowVisible(Handle(control)) != FALSE;
  }
  FontSeen FontOf(std::string_view control) const override {
    LOGFONTW font{};
    ::GetObjectW(Font(control), sizeof font, &font);
    return FontSeen{.face = Utf8FromWide(font.lfFaceName),
                    .pixel_height = -font.lfHeight,
                    .weight = static_cast<int>(font.lfWeight),
                    .italic = font.lfItalic != 0,
                    .stretch = StretchOf(font)};
  }
  Place Extent(std::string_view control, std::string_view text) const override {
    const HWND handle = Handle(control);
    const HDC dc = ::GetDC(handle);
    const HGDIOBJ previous = ::SelectObject(dc, Font(control));
    const std::wstring wide = WideText(text);
    SIZE size{};
    ::GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &size);
    ::SelectObject(dc, previous);
    ::ReleaseDC(handle, dc);
    return Place{0, 0, size.cx, size.cy};
  }
  Place TextRoom(std::string_view control) const override {
    RECT room{};
    ::GetClientRect(Handle(control), &room);
    return Place{0, 0, room.right, room.bottom};
  }
  // Windows lets the blank that closes a line hang past the margin; the
  // edit control of wine 10 (not 8) wraps it, and the word before it, to
  // the next line.
  std::string WrapsUnlikeWindows() const override {
    using Version = const char*(__cdecl*)();
    const FARPROC proc = ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version");
    if (proc == nullptr) return {};
    const char* version = reinterpret_cast<Version>(reinterpret_cast<void (*)()>(proc))();
    if (std::atoi(version) < 10) return {};
    return std::string("the edit control of wine ") + version +
           " wraps a line's closing blank, which Windows lets hang past the margin";
  }
  bool HasFace(std::string_view face) const override {
    LOGFONTW query{};
    const std::wstring wide = WideText(face);
    wide.copy(query.lfFaceName, std::min<std::size_t>(wide.size(), LF_FACESIZE - 1));
    query.lfCharSet = DEFAULT_CHARSET;
    bool found = false;
    const HDC screen = ::GetDC(nullptr);
    ::EnumFontFamiliesExW(screen, &query, NoteFace, reinterpret_cast<LPARAM>(&found), 0);
    ::ReleaseDC(nullptr, screen);
    return found;
  }
  std::string Focus() const override {
    const HWND focus = ::GetFocus();
    for (const char* name : {"Label1", "GO", "Donate", "Label4", "TextBox"}) {
      if (form_.control(name) == focus) return name;
    }
    return "";
  }
  std::pair<int, int> Selection(std::string_view box) const override {
    DWORD start = 0;
    DWORD end = 0;
    ::SendMessageW(Handle(box), EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                   reinterpret_cast<LPARAM>(&end));
    return {static_cast<int>(start), static_cast<int>(end)};
  }
  bool IsReadOnly(std::string_view box) const override {
    return (::GetWindowLongPtrW(Handle(box), GWL_STYLE) & ES_READONLY) != 0;
  }
  bool HasScrollBars(std::string_view box) const override {
    return (::GetWindowLongPtrW(Handle(box), GWL_STYLE) & (WS_HSCROLL | WS_VSCROLL)) != 0;
  }
  std::vector<ShownLine> ShownLines(std::string_view name) const override {
    const HWND box = Handle(name);
    const std::wstring text = TextOf(box);
    const int count = static_cast<int>(::SendMessageW(box, EM_GETLINECOUNT, 0, 0));
    const auto top_of_line = [box](int line) {
      const LRESULT index = ::SendMessageW(box, EM_LINEINDEX, line, 0);
      return static_cast<int>(
          static_cast<short>(HIWORD(::SendMessageW(box, EM_POSFROMCHAR, index, 0))));
    };
    const int height = count > 1 ? top_of_line(1) - top_of_line(0) : LineHeight(name);
    std::vector<ShownLine> lines;
    for (int i = 0; i < count; ++i) {
      const LRESULT index = ::SendMessageW(box, EM_LINEINDEX, i, 0);
      const LRESULT length = ::SendMessageW(box, EM_LINELENGTH, index, 0);
      lines.push_back(
          ShownLine{Utf8FromWide(std::wstring_view(text).substr(static_cast<std::size_t>(index),
                                                                static_cast<std::size_t>(length))),
                    top_of_line(i) + height});
    }
    while (!lines.empty() && lines.back().text.empty()) lines.pop_back();
    return lines;
  }
  int TextAreaHeight(std::string_view box) const override {
    RECT format{};
    ::SendMessageW(Handle(box), EM_GETRECT, 0, reinterpret_cast<LPARAM>(&format));
    return format.bottom;
  }
  std::string Clipboard() const override {
    std::string text;
    if (!::OpenClipboard(form_.window())) return text;
    if (const HANDLE data = ::GetClipboardData(CF_UNICODETEXT)) {
      if (const auto* wide = static_cast<const wchar_t*>(::GlobalLock(data))) {
        text = Utf8FromWide(wide);
        ::GlobalUnlock(data);
      }
    }
    ::CloseClipboard();
    return text;
  }

  void ResizeWindow(int width, int height) override {
    ::SetWindowPos(form_.window(), nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
    Pump();
  }
  void SetFocus(std::string_view control) override {
    ::SetFocus(Handle(control));
    Pump();
  }
  void Press(Key key, bool shift) override {
    static const std::map<Key, UINT> keys = {
        {Key::kTab, VK_TAB},
        {Key::kReturn, VK_RETURN},
        {Key::kSpace, VK_SPACE},
        {Key::kDelete, VK_DELETE},
        {Key::kLeft, VK_LEFT},
        {Key::kRight, VK_RIGHT},
        {Key::kUp, VK_UP},
        {Key::kDown, VK_DOWN},
        {Key::kHome, VK_HOME},
        {Key::kEnd, VK_END},
        {Key::kPageUp, VK_PRIOR},
        {Key::kPageDown, VK_NEXT},
        {Key::kDocumentStart, VK_HOME},
        {Key::kDocumentEnd, VK_END},
    };
    if (key == Key::kBackspace) {
      // The EDIT control erases on the character Backspace makes.
      Type("\b");
      return;
    }
    const bool control = key == Key::kDocumentStart || key == Key::kDocumentEnd;
    BYTE state[256] = {};
    state[VK_SHIFT] = shift ? 0x80 : 0;
    state[VK_CONTROL] = control ? 0x80 : 0;
    ::SetKeyboardState(state);
    ::PostMessageW(::GetFocus(), WM_KEYDOWN, keys.at(key), 1);
    ::PostMessageW(::GetFocus(), WM_KEYUP, keys.at(key), 0xC0000001);
    Pump();
    state[VK_SHIFT] = 0;
    state[VK_CONTROL] = 0;
    ::SetKeyboardState(state);
  }
  void Type(std::string_view text) override {
    for (wchar_t c : WideText(text)) ::PostMessageW(::GetFocus(), WM_CHAR, c, 1);
    Pump();
  }
  void Run(Command command) override {
    const HWND box = ::GetFocus();
    switch (command) {
      case Command::kSelectAll:
        ::SendMessageW(box, EM_SETSEL, 0, -1);
        break;
      case Command::kCut:
        ::SendMessageW(box, WM_CUT, 0, 0);
        break;
      case Command::kCopy:
        ::SendMessageW(box, WM_COPY, 0, 0);
        break;
      case Command::kPaste:
        ::SendMessageW(box, WM_PASTE, 0, 0);
        break;
      case Command::kUndo:
      case Command::kRedo:  // an EDIT control's undo undoes itself
        ::SendMessageW(box, WM_UNDO, 0, 0);
        break;
    }
    Pump();
  }
  void Select(std::string_view box, int start, int end) override {
    ::SendMessageW(Handle(box), EM_SETSEL, static_cast<WPARAM>(start), end);
  }
  void Click(std::string_view control, int x, int y) override {
    const HWND handle = Handle(control);
    const LPARAM at = Point(handle, x, y);
    ::PostMessageW(handle, WM_LBUTTONDOWN, MK_LBUTTON, at);
    ::PostMessageW(handle, WM_LBUTTONUP, 0, at);
    Pump();
  }
  void DoubleClick(std::string_view control, int x, int y) override {
    const HWND handle = Handle(control);
    const LPARAM at = Point(handle, x, y);
    ::PostMessageW(handle, WM_LBUTTONDOWN, MK_LBUTTON, at);
    ::PostMessageW(handle, WM_LBUTTONUP, 0, at);
    ::PostMessageW(handle, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    ::PostMessageW(handle, WM_LBUTTONUP, 0, at);
    Pump();
  }
  void Drag(std::string_view control, int from_x, int from_y, int to_x, int to_y) override {
    const HWND handle = Handle(control);
    ::PostMessageW(handle, WM_LBUTTONDOWN, MK_LBUTTON, Point(handle, from_x, from_y));
    ::PostMessageW(handle, WM_MOUSEMOVE, MK_LBUTTON, Point(handle, to_x, to_y));
    ::PostMessageW(handle, WM_LBUTTONUP, 0, Point(handle, to_x, to_y));
    Pump();
  }
  bool Close() override {
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 5000, QuitLate);
    ::PostMessageW(form_.window(), WM_CLOSE, 0, 0);
    const int status = RunMessageLoop(form_);
    ::KillTimer(nullptr, timer);
    return status == 0 && form_.window() == nullptr;
  }

  std::unique_ptr<User> BoxUser(User& console) override {
    return std::make_unique<Win32User>(console, kProgramTitle, form_.window());
  }
  BoxSeen WithMessageBox(const std::function<void()>& show) override {
    const Win32BoxSeen box = LookAtMessageBox(form_.window(), show);
    BoxSeen seen;
    seen.seen = box.seen;
    seen.title = Utf8FromWide(box.title);
    seen.icon = box.icon;
    seen.form_usable = box.form_enabled;
    for (const std::wstring& text : box.texts) {
      if (std::find(box.buttons.begin(), box.buttons.end(), text) == box.buttons.end()) {
        seen.text += Utf8FromWide(text);
      }
    }
    for (const std::wstring& button : box.buttons) seen.buttons.push_back(Utf8FromWide(button));
    return seen;
  }

 private:
  // Handles what is queued as the program's message loop would.
  void Pump() {
    MSG message{};
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message != WM_QUIT) form_.Dispatch(message);
    }
  }
  HWND Handle(std::string_view control) const {
    if (control == "Form1") return form_.window();
    const HWND handle = form_.control(control);
    if (handle == nullptr) throw std::invalid_argument("no control " + std::string(control));
    return handle;
  }
  HFONT Font(std::string_view control) const {
    return reinterpret_cast<HFONT>(::SendMessageW(Handle(control), WM_GETFONT, 0, 0));
  }
  // (x, y) in the client area of `window`, its middle when x < 0.
  static LPARAM Point(HWND window, int x, int y) {
    if (x < 0) {
      RECT rect{};
      ::GetClientRect(window, &rect);
      x = rect.right / 2;
      y = rect.bottom / 2;
    }
    return MAKELPARAM(x, y);
  }
  int LineHeight(std::string_view control) const {
    const HWND handle = Handle(control);
    const HDC dc = ::GetDC(handle);
    const HGDIOBJ previous = ::SelectObject(dc, Font(control));
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(dc, &metrics);
    ::SelectObject(dc, previous);
    ::ReleaseDC(handle, dc);
    return metrics.tmHeight;
  }
  // A font narrowed by its width in percent of the face's natural width.
  static int StretchOf(const LOGFONTW& font) {
    if (font.lfWidth == 0) return 100;
    LOGFONTW natural = font;
    natural.lfWidth = 0;
    const HFONT created = ::CreateFontIndirectW(&natural);
    const HDC screen = ::GetDC(nullptr);
    const HGDIOBJ previous = ::SelectObject(screen, created);
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(screen, &metrics);
    ::SelectObject(screen, previous);
    ::ReleaseDC(nullptr, screen);
    ::DeleteObject(created);
    return metrics.tmAveCharWidth == 0 ? 100 : font.lfWidth * 100 / metrics.tmAveCharWidth;
  }

  Win32Form form_;
};

}  // namespace

std::vector<int> TestDpis() { return {96, 120}; }

std::unique_ptr<FormDriver> MakeFormDriver(const FormDescription& form, int dpi) {
  return std::make_unique<Win32FormDriver>(form, dpi);
}

}  // namespace corvane::testing
