// Context chooser of an inactive series rule; its buttons are those of its
// window definition file.
#pragma once

#include "gui/GUIContextBase.h"

class CGUIContextSerieNP : public CGUIContextBase {
 public:
  CGUIContextSerieNP() : CGUIContextBase("DialogContextSerieNP.xml") {}
};
