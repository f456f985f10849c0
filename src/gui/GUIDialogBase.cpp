#include "gui/GUIDialogBase.h"

#include "common/Log.h"
#include "gui/GuiBinding.h"
#include "host/xbmc_gui_types.h"

namespace {
CGUIDialogBase* Dialog(GUIHANDLE cbhdl) {
  return static_cast<CGUIDialogBase*>(cbhdl);
}
}  // namespace

// Counts a callback while it runs.
class CGUIDialogBase::EnCallback {
 public:
  explicit EnCallback(void* cbhdl) : m_dialog(Dialog(cbhdl)) { ++m_dialog->m_enUso; }
  ~EnCallback() { --m_dialog->m_enUso; }
  EnCallback(const EnCallback&) = delete;
  EnCallback& operator=(const EnCallback&) = delete;
  CGUIDialogBase* operator->() const { return m_dialog; }

 private:
  CGUIDialogBase* m_dialog;
};

CGUIDialogBase::CGUIDialogBase(const char* windowFile) : m_gui(GUI) {
  if (m_gui != nullptr) m_window = m_gui->Window_create(windowFile, "", true, true);
  if (m_window == nullptr) {
    GenerarLogError(std::string("No se ha podido crear la ventana ") + windowFile);
    return;
  }
  m_window->m_cbhdl = static_cast<GUIHANDLE>(this);
  m_window->CBOnInit = OnInitCB;
  m_window->CBOnFocus = OnFocusCB;
  m_window->CBOnClick = OnClickCB;
  m_window->CBOnAction = OnActionCB;
}

CGUIDialogBase::~CGUIDialogBase() {
  if (m_window != nullptr) m_gui->Window_destroy(m_window);
}

bool CGUIDialogBase::OnClick(int) {
  return false;
}
bool CGUIDialogBase::OnFocus(int) {
  return true;
}
bool CGUIDialogBase::OnAction(int) {
  return false;
}

void CGUIDialogBase::SetControlLabel(int controlId, const char* label) {
  if (m_window != nullptr) m_window->SetControlLabel(controlId, label);
}

void CGUIDialogBase::Show() {
  if (m_window == nullptr) return;
  m_abierta = true;
  m_window->Show();
}

void CGUIDialogBase::DoModal() {
  if (m_window == nullptr) return;
  m_abierta = true;
  m_window->DoModal();
  m_abierta = false;
}

void CGUIDialogBase::Close() {
  OnClose();
  if (m_window != nullptr) m_window->Close();
  m_abierta = false;
}

bool CGUIDialogBase::CloseOnBackAction(int actionId) {
  switch (actionId) {
    case ACTION_PREVIOUS_MENU:
    case ACTION_CLOSE_DIALOG:
    case ACTION_NAV_BACK:
    case ACTION_BACKSPACE:
      Close();
      return true;
    default:
      return false;
  }
}

bool CGUIDialogBase::OnInitCB(void* cbhdl) {
  EnCallback dialog(cbhdl);
  return dialog->OnInit();
}
bool CGUIDialogBase::OnFocusCB(void* cbhdl, int controlId) {
  EnCallback dialog(cbhdl);
  return dialog->OnFocus(controlId);
}
bool CGUIDialogBase::OnClickCB(void* cbhdl, int controlId) {
  EnCallback dialog(cbhdl);
  return dialog->OnClick(controlId);
}
bool CGUIDialogBase::OnActionCB(void* cbhdl, int actionId) {
  EnCallback dialog(cbhdl);
  return dialog->OnAction(actionId);
}
