#include "app/tab_order.h"

#include <algorithm>

#include "app/form.h"

namespace {

void Visit(std::u16string_view parent, std::vector<std::u16string_view>& sequence) {
  std::vector<const form::ControlSpec*> children;
  for (const form::ControlSpec& control : form::kControls) {
    if (control.parent == parent && control.tabOrder != form::kNoTabStop) {
      children.push_back(&control);
    }
  }
  std::stable_sort(children.begin(), children.end(),
                   [](const auto* a, const auto* b) { return a->tabOrder < b->tabOrder; });
  for (const form::ControlSpec* child : children) {
    if (child->kind == form::ControlKind::Panel) {
      Visit(child->name, sequence);
    } else {
      sequence.push_back(child->name);
    }
  }
}

}  // namespace

std::vector<std::u16string_view> TabSequence() {
  std::vector<std::u16string_view> sequence;
  Visit(form::kWindowName, sequence);
  return sequence;
}
