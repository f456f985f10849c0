// Base of every window the add-on shows: owns the host window created from a
// window definition file and routes the host's callbacks to virtual handlers.
#pragma once

#include <string>

#include "host/xbmc_gui_types.h"

class CHelper_libXBMC_gui;

class CGUIDialogBase {
 public:
  explicit CGUIDialogBase(const char* windowFile);
  virtual ~CGUIDialogBase();
  CGUIDialogBase(const CGUIDialogBase&) = delete;
  CGUIDialogBase& operator=(const CGUIDialogBase&) = delete;

  virtual bool OnInit() { return true; }
  virtual bool OnClick(int controlId);
  virtual bool OnFocus(int controlId);
  virtual bool OnAction(int actionId);
  virtual void OnClose() {}

  void SetControlLabel(int controlId, const char* label);
  void Show();
  void DoModal();
  void Close();

 protected:
  // The back and close actions (10, 51, 92, 275) close the window; true when
  // the action was one of them.
  bool CloseOnBackAction(int actionId);

  CAddonGUIWindow* m_window = nullptr;  // null when the host could not create it
  CHelper_libXBMC_gui* m_gui = nullptr;

 private:
  static bool OnInitCB(GUIHANDLE cbhdl);
  static bool OnFocusCB(GUIHANDLE cbhdl, int controlId);
  static bool OnClickCB(GUIHANDLE cbhdl, int controlId);
  static bool OnActionCB(GUIHANDLE cbhdl, int actionId);
};
