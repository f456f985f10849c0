// Common behaviour of the button choosers: the first click picks a button and
// closes the window; the back actions close it with nothing picked (-1).
#pragma once

#include "gui/GUIDialogBase.h"

class CGUIContextBase : public CGUIDialogBase {
 public:
  explicit CGUIContextBase(const char* windowFile) : CGUIDialogBase(windowFile) {}

  // Runs the window modally; the pressed control, or -1 when none was.
  int ObtenerBotonPulsado();

  bool OnClick(int controlId) override;
  bool OnAction(int actionId) override;

 private:
  int m_botonPulsado = -1;
};
