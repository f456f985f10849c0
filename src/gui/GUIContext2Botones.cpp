#include "gui/GUIContext2Botones.h"

#include "common/Text.h"

CGUIContext2Botones::CGUIContext2Botones(const std::string& texto1, const std::string& texto2)
    : CGUIContextBase("DialogContext2Botones.xml"), m_texto1(texto1), m_texto2(texto2) {}

bool CGUIContext2Botones::OnInit() {
  SetControlLabel(1005, De1252aUTF8(m_texto1).c_str());
  SetControlLabel(1006, De1252aUTF8(m_texto2).c_str());
  return true;
}
