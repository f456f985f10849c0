// A stand-in for the host's GUI library in dialog tests. FakeGui fills the
// global GUI binding with functions that create FakeWindows from the add-on's
// real window definition files (so a missing file or control shows up), and
// each FakeWindow plays a scripted list of user events during DoModal.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "host/xbmc_gui_types.h"

class FakeSpin : public CAddonGUISpinControl {
 public:
  void SetVisible(bool) override {}
  void SetText(const char*) override {}
  void Clear() override { entries.clear(); }
  void AddLabel(const char* label, int value) override { entries.emplace_back(label, value); }
  int GetValue() override { return value; }
  void SetValue(int v) override { value = v; }

  std::vector<std::pair<std::string, int>> entries;
  int value = 0;
  bool released = false;
};

class FakeRadio : public CAddonGUIRadioButton {
 public:
  void SetVisible(bool) override {}
  void SetText(const char*) override {}
  void SetSelected(bool s) override { selected = s; }
  bool IsSelected() override { return selected; }

  bool selected = false;
  bool released = false;
};

// One user event played during DoModal; kSpin and kRadio stand for the user
// changing a control, the others for the host's callbacks.
struct UiEvent {
  enum Kind { kClick, kAction, kFocus, kSpin, kRadio } kind;
  int id;
  int value = 0;
};
inline UiEvent Click(int id) {
  return {UiEvent::kClick, id};
}
inline UiEvent Action(int id) {
  return {UiEvent::kAction, id};
}
inline UiEvent Focus(int id) {
  return {UiEvent::kFocus, id};
}
inline UiEvent ChangeSpin(int id, int value) {
  return {UiEvent::kSpin, id, value};
}
inline UiEvent ChangeRadio(int id, bool on) {
  return {UiEvent::kRadio, id, on ? 1 : 0};
}

class FakeWindow : public CAddonGUIWindow {
 public:
  struct Control {
    std::string type;
    std::string label;
  };
  FakeWindow(std::string file, std::map<int, Control> controls, std::vector<UiEvent> script);

  bool Show() override;
  bool Close() override;
  bool DoModal() override;
  bool SetFocusId(int) override { return true; }
  int GetFocusId() override { return 0; }
  bool SetCoordinateResolution(int) override { return true; }
  void SetProperty(const char*, const char*) override {}
  void SetPropertyInt(const char*, int) override {}
  void SetPropertyBool(const char*, bool) override {}
  void SetPropertyDouble(const char*, double) override {}
  const char* GetProperty(const char*) const override { return ""; }
  int GetPropertyInt(const char*) const override { return 0; }
  bool GetPropertyBool(const char*) const override { return false; }
  double GetPropertyDouble(const char*) const override { return 0; }
  void ClearProperties() override {}
  int GetListSize() override { return 0; }
  void ClearList() override {}
  GUIHANDLE AddStringItem(const char*, int) override { return nullptr; }
  void AddItem(GUIHANDLE, int) override {}
  void AddItem(CAddonListItem*, int) override {}
  void RemoveItem(int) override {}
  GUIHANDLE GetListItem(int) override { return nullptr; }
  void SetCurrentListPosition(int) override {}
  int GetCurrentListPosition() override { return 0; }
  void SetControlLabel(int controlId, const char* label) override;
  void MarkDirtyRegion() override {}

  // Null when the file has no such control or it is of another type.
  FakeSpin* Spin(int id);
  FakeRadio* Radio(int id);

  std::string label(int id) const;  // current label; the file's until set
  bool labelWasSet(int id) const;

  const std::string file;
  std::map<int, Control> controls;
  std::vector<UiEvent> script;
  std::vector<int> labelsSet;  // control ids, in the order they were set
  std::vector<bool> answers;   // what each host callback returned, OnInit first
  int modalRuns = 0;
  bool open = false;
  bool closed = false;
  bool destroyed = false;

 private:
  std::map<int, std::unique_ptr<FakeSpin>> spins_;
  std::map<int, std::unique_ptr<FakeRadio>> radios_;
};

class FakeGui {
 public:
  // Needs the GUI binding in place (a FakeHost); unhooks itself on exit.
  FakeGui();
  ~FakeGui();
  FakeGui(const FakeGui&) = delete;
  FakeGui& operator=(const FakeGui&) = delete;

  // Events for the next window created.
  void Script(std::vector<UiEvent> events) { next_ = std::move(events); }
  // The next window creation fails as a host without the file would.
  void FailNextCreate() { failNext_ = true; }

  FakeWindow* last() { return windows_.empty() ? nullptr : windows_.back().get(); }

  // Internal: reached from the binding's function pointers.
  FakeWindow* Create(const char* file, const char* skin, bool fallback, bool dialog);

  std::string lastSkin;
  bool lastFallback = false;
  bool lastDialog = false;

 private:
  std::vector<std::unique_ptr<FakeWindow>> windows_;
  std::vector<UiEvent> next_;
  bool failNext_ = false;
};
