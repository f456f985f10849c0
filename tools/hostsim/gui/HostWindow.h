// The window object the add-on holds. Its operations act on the shared window
// state; Show and DoModal hand the window to the host's GUI, which calls the
// add-on's callbacks installed in the public members.
#pragma once

#include <memory>

#include "gui/GuiRegistry.h"
#include "gui/WindowState.h"
#include "host/xbmc_gui_types.h"

namespace hostsim {

class Gui;

class HostWindow : public CAddonGUIWindow, public Tracked {
 public:
  HostWindow(Gui& gui, std::shared_ptr<WindowState> state);
  ~HostWindow() override;

  bool Show() override;
  bool Close() override;
  bool DoModal() override;
  bool SetFocusId(int controlId) override;
  int GetFocusId() override;
  bool SetCoordinateResolution(int) override { return true; }
  void SetProperty(const char* key, const char* value) override;
  void SetPropertyInt(const char* key, int value) override;
  void SetPropertyBool(const char* key, bool value) override;
  void SetPropertyDouble(const char* key, double value) override;
  const char* GetProperty(const char* key) const override;
  int GetPropertyInt(const char* key) const override;
  bool GetPropertyBool(const char* key) const override;
  double GetPropertyDouble(const char* key) const override;
  void ClearProperties() override;
  int GetListSize() override;
  void ClearList() override;
  GUIHANDLE AddStringItem(const char* name, int itemPosition = -1) override;
  void AddItem(GUIHANDLE item, int itemPosition = -1) override;
  void AddItem(CAddonListItem* item, int itemPosition = -1) override;
  void RemoveItem(int itemPosition) override;
  GUIHANDLE GetListItem(int listPos) override;
  void SetCurrentListPosition(int listPos) override;
  int GetCurrentListPosition() override;
  void SetControlLabel(int controlId, const char* label) override;
  void MarkDirtyRegion() override {}

  const std::shared_ptr<WindowState>& state() const { return state_; }

 private:
  HostListItem* addShared(const std::shared_ptr<ListItemData>& data, int position);
  void problem(const std::string& text);

  Gui& gui_;
  std::shared_ptr<WindowState> state_;
};

}  // namespace hostsim
