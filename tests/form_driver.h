// Drives a form built by one window engine as a user would, for the Form1
// suite written once (form1_test.cc). Each engine's test program has one
// implementation: over QtForm with Qt Test (qt_form_driver.cc), over
// Win32Form with real messages under wine (win32_form_driver.cc).
//
// Controls are named as in the form's description; "Form1" is the window
// itself. Places and sizes are in pixels at the form's resolution.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "gui/form_description.h"
#include "platform/runtime.h"

namespace corvane::testing {

struct Place {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  friend bool operator==(const Place&, const Place&) = default;
};

enum class Key {
  kTab,
  kReturn,
  kSpace,
  kBackspace,
  kDelete,
  kLeft,
  kRight,
  kUp,
  kDown,
  kHome,
  kEnd,
  kPageUp,
  kPageDown,
  kDocumentStart,  // Ctrl+Home
  kDocumentEnd,    // Ctrl+End
};

// The edit commands of a text box's keys and menu.
enum class Command { kSelectAll, kCut, kCopy, kPaste, kUndo, kRedo };

// A control's font as the engine made it.
struct FontSeen {
  std::string face;
  int pixel_height = 0;  // the characters' height: the point size at the form's dpi
  int weight = 400;
  bool italic = false;
  int stretch = 100;  // percent of the face's natural width
};

// A line as a text box shows it, after wrapping, and how far down the box
// its bottom edge is (pixels from the top of the box's text area).
struct ShownLine {
  std::string text;
  int bottom = 0;
};

// What a message box showed before it was dismissed.
struct BoxSeen {
  bool seen = false;
  std::string title;
  std::string text;
  std::vector<std::string> buttons;
  bool icon = false;
  bool form_usable = true;  // whether the form took input meanwhile
};

class FormDriver {
 public:
  virtual ~FormDriver() = default;

  // What the program's handlers change; where the events go.
  virtual FormControls& controls() = 0;
  virtual void SetEvents(FormEvents* events) = 0;
  // Shows the form and waits until it is on the screen.
  virtual void Show() = 0;
  virtual int Dpi() const = 0;

  // --- reading ---
  virtual std::string Title() const = 0;
  virtual Place ClientPlace() const = 0;                      // the form's client area
  virtual Place PlaceOf(std::string_view control) const = 0;  // in the client area
  // A label's or button's caption, a text box's content (CR LF line ends).
  virtual std::string Text(std::string_view control) const = 0;
  virtual bool IsVisible(std::string_view control) const = 0;
  virtual FontSeen FontOf(std::string_view control) const = 0;
  // Width and height of one line of `text` in the control's font.
  virtual Place Extent(std::string_view control, std::string_view text) const = 0;
  // Width and height of the room the control has for its text.
  virtual Place TextRoom(std::string_view control) const = 0;
  virtual bool HasFace(std::string_view face) const = 0;
  // The control with the keyboard focus, "" when none of the form's has it.
  virtual std::string Focus() const = 0;
  // A text box's selection as character positions (start, end).
  virtual std::pair<int, int> Selection(std::string_view box) const = 0;
  virtual bool IsReadOnly(std::string_view box) const = 0;
  virtual bool HasScrollBars(std::string_view box) const = 0;
  // The lines as the box shows them, down to the last one with text.
  virtual std::vector<ShownLine> ShownLines(std::string_view box) const = 0;
  // The height of the box's text area.
  virtual int TextAreaHeight(std::string_view box) const = 0;
  // Why a box here breaks its lines otherwise than Windows does, or
  // nothing where it breaks them alike.
  virtual std::string WrapsUnlikeWindows() const { return {}; }
  virtual std::string Clipboard() const = 0;

  // --- acting ---
  virtual void ResizeWindow(int width, int height) = 0;
  virtual void SetFocus(std::string_view control) = 0;
  // A key pressed and released on the control with the focus.
  virtual void Press(Key key, bool shift = false) = 0;
  // Characters typed on the control with the focus.
  virtual void Type(std::string_view text) = 0;
  virtual void Run(Command command) = 0;
  virtual void Select(std::string_view box, int start, int end) = 0;
  // Mouse clicks at (x, y) in the control, its middle when x < 0.
  virtual void Click(std::string_view control, int x = -1, int y = -1) = 0;
  virtual void DoubleClick(std::string_view control, int x, int y) = 0;
  virtual void Drag(std::string_view control, int from_x, int from_y, int to_x, int to_y) = 0;
  // Closes the window as its close button does; true when it closed and
  // its event loop ended as it should.
  virtual bool Close() = 0;

  // --- message boxes ---
  // The window program's user, telling `console` each error too: its boxes
  // are owned by the form.
  virtual std::unique_ptr<User> BoxUser(User& console) = 0;
  // Runs `show`, which shows a modal message box, and notes what the box
  // showed before pressing its OK button.
  virtual BoxSeen WithMessageBox(const std::function<void()>& show) = 0;
};

// The resolutions this engine's test program builds the form at: the ones
// the layout is checked at, and the first, at which the rest runs.
std::vector<int> TestDpis();

// Builds `form` at `dpi` on this program's engine, hidden.
std::unique_ptr<FormDriver> MakeFormDriver(const FormDescription& form, int dpi);

// The program that the donation link starts on this system.
std::string UrlOpenerProgram();

}  // namespace corvane::testing
