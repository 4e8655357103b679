// What screen readers meet of a form on Qt beyond what each widget says of
// itself: the window as a window, listing none of its hidden controls, and
// the label that heads it as a heading.
//
// Qt gives a plain top-level widget the role of a filler, lists every child
// widget, shown or hidden (and a hidden button as focusable), and a label
// only ever the role of static text. The accessible interfaces built here
// take the place of Qt's own for the widgets marked by these calls.
#pragma once

class QLabel;
class QWidget;

namespace corvane {

// `window`, a form's top-level widget, is a window whose accessible
// children are the controls not hidden.
void ExposeAsFormWindow(QWidget& window);

// `label` is a heading, named by its text.
void ExposeAsHeading(QLabel& label);

}  // namespace corvane
