#include "gui/GUIDialogBase.h"

#include "common/Log.h"
#include "gui/GuiBinding.h"
#include "host/xbmc_gui_types.h"

namespace {
CGUIDialogBase* Dialog(GUIHANDLE cbhdl) {
  return static_cast<CGUIDialogBase*>(cbhdl);
}
}  // namespace

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
  if (m_window != nullptr) m_window->Show();
}

void CGUIDialogBase::DoModal() {
  if (m_window != nullptr) m_window->DoModal();
}

void CGUIDialogBase::Close() {
  OnClose();
  if (m_window != nullptr) m_window->Close();
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
  return Dialog(cbhdl)->OnInit();
}
bool CGUIDialogBase::OnFocusCB(void* cbhdl, int controlId) {
  return Dialog(cbhdl)->OnFocus(controlId);
}
bool CGUIDialogBase::OnClickCB(void* cbhdl, int controlId) {
  return Dialog(cbhdl)->OnClick(controlId);
}
bool CGUIDialogBase::OnActionCB(void* cbhdl, int actionId) {
  return Dialog(cbhdl)->OnAction(actionId);
}
