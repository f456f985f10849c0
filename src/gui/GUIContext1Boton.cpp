#include "gui/GUIContext1Boton.h"

#include "common/Text.h"

CGUIContext1Boton::CGUIContext1Boton(const std::string& texto)
    : CGUIContextBase("DialogContext1Boton.xml"), m_texto(texto) {}

bool CGUIContext1Boton::OnInit() {
  SetControlLabel(1005, De1252aUTF8(m_texto).c_str());
  return true;
}
