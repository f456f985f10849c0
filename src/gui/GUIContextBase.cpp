#include "gui/GUIContextBase.h"

int CGUIContextBase::ObtenerBotonPulsado() {
  DoModal();
  return m_botonPulsado;
}

bool CGUIContextBase::OnClick(int controlId) {
  m_botonPulsado = controlId;
  Close();
  return true;
}

bool CGUIContextBase::OnAction(int actionId) {
  return CloseOnBackAction(actionId);
}
