#include "gui/GUIDialogSiNo.h"

CGUIDialogSiNo::CGUIDialogSiNo(const std::string& titulo, const std::string& texto)
    : CGUIDialogSiNo(titulo, texto, "", "") {}

CGUIDialogSiNo::CGUIDialogSiNo(const std::string& titulo, const std::string& texto,
                               const std::string& labelSi, const std::string& labelNo)
    : CGUIDialogBase("DialogSiNo.xml"),
      m_titulo(titulo),
      m_texto(texto),
      m_labelSi(labelSi),
      m_labelNo(labelNo) {}

bool CGUIDialogSiNo::PulsadoOK() {
  DoModal();
  return m_resultado;
}

void CGUIDialogSiNo::Show() {
  DoModal();
}

bool CGUIDialogSiNo::OnInit() {
  SetControlLabel(1, m_titulo.c_str());
  SetControlLabel(9, m_texto.c_str());
  if (!m_labelNo.empty()) SetControlLabel(10, m_labelNo.c_str());
  if (!m_labelSi.empty()) SetControlLabel(11, m_labelSi.c_str());
  return true;
}

bool CGUIDialogSiNo::OnClick(int controlId) {
  if (controlId == 11) {
    m_resultado = true;
    Close();
  } else if (controlId == 10) {
    Close();
  }
  return true;
}

bool CGUIDialogSiNo::OnAction(int actionId) {
  return CloseOnBackAction(actionId);
}
