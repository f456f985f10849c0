// Information box: a title, a text and one button (control 10) that closes it.
#pragma once

#include <string>

#include "gui/GUIDialogBase.h"

class CGUIDialogSi : public virtual CGUIDialogBase {
 public:
  // Texts are shown as given; callers convert stored Windows-1252 first.
  CGUIDialogSi(const std::string& titulo, const std::string& texto);

  // Runs the box modally.
  void Show();

  bool OnInit() override;
  bool OnClick(int controlId) override;
  bool OnAction(int actionId) override;

 private:
  std::string m_titulo;
  std::string m_texto;
};
