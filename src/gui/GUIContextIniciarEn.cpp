#include "gui/GUIContextIniciarEn.h"

CGUIContextIniciarEn::CGUIContextIniciarEn(const std::string& texto)
    : CGUIContextBase("DialogContextIniciarEn.xml"), m_texto(texto) {}

bool CGUIContextIniciarEn::OnInit() {
  SetControlLabel(1008, m_texto.c_str());
  return true;
}
