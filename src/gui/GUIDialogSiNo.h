// Yes/no box: control 11 answers yes, control 10 no; the back actions answer no.
#pragma once

#include <string>

#include "gui/GUIDialogBase.h"

class CGUIDialogSiNo : public virtual CGUIDialogBase {
 public:
  // Texts are shown as given; callers convert stored Windows-1252 first.
  // Empty button labels keep those of the window definition file.
  CGUIDialogSiNo(const std::string& titulo, const std::string& texto);
  CGUIDialogSiNo(const std::string& titulo, const std::string& texto, const std::string& labelSi,
                 const std::string& labelNo);

  // Runs the box modally; true only when control 11 closed it.
  bool PulsadoOK();
  void Show();

  bool OnInit() override;
  bool OnClick(int controlId) override;
  bool OnAction(int actionId) override;

 private:
  std::string m_titulo;
  std::string m_texto;
  std::string m_labelSi;
  std::string m_labelNo;
  bool m_resultado = false;
};
