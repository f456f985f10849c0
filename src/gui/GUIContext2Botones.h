// Chooser with two buttons (controls 1005 and 1006) whose texts the caller gives.
#pragma once

#include <string>

#include "gui/GUIContextBase.h"

class CGUIContext2Botones : public CGUIContextBase {
 public:
  // Texts are stored Windows-1252; they are converted for display.
  CGUIContext2Botones(const std::string& texto1, const std::string& texto2);

  bool OnInit() override;

 private:
  std::string m_texto1;
  std::string m_texto2;
};
