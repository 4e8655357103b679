// The Win32 form, in this order: the creation calls' table; helpers for
// texts, the window class and the common controls; the window's owner
// (WindowDeleter); building the form; showing it and handing messages on;
// the text boxes' content; the window procedure and the dialog-manager and
// accessibility messages it answers; blanks at the ends of a text box's
// lines; the message loop.
#include "gui/win32/win32_form.h"

// clang-format off
#include "platform/windows/windows_api.h"
#include <commctrl.h>
// clang-format on

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>

#include "gui/tab_order.h"
#include "gui/win32/accessible_object.h"
#include "gui/win32/creation_calls.h"
#include "gui/win32/font_fallback.h"
#include "platform/windows/utf16.h"
#include "platform/windows/windows_error.h"

namespace corvane {

namespace win32 {
constinit CreationCalls creation_calls;
}  // namespace win32

namespace {

// The first control's identifier: clear of IDOK and IDCANCEL, which the
// dialog manager sends for Return and Escape.
constexpr int kFirstControlId = 100;

// Pixels between a text box's frame and its text.
constexpr int kTextBoxMargin = 2;

// A text as an EDIT control holds it: every line ends in CR LF.
std::wstring ControlText(std::string_view text) {
  const std::wstring wide = WideText(text);
  std::wstring result;
  result.reserve(wide.size());
  for (std::size_t i = 0; i < wide.size(); ++i) {
    if (wide[i] == L'\n' && (i == 0 || wide[i - 1] != L'\r')) result += L'\r';
    result += wide[i];
  }
  return result;
}

std::wstring WindowText(HWND window) {
  std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(
      ::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

void RegisterFormClass(HINSTANCE instance, WNDPROC procedure) {
  WNDCLASSEXW form_class{};
  if (::GetClassInfoExW(instance, kFormClassName, &form_class)) return;
  form_class.cbSize = sizeof form_class;
  form_class.lpfnWndProc = procedure;
  form_class.hInstance = instance;
  // The program's icon (resource 1), when the program carries one.
  form_class.hIcon = ::LoadIconW(instance, MAKEINTRESOURCEW(1));
  form_class.hIconSm = static_cast<HICON>(
      ::LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON, ::GetSystemMetrics(SM_CXSMICON),
                   ::GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
  form_class.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  form_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  form_class.lpszClassName = kFormClassName;
  if (!::RegisterClassExW(&form_class)) {
    throw WindowsError(::GetLastError(), "cannot register the window class", "");
  }
}

// The window classes of the controls come from the common controls 6 that
// the program's manifest asks for, in the system's visual style. False when
// they could not be loaded.
bool InitCommonControlsOnce() {
  static const bool done = [] {
    INITCOMMONCONTROLSEX controls{.dwSize = sizeof(INITCOMMONCONTROLSEX),
                                  .dwICC = ICC_STANDARD_CLASSES};
    return ::InitCommonControlsEx(&controls) != FALSE;
  }();
  return done;
}

}  // namespace

int ScreenDpi() {
  const HDC screen = ::GetDC(nullptr);
  const int dpi = screen != nullptr ? ::GetDeviceCaps(screen, LOGPIXELSY) : 0;
  if (screen != nullptr) ::ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

void WindowDeleter::operator()(HWND window) const {
  // Detached first: the window's last messages do not reach a form that is
  // going, and its end posts no WM_QUIT.
  ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
  ::DestroyWindow(window);
}

Win32Form::Win32Form(const FormDescription& form, int dpi)
    : accessible_description_(WideText(form.accessible_description)), dpi_(dpi) {
  if (!InitCommonControlsOnce()) {
    throw WindowsError(ERROR_DLL_INIT_FAILED, "cannot load the common controls", "comctl32.dll");
  }
  const HINSTANCE instance = ::GetModuleHandleW(nullptr);
  RegisterFormClass(instance, &Win32Form::Procedure);
  const auto pixels = [dpi](int twips) { return TwipsToPixels(twips, dpi); };

  constexpr DWORD kStyle = WS_OVERLAPPEDWINDOW;
  RECT frame{0, 0, pixels(form.client_width), pixels(form.client_height)};
  ::AdjustWindowRectEx(&frame, kStyle, FALSE, 0);
  // WM_NCCREATE hands the window to window_, before anything else can fail.
  win32::creation_calls.create_window(0, kFormClassName, WideText(form.title).c_str(), kStyle,
                                      CW_USEDEFAULT, CW_USEDEFAULT, frame.right - frame.left,
                                      frame.bottom - frame.top, nullptr, nullptr, instance, this);
  if (window_ == nullptr) throw WindowsError(::GetLastError(), "cannot create window", form.name);

  const std::vector<const ControlDescription*> in_tab_order = InTabOrder(form);
  const FontDescription form_font = form.font.value_or(DialogFont());
  controls_.reserve(in_tab_order.size());
  fonts_.reserve(in_tab_order.size());
  int id = kFirstControlId;
  // Created in tab order: the dialog manager moves the focus in the order
  // of creation.
  for (const ControlDescription* description : in_tab_order) {
    const std::wstring text = ControlText(description->text);
    DWORD style = WS_CHILD | (description->visible ? WS_VISIBLE : 0);
    DWORD extended_style = 0;
    const wchar_t* control_class = L"STATIC";
    switch (description->kind) {
      case ControlKind::kLabel:
        // Reports clicks; plain text that is never wrapped; no focus.
        style |= SS_LEFTNOWORDWRAP | SS_NOPREFIX | SS_NOTIFY;
        break;
      case ControlKind::kPushButton:
        control_class = L"BUTTON";
        style |= WS_TABSTOP | BS_PUSHBUTTON;
        break;
      case ControlKind::kTextBox:
        control_class = L"EDIT";
        // Wraps at its width (no ES_AUTOHSCROLL), without scroll bars;
        // Return starts a line. ES_AUTOVSCROLL lets an edit grow past the
        // bottom, which the box would otherwise refuse.
        style |= WS_TABSTOP | ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL;
        extended_style = WS_EX_CLIENTEDGE;
        break;
    }
    // A child of the window from here on, and destroyed with it.
    const HWND handle = win32::creation_calls.create_window(
        extended_style, control_class, text.c_str(), style, pixels(description->left),
        pixels(description->top), pixels(description->width), pixels(description->height),
        window_.get(), reinterpret_cast<HMENU>(static_cast<std::intptr_t>(id++)), instance,
        nullptr);
    if (handle == nullptr) {
      throw WindowsError(::GetLastError(), "cannot create control", description->name);
    }
    // A control named by its description, not by the label before it; a
    // hidden one never focusable.
    if (!description->accessible_name.empty() || !description->visible) {
      AnswerForControl(handle, {.name = WideText(description->accessible_name)});
    }
    RECT client{};
    ::GetClientRect(handle, &client);
    SIZE room{client.right, client.bottom};
    if (description->kind == ControlKind::kTextBox) room.cx -= 2 * kTextBoxMargin;
    fonts_.push_back(ResolveFont(description->font.value_or(form_font), text, room, dpi));
    ::SendMessageW(handle, WM_SETFONT, reinterpret_cast<WPARAM>(fonts_.back().get()), FALSE);
    if (description->kind == ControlKind::kTextBox) {
      // After WM_SETFONT, which sets the margins from the font.
      ::SendMessageW(handle, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN,
                     MAKELPARAM(kTextBoxMargin, kTextBoxMargin));
    }
    RECT format{};
    ::SendMessageW(handle, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&format));
    // Filling the box was no change: only what differs from this is.
    controls_.push_back(Control{description->name, description->kind, handle,
                                TextBoxContent<std::wstring>(text), format});
    if (description->kind == ControlKind::kTextBox) LetBlanksHang(controls_.back());
  }
}

Win32Form::~Win32Form() {
  // Taking the window down reports nothing (WindowDeleter detaches it) and
  // ends no message loop; the fonts go after the controls that use them.
  events_ = nullptr;
}

void Win32Form::Show() {
  HWND first = nullptr;
  for (const Control& control : controls_) {
    const LONG_PTR style = ::GetWindowLongPtrW(control.handle, GWL_STYLE);
    if ((style & WS_TABSTOP) != 0 && (style & WS_VISIBLE) != 0 && (style & WS_DISABLED) == 0) {
      first = control.handle;
      break;
    }
  }
  // Activating the window hands the focus to this control.
  last_focus_ = first;
  ::ShowWindow(window_.get(), SW_SHOWNORMAL);
  ::UpdateWindow(window_.get());
  if (first != nullptr) ::SetFocus(first);
}

void Win32Form::Dispatch(MSG& message) {
  if (window_ != nullptr && ::IsDialogMessageW(window_.get(), &message)) return;
  ::TranslateMessage(&message);
  ::DispatchMessageW(&message);
}

HWND Win32Form::control(std::string_view name) const {
  for (const Control& control : controls_) {
    if (control.name == name) return control.handle;
  }
  return nullptr;
}

void Win32Form::SetText(std::string_view name, std::string_view text) {
  Control* box = Find(control(name));
  if (box == nullptr || box->kind != ControlKind::kTextBox) return;
  const std::wstring content = ControlText(text);
  if (!TextBoxContent<std::wstring>::IsChange(WindowText(box->handle), content)) return;
  ::SetWindowTextW(box->handle, content.c_str());
  // A multi-line EDIT control reports no change of its own for this.
  TextBoxEdited(*box);
}

std::string Win32Form::Text(std::string_view name) const {
  const HWND handle = control(name);
  return handle == nullptr ? std::string() : Utf8FromWide(WindowText(handle));
}

LRESULT CALLBACK Win32Form::Procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_NCCREATE) {
    auto* form = static_cast<Win32Form*>(reinterpret_cast<CREATESTRUCTW*>(l)->lpCreateParams);
    form->window_.reset(window);
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
  }
  auto* form = reinterpret_cast<Win32Form*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (form == nullptr) return ::DefWindowProcW(window, message, w, l);
  if (message == WM_NCDESTROY) {
    ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    static_cast<void>(form->window_.release());  // gone already
    return ::DefWindowProcW(window, message, w, l);
  }
  return form->Handle(message, w, l);
}

LRESULT Win32Form::Handle(UINT message, WPARAM w, LPARAM l) {
  switch (message) {
    case WM_COMMAND: {
      Control* control = Find(reinterpret_cast<HWND>(l));
      if (control == nullptr) break;
      if (control->kind == ControlKind::kTextBox) {
        if (HIWORD(w) == EN_CHANGE) TextBoxEdited(*control);
      } else if (HIWORD(w) == BN_CLICKED) {  // STN_CLICKED for a label
        Deliver(control->name, FormEvent::kClick);
      }
      return 0;
    }
    case DM_GETDEFID: {
      // Return presses the button that has the focus, as in a dialog box.
      const Control* focused = Find(::GetFocus());
      if (focused != nullptr && focused->kind == ControlKind::kPushButton) {
        return MAKELRESULT(::GetDlgCtrlID(focused->handle), DC_HASDEFID);
      }
      return 0;
    }
    case WM_NEXTDLGCTL:
      // A multi-line box asks for this on Tab and Shift+Tab.
      MoveFocus(LOWORD(l) != 0 ? reinterpret_cast<HWND>(w)
                               : ::GetNextDlgTabItem(window_.get(), ::GetFocus(), w != 0));
      return 0;
    case WM_GETOBJECT:
      // The window's description, for screen readers.
      if (const LRESULT answer =
              AnswerGetObject(window_.get(), w, l, {.description = accessible_description_});
          answer > 0) {
        return answer;
      }
      break;
    case WM_ACTIVATE:
      if (LOWORD(w) == WA_INACTIVE) {
        const HWND focus = ::GetFocus();
        if (focus != nullptr && ::IsChild(window_.get(), focus)) last_focus_ = focus;
      }
      break;
    case WM_SETFOCUS:
      // Back to the control that had the focus.
      if (last_focus_ != nullptr && ::IsWindow(last_focus_)) {
        ::SetFocus(last_focus_);
        return 0;
      }
      break;
    case WM_DESTROY:
      // Closed by the user: the form that is taken down is detached first.
      ::PostQuitMessage(0);
      break;
    default:
      break;
  }
  return ::DefWindowProcW(window_.get(), message, w, l);
}

Win32Form::Control* Win32Form::Find(HWND handle) {
  if (handle == nullptr) return nullptr;
  for (Control& control : controls_) {
    if (control.handle == handle) return &control;
  }
  return nullptr;
}

void Win32Form::MoveFocus(HWND to) {
  if (to == nullptr) return;
  // Like the dialog manager: a box reached by the keyboard has its text
  // selected.
  if ((::SendMessageW(to, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) != 0) {
    ::SendMessageW(to, EM_SETSEL, 0, -1);
  }
  ::SetFocus(to);
}

void Win32Form::Deliver(const std::string& control, FormEvent event) {
  if (events_ != nullptr) events_->Handle(control, event);
}

void Win32Form::TextBoxEdited(Control& control) {
  if (!control.content.Changed(WindowText(control.handle))) return;
  LetBlanksHang(control);
  Deliver(control.name, FormEvent::kChange);
}

void Win32Form::LetBlanksHang(const Control& box) {
  // How far the blanks at the end of a line run past the right edge, on the
  // lines whose words fit.
  const std::wstring content = WindowText(box.handle);
  const LONG room = box.format.right - box.format.left;
  LONG overhang = 0;
  const HDC dc = ::GetDC(box.handle);
  const HGDIOBJ previous =
      ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageW(box.handle, WM_GETFONT, 0, 0)));
  for (std::wstring_view line : LinesOf(content)) {
    const std::size_t words = line.find_last_not_of(L' ') + 1;  // 0 for a line of blanks
    if (words == line.size()) continue;
    SIZE words_size{};
    SIZE line_size{};
    ::GetTextExtentPoint32W(dc, line.data(), static_cast<int>(words), &words_size);
    ::GetTextExtentPoint32W(dc, line.data(), static_cast<int>(line.size()), &line_size);
    if (words_size.cx <= room) overhang = std::max(overhang, line_size.cx - room);
  }
  ::SelectObject(dc, previous);
  ::ReleaseDC(box.handle, dc);

  // Some EDIT controls (wine's) wrap such blanks onto lines of their own,
  // which pushes the last lines out of the box: its formatting rectangle
  // reaches past its right edge by as much as they need, no further, so
  // that text without them wraps at the edge. The control may inset the
  // rectangle it is given; what it makes of it is corrected once.
  RECT wanted = box.format;
  wanted.right += overhang;
  RECT given = wanted;
  for (int attempt = 0; attempt < 2; ++attempt) {
    ::SendMessageW(box.handle, EM_SETRECT, 0, reinterpret_cast<LPARAM>(&given));
    RECT made{};
    ::SendMessageW(box.handle, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&made));
    if (::EqualRect(&made, &wanted)) break;
    given.left += wanted.left - made.left;
    given.top += wanted.top - made.top;
    given.right += wanted.right - made.right;
    given.bottom += wanted.bottom - made.bottom;
  }
}

int RunMessageLoop(Win32Form& form) {
  MSG message{};
  for (;;) {
    const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
    if (got == 0) return static_cast<int>(message.wParam);
    if (got == -1) return 1;
    form.Dispatch(message);
  }
}

}  // namespace corvane
