#include "gui/tab_order.h"

#include <algorithm>

namespace corvane {

std::vector<const ControlDescription*> InTabOrder(const FormDescription& form) {
  std::vector<const ControlDescription*> in_tab_order;
  in_tab_order.reserve(form.controls.size());
  for (const ControlDescription& description : form.controls) {
    in_tab_order.push_back(&description);
  }
  std::stable_sort(in_tab_order.begin(), in_tab_order.end(),
                   [](const auto* a, const auto* b) { return a->tab_index < b->tab_index; });
  return in_tab_order;
}

bool TakesFocus(ControlKind kind) { return kind != ControlKind::kLabel; }

}  // namespace corvane
