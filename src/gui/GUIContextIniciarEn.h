// Resume chooser of cloud recordings and catch-up programmes: control 1008
// resumes at the offered position, control 1009 starts from the beginning.
#pragma once

#include <string>

#include "gui/GUIContextBase.h"

class CGUIContextIniciarEn : public CGUIContextBase {
 public:
  // The text is already UTF-8 and goes on control 1008 as given.
  explicit CGUIContextIniciarEn(const std::string& texto);

  bool OnInit() override;

 private:
  std::string m_texto;
};
