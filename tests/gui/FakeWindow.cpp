#include "gui/FakeWindow.h"

#include <cstdlib>

#include "addon/GuiBinding.h"
#include "common/XMLNode.h"

namespace {

FakeGui* Self(void* cb) {
  return static_cast<FakeGui*>(cb);
}
FakeWindow* Window(CAddonGUIWindow* window) {
  return static_cast<FakeWindow*>(window);
}

std::string Text(const char* text) {
  return text == nullptr ? std::string() : text;
}

// Every <control id="N"> at any depth with its first <label>, as the host reads it.
void CollectControls(const XMLNode& node, std::map<int, FakeWindow::Control>& controls) {
  for (int i = 0; i < node.nChildNode(); ++i) {
    const XMLNode child = node.getChildNode(i);
    const char* id = child.getAttribute("id");
    char* end = nullptr;
    const long number = id == nullptr ? 0 : strtol(id, &end, 10);
    if (Text(child.getName()) == "control" && id != nullptr && *end == '\0') {
      FakeWindow::Control control{Text(child.getAttribute("type")),
                                  Text(child.getChildNode("label").getText())};
      controls.emplace(static_cast<int>(number), control);
    }
    CollectControls(child, controls);
  }
}

CAddonGUIWindow* CreateWindow(void*, void* cb, const char* file, const char* skin, bool fallback,
                              bool dialog) {
  return Self(cb)->Create(file, skin, fallback, dialog);
}
void DestroyWindow(CAddonGUIWindow* window) {
  Window(window)->destroyed = true;
}
CAddonGUISpinControl* GetSpin(void*, void*, CAddonGUIWindow* window, int id) {
  return Window(window)->Spin(id);
}
void ReleaseSpin(CAddonGUISpinControl* spin) {
  static_cast<FakeSpin*>(spin)->released = true;
}
CAddonGUIRadioButton* GetRadio(void*, void*, CAddonGUIWindow* window, int id) {
  return Window(window)->Radio(id);
}
void ReleaseRadio(CAddonGUIRadioButton* radio) {
  static_cast<FakeRadio*>(radio)->released = true;
}

}  // namespace

FakeWindow::FakeWindow(std::string fileName, std::map<int, Control> fileControls,
                       std::vector<UiEvent> events)
    : file(std::move(fileName)), controls(std::move(fileControls)), script(std::move(events)) {}

bool FakeWindow::Show() {
  open = true;
  return true;
}

bool FakeWindow::Close() {
  open = false;
  closed = true;
  return true;
}

// Plays the script until the window is closed or the script runs out, when a
// real host would go on waiting for the user.
bool FakeWindow::DoModal() {
  ++modalRuns;
  open = true;
  closed = false;
  answers.push_back(CBOnInit(m_cbhdl));
  for (const UiEvent& e : script) {
    if (!open) break;
    switch (e.kind) {
      case UiEvent::kClick:
        answers.push_back(CBOnClick(m_cbhdl, e.id));
        break;
      case UiEvent::kAction:
        answers.push_back(CBOnAction(m_cbhdl, e.id));
        break;
      case UiEvent::kFocus:
        answers.push_back(CBOnFocus(m_cbhdl, e.id));
        break;
      case UiEvent::kSpin:
        if (FakeSpin* spin = Spin(e.id)) spin->value = e.value;
        break;
      case UiEvent::kRadio:
        if (FakeRadio* radio = Radio(e.id)) radio->selected = e.value != 0;
        break;
    }
  }
  return true;
}

void FakeWindow::SetControlLabel(int controlId, const char* label) {
  labelsSet.push_back(controlId);
  controls[controlId].label = Text(label);
}

FakeSpin* FakeWindow::Spin(int id) {
  auto c = controls.find(id);
  if (c == controls.end() || c->second.type.find("spin") == std::string::npos) return nullptr;
  auto& spin = spins_[id];
  if (!spin) spin = std::make_unique<FakeSpin>();
  return spin.get();
}

FakeRadio* FakeWindow::Radio(int id) {
  auto c = controls.find(id);
  if (c == controls.end() || c->second.type != "radiobutton") return nullptr;
  auto& radio = radios_[id];
  if (!radio) radio = std::make_unique<FakeRadio>();
  return radio.get();
}

std::string FakeWindow::label(int id) const {
  auto c = controls.find(id);
  return c == controls.end() ? std::string() : c->second.label;
}

bool FakeWindow::labelWasSet(int id) const {
  for (int set : labelsSet)
    if (set == id) return true;
  return false;
}

FakeGui::FakeGui() {
  GUI->m_Callbacks = this;
  GUI->GUI_Window_create = CreateWindow;
  GUI->GUI_Window_destroy = DestroyWindow;
  GUI->GUI_control_get_spin = GetSpin;
  GUI->GUI_control_release_spin = ReleaseSpin;
  GUI->GUI_control_get_radiobutton = GetRadio;
  GUI->GUI_control_release_radiobutton = ReleaseRadio;
}

FakeGui::~FakeGui() {
  GUI->m_Callbacks = nullptr;
  GUI->GUI_Window_create = nullptr;
  GUI->GUI_Window_destroy = nullptr;
  GUI->GUI_control_get_spin = nullptr;
  GUI->GUI_control_release_spin = nullptr;
  GUI->GUI_control_get_radiobutton = nullptr;
  GUI->GUI_control_release_radiobutton = nullptr;
}

FakeWindow* FakeGui::Create(const char* file, const char* skin, bool fallback, bool dialog) {
  lastSkin = Text(skin);
  lastFallback = fallback;
  lastDialog = dialog;
  std::vector<UiEvent> events = std::move(next_);
  next_.clear();
  if (failNext_) {
    failNext_ = false;
    return nullptr;
  }
  const std::string path =
      std::string(QUORVINA_SOURCE_DIR) + "/resources/skins/Default/720p/" + Text(file);
  const XMLNode root = XMLNode::parseFile(path.c_str(), "window");
  if (root.isEmpty()) return nullptr;
  std::map<int, FakeWindow::Control> controls;
  CollectControls(root, controls);
  windows_.push_back(std::make_unique<FakeWindow>(Text(file), controls, std::move(events)));
  return windows_.back().get();
}
