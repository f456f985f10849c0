// Recording options of a series rule: channel type, cloud or local, and up to
// three seasons. The rule changes only when the user confirms (control 11).
#pragma once

#include "gui/GUIDialogBase.h"

class CAddonGUIRadioButton;
class CAddonGUISpinControl;
struct OpcionesSerie;

class CGUIOpcionesGrabacion : public virtual CGUIDialogBase {
 public:
  // The rule is not owned and must outlive the dialog.
  explicit CGUIOpcionesGrabacion(OpcionesSerie& serie);
  ~CGUIOpcionesGrabacion() override;

  // Runs the dialog modally; on confirmation writes the choices into the rule
  // and returns true, otherwise leaves it unchanged.
  bool PulsadoOK();

  bool OnInit() override;
  bool OnClick(int controlId) override;
  bool OnAction(int actionId) override;

 private:
  static constexpr int kSpinsTemporada = 3;

  void GuardarOpciones();

  OpcionesSerie& m_serie;
  CAddonGUISpinControl* m_spinTipoCanal = nullptr;
  CAddonGUIRadioButton* m_radioCloud = nullptr;
  CAddonGUISpinControl* m_spinsTemporada[kSpinsTemporada] = {};
  bool m_resultado = false;
};
