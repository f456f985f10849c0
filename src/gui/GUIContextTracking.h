// Context chooser of the tracking window; its buttons are those of its window
// definition file.
#pragma once

#include "gui/GUIContextBase.h"

class CGUIContextTracking : public CGUIContextBase {
 public:
  CGUIContextTracking() : CGUIContextBase("DialogContextTracking.xml") {}
};
