// Form1, the program's only window, as data: its title line, the help text,
// the GO button, the hidden Donate button and the copyright line.
#pragma once

#include <string>

#include "gui/form_description.h"

namespace corvane {

// The help text, the initial content of `TextBox`: twelve lines, each with
// its leading and trailing blanks and a CR LF after it.
const std::string& HelpText();

// The window and its controls, listed in tab order.
const FormDescription& Form1();

}  // namespace corvane
