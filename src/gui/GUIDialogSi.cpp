#include "gui/GUIDialogSi.h"

CGUIDialogSi::CGUIDialogSi(const std::string& titulo, const std::string& texto)
    : CGUIDialogBase("DialogSI.xml"), m_titulo(titulo), m_texto(texto) {}

void CGUIDialogSi::Show() {
  DoModal();
}

bool CGUIDialogSi::OnInit() {
  SetControlLabel(1, m_titulo.c_str());
  SetControlLabel(9, m_texto.c_str());
  return true;
}

bool CGUIDialogSi::OnClick(int controlId) {
  if (controlId == 10) Close();
  return true;
}

bool CGUIDialogSi::OnAction(int actionId) {
  return CloseOnBackAction(actionId);
}
