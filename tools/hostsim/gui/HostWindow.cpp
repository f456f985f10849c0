#include "gui/HostWindow.h"

#include <cstdio>
#include <cstdlib>

#include "core/Journal.h"
#include "gui/Gui.h"

namespace hostsim {

namespace {

std::string text(const char* s) {
  return s ? s : "";
}

}  // namespace

HostWindow::HostWindow(Gui& gui, std::shared_ptr<WindowState> state)
    : gui_(gui), state_(std::move(state)) {
  state_->attach(this);
}

HostWindow::~HostWindow() {
  if (!state_->detach(std::chrono::seconds(10)))
    gui_.journal().hostError("window " + state_->file() +
                             " destroyed while the host was still calling it back");
}

void HostWindow::problem(const std::string& text) {
  state_->addProblem(text);
  gui_.journal().hostError(text);
}

bool HostWindow::Show() {
  return gui_.show(state_);
}

bool HostWindow::Close() {
  state_->close(CloseReason::ByAddon);
  return true;
}

bool HostWindow::DoModal() {
  // The add-on may destroy this object from one of its callbacks: only the
  // shared state is used from here on.
  std::shared_ptr<WindowState> state = state_;
  return gui_.runModal(state);
}

bool HostWindow::SetFocusId(int controlId) {
  if (state_->setFocus(controlId)) return true;
  problem("SetFocusId: " + state_->file() + " has no control " + std::to_string(controlId));
  return false;
}

int HostWindow::GetFocusId() {
  return state_->focus();
}

void HostWindow::SetProperty(const char* key, const char* value) {
  state_->setProperty(text(key), text(value));
}

void HostWindow::SetPropertyInt(const char* key, int value) {
  state_->setProperty(text(key), std::to_string(value));
}

void HostWindow::SetPropertyBool(const char* key, bool value) {
  state_->setProperty(text(key), value ? "true" : "false");
}

void HostWindow::SetPropertyDouble(const char* key, double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.6f", value);
  state_->setProperty(text(key), buffer);
}

const char* HostWindow::GetProperty(const char* key) const {
  return state_->propertyText(text(key));
}

int HostWindow::GetPropertyInt(const char* key) const {
  return static_cast<int>(std::strtol(state_->propertyText(text(key)), nullptr, 10));
}

bool HostWindow::GetPropertyBool(const char* key) const {
  std::string v = state_->propertyText(text(key));
  return v == "true" || v == "1";
}

double HostWindow::GetPropertyDouble(const char* key) const {
  return std::strtod(state_->propertyText(text(key)), nullptr);
}

void HostWindow::ClearProperties() {
  state_->clearProperties();
}

int HostWindow::GetListSize() {
  return static_cast<int>(state_->listSize());
}

void HostWindow::ClearList() {
  state_->clearList();
}

HostListItem* HostWindow::addShared(const std::shared_ptr<ListItemData>& data, int position) {
  HostListItem* view = state_->addItem(data, position);
  gui_.registry().add(view, static_cast<CAddonListItem*>(view), GuiObjectKind::WindowListItem);
  return view;
}

GUIHANDLE HostWindow::AddStringItem(const char* name, int itemPosition) {
  auto data = std::make_shared<ListItemData>();
  data->set(&ListItemRecord::label, name);
  return static_cast<CAddonListItem*>(addShared(data, itemPosition));
}

void HostWindow::AddItem(GUIHANDLE item, int itemPosition) {
  AddItem(static_cast<CAddonListItem*>(item), itemPosition);
}

void HostWindow::AddItem(CAddonListItem* item, int itemPosition) {
  if (!gui_.registry().contains(item, GuiObjectKind::ListItem) &&
      !gui_.registry().contains(item, GuiObjectKind::WindowListItem)) {
    problem("AddItem on " + state_->file() + " with an item the host did not create");
    return;
  }
  addShared(static_cast<HostListItem*>(item)->data(), itemPosition);
}

void HostWindow::RemoveItem(int itemPosition) {
  state_->removeItem(itemPosition);
}

GUIHANDLE HostWindow::GetListItem(int listPos) {
  HostListItem* view = state_->item(listPos);
  return view ? static_cast<CAddonListItem*>(view) : nullptr;
}

void HostWindow::SetCurrentListPosition(int listPos) {
  state_->setListPosition(listPos);
}

int HostWindow::GetCurrentListPosition() {
  return state_->listPosition();
}

void HostWindow::SetControlLabel(int controlId, const char* label) {
  if (!state_->setLabel(controlId, text(label)))
    problem("SetControlLabel: " + state_->file() + " has no control " + std::to_string(controlId));
}

}  // namespace hostsim
