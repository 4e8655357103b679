// The window engine on Qt Widgets: builds a form from its description (see
// form_description.h) and reports the clicks and changes of its controls.
//
// Twips become pixels at the screen's logical resolution (pixels = twips x
// dpi / 1440), so the window has the same size in inches at 96 and at 120
// dpi. Controls sit at fixed places; the window has no layout, so resizing
// it moves and resizes nothing. A face the machine lacks is replaced by a
// plain sans-serif face of the same size and weight in which the control's
// caption fits. Forms and controls without a font of their own get the
// classic 8 point dialog font, which such forms are laid out for. Screen
// readers meet the window as a window with its description, the heading
// label as a heading and no hidden control (accessible_form.h).
#pragma once

#include <QFont>
#include <QObject>
#include <QSize>
#include <QString>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "gui/form_description.h"
#include "gui/text_box_content.h"

class QWidget;

namespace corvane {

// Creates the application object. Call it once, first: it has the toolkit
// scale windows only by whole factors, so that a screen of 120 dpi gives
// the window at 120 dpi, pixel for pixel, rather than a blurred 96 dpi
// window enlarged by 1.25.
std::unique_ptr<class QApplication> CreateApplication(int& argc, char** argv);

// The font for `font` in which every line of `text` fits into `room`
// pixels on `device` (a widget, for its resolution): the described face when
// the machine has it, otherwise the first of a list of plain sans-serif
// faces that is installed and fits, otherwise the first installed one whose
// lines are low enough, narrowed as little as needed for the text to fit
// (ChooseFace in gui/font_choice.h). Size and weight are always as
// described.
QFont ResolveFont(const FontDescription& font, const QString& text, QSize room,
                  const QWidget& device);

// A QObject only as the context of its widgets' connections: none outlives
// the form.
class QtForm final : public QObject, public FormControls {
 public:
  // Builds the window and its controls, hidden; the controls take the
  // resolution of the primary screen.
  explicit QtForm(const FormDescription& form);
  ~QtForm() override;
  QtForm(const QtForm&) = delete;
  QtForm& operator=(const QtForm&) = delete;

  // Where the events of the controls go from now on; nullptr drops them.
  void SetEvents(FormEvents* events) { events_ = events; }

  // Shows the window in its normal state, with the focus on the first
  // control in tab order that takes it.
  void Show();

  // Replaces a text box's content; CR LF and LF both end a line. Raises a
  // Change when the content differs from what the box held.
  void SetText(std::string_view control, std::string_view text) override;

  // A text box's content, with CR LF ending each line.
  std::string Text(std::string_view control) const;

  QWidget* window() const { return window_.get(); }
  // The control `name`, or nullptr.
  QWidget* control(std::string_view name) const;
  // The logical resolution the form was built at.
  double dpi_x() const { return dpi_x_; }
  double dpi_y() const { return dpi_y_; }

 private:
  void Deliver(const std::string& control, FormEvent event);
  void TextBoxEdited(const std::string& control);

  std::map<std::string, QWidget*, std::less<>> controls_;
  std::map<std::string, TextBoxContent<QString>, std::less<>> text_box_contents_;
  FormEvents* events_ = nullptr;
  double dpi_x_ = 96;
  double dpi_y_ = 96;
  // Last, so that it goes first: the widgets' signals find the rest intact.
  std::unique_ptr<QWidget> window_;
};

}  // namespace corvane
