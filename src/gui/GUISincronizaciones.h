// The window of the copies of cloud recordings: the cloud recordings, from
// which one is copied at once or queued for the night; the queued copies,
// from which one is removed; and the history of finished copies.
#pragma once

#include <map>
#include <string>

#include "gui/FuenteSincronizaciones.h"
#include "gui/GUIDialogBase.h"

class CAddonListItem;

class CGUISincronizaciones : public virtual CGUIDialogBase {
 public:
  static constexpr int kTitulo = 29;
  static constexpr int kBotonNube = 31;
  static constexpr int kBotonCola = 32;
  static constexpr int kBotonHistorial = 33;

  explicit CGUISincronizaciones(FuenteSincronizaciones& fuente);
  ~CGUISincronizaciones() override;

  bool OnInit() override;
  bool OnFocus(int controlId) override;
  bool OnClick(int controlId) override;
  bool OnAction(int actionId) override;

  void CargarPantallaNube() { Cargar(0); }
  void CargarPantallaProgramadas() { Cargar(1); }
  void CargarPantallaHistorial() { Cargar(2); }

 private:
  void Cargar(unsigned int pantalla);
  void Vaciar();
  void AccionNube(int posicion);
  void AccionCola(int posicion);
  std::string Clave(int posicion) const;

  FuenteSincronizaciones& m_fuente;
  unsigned int m_pantalla = 0;
  int m_controlFoco = 0;
  std::map<int, std::string> m_claves;
  std::map<int, CAddonListItem*> m_items;
};
