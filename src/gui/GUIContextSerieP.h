// Context chooser of an active series rule; its buttons are those of its
// window definition file.
#pragma once

#include "gui/GUIContextBase.h"

class CGUIContextSerieP : public CGUIContextBase {
 public:
  CGUIContextSerieP() : CGUIContextBase("DialogContextSerieP.xml") {}
};
