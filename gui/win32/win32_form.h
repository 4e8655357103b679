// The window engine on the Win32 API alone: builds a form from its
// description (see form_description.h) out of the system's own controls and
// reports the clicks and changes of its controls.
//
// Twips become pixels at a given logical resolution (pixels = twips x dpi /
// 1440); the program passes the screen's, so the window has the same size in
// inches at 96 and at 120 dpi. Controls sit at fixed places and nothing
// handles WM_SIZE, so resizing the window moves and resizes nothing. Labels
// are STATIC controls, buttons BUTTON controls, text boxes multi-line EDIT
// controls; only buttons and text boxes take the focus, and Tab moves it in
// tab order through the dialog manager (`Dispatch`). A face the machine
// lacks is replaced by a plain sans-serif face of the same size and weight
// in which the control's text fits, by the rule the Qt engine follows too
// (font_fallback.h). Screen readers get the window's description, a
// control's name of its own and no focus on a hidden control
// (accessible_object.h); MSAA has no role of a heading.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "gui/form_description.h"
#include "gui/text_box_content.h"
#include "gui/win32/font_fallback.h"
#include "platform/windows/windows_api.h"

namespace corvane {

// The screen's logical resolution in dots per inch (LOGPIXELSY): what the
// user set, for a program that declares itself aware of it.
int ScreenDpi();

// The window class of every form.
inline constexpr wchar_t kFormClassName[] = L"Corvane2txtForm";

// Owns a form's window: detaches it from the form, then destroys it with its
// controls.
struct WindowDeleter {
  void operator()(HWND window) const;
};
using OwnedWindow = std::unique_ptr<std::remove_pointer_t<HWND>, WindowDeleter>;

class Win32Form final : public FormControls {
 public:
  // Builds the window and its controls at `dpi`, hidden. Every window and
  // font is owned from the moment it exists: when a step fails, this
  // throws and leaves none of them behind.
  Win32Form(const FormDescription& form, int dpi);
  ~Win32Form() override;
  Win32Form(const Win32Form&) = delete;
  Win32Form& operator=(const Win32Form&) = delete;

  // Where the events of the controls go from now on; nullptr drops them.
  void SetEvents(FormEvents* events) { events_ = events; }

  // Shows the window in its normal state, with the focus on the first
  // control in tab order that takes it.
  void Show();

  // Hands one message of the thread's queue on: the keys that move the
  // focus and press buttons go to the dialog manager, the rest is
  // translated and dispatched.
  void Dispatch(MSG& message);

  // Replaces a text box's content; CR LF and LF both end a line. Raises a
  // Change when the content differs from what the box held.
  void SetText(std::string_view control, std::string_view text) override;

  // A text box's content, with CR LF ending each line.
  std::string Text(std::string_view control) const;

  HWND window() const { return window_.get(); }
  // The control `name`, or nullptr.
  HWND control(std::string_view name) const;
  // The logical resolution the form was built at.
  int dpi() const { return dpi_; }

 private:
  struct Control {
    std::string name;
    ControlKind kind;
    HWND handle;  // a child of the window, which owns it
    TextBoxContent<std::wstring> content;
    // A text box's formatting rectangle as the control set it up.
    RECT format;
  };

  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM w, LPARAM l);
  LRESULT Handle(UINT message, WPARAM w, LPARAM l);
  Control* Find(HWND handle);
  void MoveFocus(HWND to);
  void Deliver(const std::string& control, FormEvent event);
  void TextBoxEdited(Control& control);
  void LetBlanksHang(const Control& box);

  // The fonts outlive the window and the controls that use them.
  std::vector<OwnedFont> fonts_;
  OwnedWindow window_;
  std::vector<Control> controls_;
  // What screen readers are told the window is for.
  std::wstring accessible_description_;
  // The control that had the focus when the window was last deactivated.
  HWND last_focus_ = nullptr;
  FormEvents* events_ = nullptr;
  int dpi_;
};

// Runs the thread's message loop for `form` until the window is closed;
// returns the exit code that WM_QUIT carries.
int RunMessageLoop(Win32Form& form);

}  // namespace corvane
