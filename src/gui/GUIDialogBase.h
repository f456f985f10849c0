// Base of every window the add-on shows: owns the host window created from a
// window definition file and routes the host's callbacks to virtual handlers.
#pragma once

#include <atomic>
#include <string>

class CAddonGUIWindow;
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
  // True while the host runs one of this window's callbacks (a modal child
  // opened from one included): freeing it then would pull it from under them.
  bool EnUso() const { return m_enUso.load() > 0; }
  // True once shown and not closed since.
  bool Abierta() const { return m_abierta.load(); }

 protected:
  // The back and close actions (10, 51, 92, 275) close the window; true when
  // the action was one of them.
  bool CloseOnBackAction(int actionId);

  CAddonGUIWindow* m_window = nullptr;  // null when the host could not create it
  CHelper_libXBMC_gui* m_gui = nullptr;

 private:
  // The host hands back the window's callback handle: this dialog.
  class EnCallback;
  std::atomic<int> m_enUso{0};
  std::atomic<bool> m_abierta{false};

  static bool OnInitCB(void* cbhdl);
  static bool OnFocusCB(void* cbhdl, int controlId);
  static bool OnClickCB(void* cbhdl, int controlId);
  static bool OnActionCB(void* cbhdl, int actionId);
};
