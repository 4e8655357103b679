// The order in which the keyboard focus moves through a form's controls,
// as both window engines build it from the description.
#pragma once

#include <vector>

#include "gui/form_description.h"

namespace corvane {

// The controls of `form` by tab index, those with the same index in the
// order they are described. Engines create (Win32) or chain (Qt) the
// controls in this order, so Tab moves the focus along it.
std::vector<const ControlDescription*> InTabOrder(const FormDescription& form);

// Whether a control of `kind` takes the keyboard focus: buttons and text
// boxes do, labels never.
bool TakesFocus(ControlKind kind);

}  // namespace corvane
