// The series windows: the list of rules (shown without waiting, it lives on
// after it closes), a rule's tracking history, its announced broadcasts and
// the details of one broadcast. They hold rule ids, never rules.
#pragma once

#include <map>
#include <string>

#include "gui/FichaSerie.h"
#include "gui/GUIDialogBase.h"

class CAddonListItem;
class Canales;

class CGUISeries : public virtual CGUIDialogBase {
 public:
  CGUISeries(OperacionesSeries& series, const Canales& canales);
  ~CGUISeries() override;

  bool OnInit() override;
  bool OnFocus(int controlId) override;
  bool OnClick(int controlId) override;
  bool OnAction(int actionId) override;
  void CargarPantalla(unsigned int filtro, const std::string& nombre);

 private:
  // The rule id of the item at the list's position; empty when none.
  std::string SerieActual() const;
  CAddonListItem* ObtenerItem() const;
  void VisualizarDetalleSerie();
  void LiberarItems();

  OperacionesSeries& m_series;
  const Canales& m_canales;
  unsigned int m_filtro = 0;
  int m_focused = 0;
  std::map<int, std::string> m_serieItem;
  std::map<int, CAddonListItem*> m_items;
};

class CGUITracking : public virtual CGUIDialogBase {
 public:
  CGUITracking(OperacionesSeries& series, const Canales& canales, std::string id);
  ~CGUITracking() override;

  bool OnInit() override;
  bool OnClick(int) override { return true; }
  bool OnAction(int actionId) override;
  void EliminarItem(int position);
  // What follows an episode's label in a text that carries it, without a
  // leading " - "; the whole text when it does not carry it.
  static std::string SegundaEtiqueta(const std::string& texto, const std::string& label);

 private:
  OperacionesSeries& m_series;
  const Canales& m_canales;
  const std::string m_id;
  std::map<int, CAddonListItem*> m_items;
  std::map<int, std::string> m_tracks;
};

class CGUIDetalleSerie : public virtual CGUIDialogBase {
 public:
  CGUIDetalleSerie(OperacionesSeries& series, const Canales& canales, std::string id);
  ~CGUIDetalleSerie() override;

  bool OnInit() override;
  bool OnClick(int controlId) override;
  bool OnAction(int actionId) override { return CloseOnBackAction(actionId); }

 private:
  OperacionesSeries& m_series;
  const Canales& m_canales;
  const std::string m_id;
  std::map<int, std::string> m_claves;
  std::map<int, CAddonListItem*> m_items;
};

class CGUIDialogoDetalleProgramaSerie : public virtual CGUIDialogBase {
 public:
  CGUIDialogoDetalleProgramaSerie(const EPG_Quorvina& programa, const Canales& canales);

  bool OnInit() override;
  bool OnClick(int controlId) override;
  bool OnAction(int actionId) override { return CloseOnBackAction(actionId); }
  // The duration line: hours and minutes.
  static std::string Duracion(time_t inicio, time_t fin);

 private:
  const EPG_Quorvina m_programa;
  const Canales& m_canales;
};
