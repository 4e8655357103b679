// A window described as data, as the window engine builds it.
//
// A form is a top-level window of a fixed client size holding controls at
// fixed places; every position and size is in twips, 1440 to the inch, so
// the engine turns them into pixels at the screen's resolution. The form
// does not lay itself out: resizing the window moves and resizes nothing.
//
// What a screen reader says of the form and its controls is part of the
// description too: a name for a control whose caption or neighbours do not
// say what it is, the window's purpose, and which label heads the form.
//
// The engine reports what the user does to the controls through
// `FormEvents` and lets the program change a control through
// `FormControls`. Nothing here depends on a toolkit; each engine has a folder
// of its own beside this file (qt/ on Qt Widgets).
#pragma once

#include <cmath>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

inline constexpr int kTwipsPerInch = 1440;

// Pixels for `twips` at `dpi` dots per inch, to the nearest pixel:
// 4776 twips are 318 pixels at 96 dpi and 398 at 120.
inline int TwipsToPixels(int twips, double dpi) {
  return static_cast<int>(std::lround(twips * dpi / kTwipsPerInch));
}

enum class ControlKind {
  // Text on the form's background, left-aligned, without a border, never
  // taking the keyboard focus.
  kLabel,
  // A standard push button with a caption.
  kPushButton,
  // An editable box of plain text over several lines that wraps long lines
  // at its width and has no scroll bars.
  kTextBox,
};

struct FontDescription {
  std::string face;       // "MS Sans Serif"; the engine substitutes a face it has
  double point_size = 0;  // 13.8
  int weight = 400;       // 400 normal, 700 bold
  bool italic = false;
  bool underline = false;
  bool strike_out = false;
};

struct ControlDescription {
  std::string name;
  ControlKind kind = ControlKind::kLabel;
  // Order of the keyboard focus among the controls that can take it.
  int tab_index = 0;
  int left = 0;  // twips from the client area's left edge
  int top = 0;   // twips from the client area's top edge
  int width = 0;
  int height = 0;
  // The caption of a label or button, the content of a text box (UTF-8).
  std::string text;
  // The form's font when empty.
  std::optional<FontDescription> font = std::nullopt;
  // A hidden control is shown to no one: neither on the screen nor to a
  // screen reader, and it takes no focus.
  bool visible = true;
  // What a screen reader calls the control; when empty, what the toolkit
  // makes of it (a caption, or for a text box whatever label it finds).
  std::string accessible_name = {};
  // A label that heads the form: announced as a heading where the toolkit
  // has that role.
  bool heading = false;
};

struct FormDescription {
  std::string name;
  std::string title;  // the title bar's text
  // What the window is for, in one sentence, as a screen reader tells it.
  std::string accessible_description;
  int client_width = 0;  // twips
  int client_height = 0;
  // The platform's default dialog font when empty.
  std::optional<FontDescription> font = std::nullopt;
  std::vector<ControlDescription> controls;
};

// What the user did to a control.
enum class FormEvent { kClick, kChange };

// Receives the events of a form's controls, one at a time, on the window's
// thread; each call runs to its end before the next event is delivered.
class FormEvents {
 public:
  virtual ~FormEvents() = default;
  virtual void Handle(std::string_view control, FormEvent event) = 0;
};

// What the program may change on a form while it runs.
class FormControls {
 public:
  virtual ~FormControls() = default;
  // Replaces the content of the text box `control` (UTF-8). Setting the
  // content it already has is no change and raises no event.
  virtual void SetText(std::string_view control, std::string_view text) = 0;
};

}  // namespace corvane
