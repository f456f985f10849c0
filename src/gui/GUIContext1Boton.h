// Chooser with one button (control 1005) whose text the caller gives.
#pragma once

#include <string>

#include "gui/GUIContextBase.h"

class CGUIContext1Boton : public CGUIContextBase {
 public:
  // The text is stored Windows-1252; it is converted for display.
  explicit CGUIContext1Boton(const std::string& texto);

  bool OnInit() override;

 private:
  std::string m_texto;
};
