// The control objects the add-on obtains from a window. Each is a handle onto
// the window's shared state, so values survive the add-on releasing the
// control and are there when the window's record is taken.
#pragma once

#include <memory>

#include "gui/GuiRegistry.h"
#include "gui/WindowState.h"
#include "host/xbmc_gui_types.h"

namespace hostsim {

class HostSpin : public CAddonGUISpinControl, public Tracked {
 public:
  HostSpin(std::shared_ptr<WindowState> state, int id) : state_(std::move(state)), id_(id) {}
  void SetVisible(bool visible) override;
  void SetText(const char* label) override;
  void Clear() override;
  void AddLabel(const char* label, int value) override;
  int GetValue() override;
  void SetValue(int value) override;

 private:
  std::shared_ptr<WindowState> state_;
  int id_;
};

class HostRadio : public CAddonGUIRadioButton, public Tracked {
 public:
  HostRadio(std::shared_ptr<WindowState> state, int id) : state_(std::move(state)), id_(id) {}
  void SetVisible(bool visible) override;
  void SetText(const char* label) override;
  void SetSelected(bool selected) override;
  bool IsSelected() override;

 private:
  std::shared_ptr<WindowState> state_;
  int id_;
};

class HostProgress : public CAddonGUIProgressControl, public Tracked {
 public:
  HostProgress(std::shared_ptr<WindowState> state, int id) : state_(std::move(state)), id_(id) {}
  void SetPercentage(float percent) override { state_->setProgress(id_, percent); }
  float GetPercentage() const override { return state_->progress(id_); }
  void SetInfo(int info) override { info_ = info; }
  int GetInfo() const override { return info_; }

 private:
  std::shared_ptr<WindowState> state_;
  int id_;
  int info_ = 0;
};

class HostRendering : public CAddonGUIRenderingControl, public Tracked {
 public:
  void Init() override {}  // nothing is drawn
};

}  // namespace hostsim
