#include "gui/Window.h"

#include <thread>

#include "core/Journal.h"

namespace hostsim {

bool Window::refuse(const std::string& step, const std::string& why) {
  std::string text = "[window " + file() + "] " + step + " not done: " + why;
  state_->addProblem(step + " not done: " + why);
  journal_.hostError(text.substr(0, 4096));
  return false;
}

bool Window::call(Callback which, int argument, const std::string& step) {
  if (!state_->isOpen()) return false;
  WindowState::Callbacks cb;
  if (!state_->enterCallback(cb)) return false;
  state_->setStep(step);
  bool result = false;
  switch (which) {
    case Callback::Init:
      result = cb.onInit ? cb.onInit(cb.handle) : true;
      break;
    case Callback::Focus:
      result = cb.onFocus ? cb.onFocus(cb.handle, argument) : true;
      break;
    case Callback::Click:
      result = cb.onClick ? cb.onClick(cb.handle, argument) : false;
      break;
    case Callback::Action:
      result = cb.onAction ? cb.onAction(cb.handle, argument) : false;
      break;
  }
  state_->leaveCallback();
  return result;
}

bool Window::click(int controlId) {
  std::string step = "click " + std::to_string(controlId);
  if (!state_->isOpen()) return refuse(step, "the window is closed");
  if (!state_->hasControl(controlId)) return refuse(step, "no such control in the window file");
  state_->setFocus(controlId);
  return call(Callback::Click, controlId, step);
}

bool Window::action(int actionId) {
  std::string step = "action " + std::to_string(actionId);
  if (!state_->isOpen()) return refuse(step, "the window is closed");
  return call(Callback::Action, actionId, step);
}

bool Window::focus(int controlId) {
  std::string step = "focus " + std::to_string(controlId);
  if (!state_->isOpen()) return refuse(step, "the window is closed");
  if (!state_->setFocus(controlId)) return refuse(step, "no such control in the window file");
  return call(Callback::Focus, controlId, step);
}

bool Window::setSpin(int controlId, int value) {
  std::string step = "set spin " + std::to_string(controlId) + " to " + std::to_string(value);
  if (!state_->isOpen()) return refuse(step, "the window is closed");
  SpinRecord spin = state_->spin(controlId);
  bool offered = false;
  for (const auto& e : spin.entries) offered = offered || e.second == value;
  if (!offered) return refuse(step, "the spin control offers no such value");
  state_->setStep(step);
  state_->spinUpdate(controlId, [&](SpinRecord& s) { s.value = value; });
  return true;
}

bool Window::setRadio(int controlId, bool selected) {
  std::string step = "set radio " + std::to_string(controlId) + (selected ? " on" : " off");
  if (!state_->isOpen()) return refuse(step, "the window is closed");
  if (!state_->hasControl(controlId)) return refuse(step, "no such control in the window file");
  state_->setStep(step);
  state_->radioUpdate(controlId, [&](RadioRecord& r) { r.selected = selected; });
  return true;
}

bool Window::select(int position) {
  std::string step = "select item " + std::to_string(position);
  if (!state_->isOpen()) return refuse(step, "the window is closed");
  if (position < 0 || position >= listSize()) return refuse(step, "no such list position");
  state_->setStep(step);
  state_->setListPosition(position);
  return true;
}

bool Window::selectLabel(const std::string& label) {
  std::string step = "select label " + label;
  if (!state_->isOpen()) return refuse(step, "the window is closed");
  const std::vector<ListItemRecord> shown = items();
  for (size_t i = 0; i < shown.size(); ++i) {
    if (shown[i].label != label) continue;
    state_->setStep(step);
    state_->setListPosition(static_cast<int>(i));
    return true;
  }
  return refuse(step, "no list item has that label");
}

WindowRecord Window::snapshot() {
  state_->setStep("snapshot");
  WindowRecord record = state_->snapshot();
  for (const std::string& line : record.describeNow()) journal_.print(line);
  if (keep_) keep_(record);
  return record;
}

void Window::wait(std::chrono::milliseconds duration) {
  // Short slices, so that a window closed meanwhile ends the wait.
  auto until = std::chrono::steady_clock::now() + duration;
  while (state_->isOpen() && std::chrono::steady_clock::now() < until)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

bool Window::play(const GuiStep& step) {
  using Op = GuiStep::Op;
  switch (step.op) {
    case Op::Click:
      return click(step.a);
    case Op::Action:
      return action(step.a);
    case Op::SetSpin:
      return setSpin(step.a, step.b);
    case Op::SetRadio:
      return setRadio(step.a, step.b != 0);
    case Op::Focus:
      return focus(step.a);
    case Op::Select:
      return select(step.a);
    case Op::SelectLabel:
      return selectLabel(step.label);
    case Op::Snapshot:
      snapshot();
      return true;
    case Op::Wait:
      wait(std::chrono::milliseconds(step.a));
      return true;
  }
  return false;
}

}  // namespace hostsim
