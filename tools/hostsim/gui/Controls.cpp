#include "gui/Controls.h"

namespace hostsim {

void HostSpin::SetVisible(bool visible) {
  state_->spinUpdate(id_, [&](SpinRecord& s) { s.visible = visible; });
}

void HostSpin::SetText(const char* label) {
  std::string text = label ? label : "";
  state_->spinUpdate(id_, [&](SpinRecord& s) { s.text = text; });
}

void HostSpin::Clear() {
  state_->spinUpdate(id_, [](SpinRecord& s) {
    s.entries.clear();
    s.value = 0;
  });
}

void HostSpin::AddLabel(const char* label, int value) {
  std::string text = label ? label : "";
  state_->spinUpdate(id_, [&](SpinRecord& s) {
    // The first choice is the one shown until the add-on picks one.
    if (s.entries.empty()) s.value = value;
    s.entries.emplace_back(text, value);
  });
}

int HostSpin::GetValue() {
  return state_->spin(id_).value;
}

void HostSpin::SetValue(int value) {
  state_->spinUpdate(id_, [&](SpinRecord& s) { s.value = value; });
}

void HostRadio::SetVisible(bool visible) {
  state_->radioUpdate(id_, [&](RadioRecord& r) { r.visible = visible; });
}

void HostRadio::SetText(const char* label) {
  std::string text = label ? label : "";
  state_->radioUpdate(id_, [&](RadioRecord& r) { r.text = text; });
}

void HostRadio::SetSelected(bool selected) {
  state_->radioUpdate(id_, [&](RadioRecord& r) { r.selected = selected; });
}

bool HostRadio::IsSelected() {
  return state_->radio(id_).selected;
}

}  // namespace hostsim
