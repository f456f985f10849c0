#include "gui/GUISeries.h"

#include "common/Conversions.h"
#include "common/HostServices.h"
#include "common/Text.h"
#include "discovery/Canales.h"
#include "gui/GUIContextSerieNP.h"
#include "gui/GUIContextSerieP.h"
#include "gui/GUIContextTracking.h"
#include "gui/GUIDialogSi.h"
#include "gui/GUIDialogSiNo.h"
#include "gui/GUIOpcionesGrabacion.h"
#include "gui/GuiBinding.h"

namespace {

constexpr int kTitulo = 29;
constexpr int kTodas = 31;
constexpr int kProgramadas = 32;
constexpr int kLista = 50;
constexpr int kCerrarDetalle = 7;
constexpr int kAccionMenu = 101;
constexpr int kAccionContexto = 117;
constexpr int kAccionCerrarSinFoco = 100;

std::string T(const char* texto1252) {
  return De1252aUTF8(texto1252);
}

// "T3 Cap. 12"-style label of an episode.
std::string Etiqueta(const std::string& titulo, int temporada, int capitulo) {
  return titulo + " T" + convertInttoString(temporada) + " Cap. " + convertInttoString(capitulo);
}

std::string HoraFecha(const std::string& prefijo, time_t t) {
  return T(prefijo.c_str()) + Converttime_TtostringHora(t) + "\r\n" + T("del ") +
         Converttime_TtostringFecha(t);
}

void Informar(const char* titulo, const char* texto) {
  CGUIDialogSi(T(titulo), T(texto)).Show();
}

bool Confirmar(const char* titulo, const char* texto) {
  return CGUIDialogSiNo(T(titulo), T(texto)).PulsadoOK();
}

std::string LogoCanal(const Canales& canales, int id) {
  Canal canal;
  return canales.ObtenerCanal(id, canal) ? canal.logo : std::string();
}

}  // namespace

CGUISeries::CGUISeries(OperacionesSeries& series, const Canales& canales)
    : CGUIDialogBase("listadeseries.xml"), m_series(series), m_canales(canales) {}

CGUISeries::~CGUISeries() {
  LiberarItems();
}

void CGUISeries::LiberarItems() {
  if (m_gui != nullptr)
    for (auto& kv : m_items) m_gui->ListItem_destroy(kv.second);
  m_items.clear();
  m_serieItem.clear();
}

bool CGUISeries::OnInit() {
  CargarPantalla(0, "Todas las series");
  return true;
}

bool CGUISeries::OnFocus(int controlId) {
  m_focused = controlId;
  return true;
}

void CGUISeries::CargarPantalla(unsigned int filtro, const std::string& nombre) {
  if (m_window == nullptr) return;
  m_filtro = filtro;
  LiberarItems();
  m_window->ClearList();
  std::string titulo = TheHost().LocalizedString(30201);
  if (!nombre.empty()) titulo += "-" + nombre;
  SetControlLabel(kTitulo, titulo.c_str());
  const time_t now = time(nullptr);
  int index = 0;
  for (const std::string& id : m_series.Identificadores()) {
    FichaSerie f;
    if (!m_series.Ficha(id, f)) continue;
    if (filtro == 1 && !f.ProgramarGrabaciones) continue;
    const EPG_Quorvina* elegido = nullptr;
    std::string linea;
    time_t ultimo = 0;
    for (const auto& kv : f.programas) {
      const EPG_Quorvina& p = kv.second.programa;
      if (p.startTime > now) {
        elegido = &p;
        linea = HoraFecha("Pr\xf3xima emisi\xf3n a las ", p.startTime);
        break;
      }
      if (p.endTime >= now) {
        elegido = &p;
        linea = HoraFecha("Emitiendo desde las ", p.startTime);
        break;
      }
      if (p.startTime > ultimo) {
        elegido = &p;
        ultimo = p.startTime;
      }
    }
    if (linea.empty() && ultimo != 0) linea = HoraFecha("\xdaltima vez emitido a las ", ultimo);
    const std::string segunda = elegido != nullptr ? elegido->strPlot : f.Plot;
    CAddonListItem* item = m_gui->ListItem_create(f.Descripcion.c_str(), segunda.c_str(),
                                                  f.Logo.c_str(), f.Logo.c_str(), "");
    if (item == nullptr) continue;
    item->SetProperty("Titulo", linea.c_str());
    item->SetProperty("Programado", f.ProgramarGrabaciones ? "true" : "false");
    if (elegido != nullptr && !elegido->strPlot.empty())
      m_series.ActualizarDescripcion(id, elegido->strPlot, elegido->strPlotOutline);
    m_window->AddItem(item, index);
    m_serieItem[index] = id;
    m_items[index] = item;
    ++index;
  }
}

std::string CGUISeries::SerieActual() const {
  if (m_window == nullptr) return std::string();
  const auto it = m_serieItem.find(m_window->GetCurrentListPosition());
  return it == m_serieItem.end() ? std::string() : it->second;
}

CAddonListItem* CGUISeries::ObtenerItem() const {
  if (m_window == nullptr) return nullptr;
  const auto it = m_items.find(m_window->GetCurrentListPosition());
  return it == m_items.end() ? nullptr : it->second;
}

void CGUISeries::VisualizarDetalleSerie() {
  FichaSerie f;
  const std::string id = SerieActual();
  if (id.empty() || !m_series.Ficha(id, f)) return;
  CGUIDetalleSerie(m_series, m_canales, id).DoModal();
}

bool CGUISeries::OnClick(int controlId) {
  if (controlId == kLista) VisualizarDetalleSerie();
  if (m_focused == kTodas && m_filtro != 0) CargarPantalla(0, "Todas las series");
  if (m_focused == kProgramadas && m_filtro != 1) CargarPantalla(1, "Series programadas");
  return true;
}

bool CGUISeries::OnAction(int actionId) {
  if (m_focused != 0 && CloseOnBackAction(actionId)) return true;
  if (actionId == kAccionCerrarSinFoco && m_focused == 0) {
    Close();
    return true;
  }
  if (actionId != kAccionMenu && actionId != kAccionContexto) return false;
  const std::string id = SerieActual();
  FichaSerie f;
  // An empty list, or a rule deleted meanwhile: nothing to act on.
  if (id.empty() || !m_series.Ficha(id, f)) return false;
  int boton;
  if (f.ProgramarGrabaciones) {
    boton = CGUIContextSerieP().ObtenerBotonPulsado();
  } else {
    boton = CGUIContextSerieNP().ObtenerBotonPulsado();
  }
  CAddonListItem* item = ObtenerItem();
  switch (boton) {
    case 1000: {
      if (item == nullptr) {
        Informar("Error Grabaciones de series",
                 "Item no encontrado.\r\nLa serie no ha sido programada para su grabaci\xf3n");
        break;
      }
      OpcionesSerie o = f;
      if (!CGUIOpcionesGrabacion(o).PulsadoOK()) break;
      item->SetProperty("Programado", "true");
      m_series.ProgramarSerie(id, o);
      Informar("Grabaciones de series", "La serie ha sido programada para su grabaci\xf3n");
      TheHost().TriggerTimerUpdate();
      break;
    }
    case 1001:
      CGUITracking(m_series, m_canales, id).DoModal();
      break;
    case 1002:
      VisualizarDetalleSerie();
      break;
    case 1003:
      if (item == nullptr) {
        Informar("Error Grabaciones de series",
                 "Item no encontrado.\r\nLa serie no ha podido ser pausada.");
        break;
      }
      item->SetProperty("Programado", "false");
      m_series.PausarSerie(id);
      Informar("Grabaciones de series", "La grabaci\xf3n de serie ha sido pausada.");
      m_focused = 0;
      if (m_filtro == 1) CargarPantalla(1, "");
      break;
    case 1004:
      if (item == nullptr) {
        Informar("Error Grabaciones de series",
                 "Item no encontrado.\r\nNo se ha podido eliminar la serie.");
        break;
      }
      if (!Confirmar(
              "Eliminaci\xf3n de grabaciones de series",
              "\xbf\x45st\xe1 seguro de eliminar la grabaci\xf3n de la serie y el historial?"))
        break;
      item->SetProperty("Programado", "false");
      m_series.EliminarSerie(id, true);
      Informar("Grabaciones de series", "La grabaci\xf3n de serie ha sido eliminada.");
      m_focused = 0;
      if (m_filtro == 1) CargarPantalla(1, "");
      break;
    case 1007: {
      OpcionesSerie o = f;
      if (CGUIOpcionesGrabacion(o).PulsadoOK()) m_series.CambiarOpciones(id, o);
      break;
    }
    default:
      break;
  }
  return false;
}

CGUITracking::CGUITracking(OperacionesSeries& series, const Canales& canales, std::string id)
    : CGUIDialogBase("DialogTracking.xml"),
      m_series(series),
      m_canales(canales),
      m_id(std::move(id)) {}

CGUITracking::~CGUITracking() {
  if (m_gui != nullptr)
    for (auto& kv : m_items) m_gui->ListItem_destroy(kv.second);
}

bool CGUITracking::OnInit() {
  if (m_window == nullptr) return true;
  m_window->ClearList();
  for (auto& kv : m_items) m_gui->ListItem_destroy(kv.second);
  m_items.clear();
  m_tracks.clear();
  FichaSerie f;
  m_series.Ficha(m_id, f);
  SetControlLabel(kTitulo, (T("Seguimiento de grabaciones de ") + f.Descripcion).c_str());
  int index = 0;
  for (const auto& kv : f.trackings) {
    const FichaTrack& t = kv.second;
    const std::string label = Etiqueta(f.Descripcion, t.iTemporada, t.iCapitulo);
    const std::string segunda = CGUITracking::SegundaEtiqueta(t.Descripcion, label);
    const std::string icono = LogoCanal(m_canales, t.iChannelNumber);
    CAddonListItem* item =
        m_gui->ListItem_create(label.c_str(), segunda.c_str(), icono.c_str(), "", "");
    if (item == nullptr) continue;
    const std::string programacion =
        T("Fue emitido desde las ") + Converttime_TtostringHora(t.InicioGrabacion) +
        T(" hasta las ") + Converttime_TtostringHora(t.FinalGrabacion) + "\r\n" + T("del ") +
        Converttime_TtostringFecha(t.FinalGrabacion);
    item->SetProperty("Programacion", programacion.c_str());
    item->SetProperty("Logoserie", t.logoserie.c_str());
    m_window->AddItem(item, index);
    m_items[index] = item;
    m_tracks[index] = t.IdTrack;
    ++index;
  }
  return true;
}

std::string CGUITracking::SegundaEtiqueta(const std::string& texto, const std::string& label) {
  const size_t at = texto.find(label);
  if (at == std::string::npos) return texto;
  std::string resto = texto.substr(at + label.size());
  if (resto.compare(0, 3, " - ") == 0) resto.erase(0, 3);
  return resto;
}

void CGUITracking::EliminarItem(int position) {
  if (m_window == nullptr || m_items.empty()) return;
  m_window->RemoveItem(position);
  auto it = m_items.find(position);
  if (it != m_items.end()) m_gui->ListItem_destroy(it->second);
  const int ultimo = m_items.rbegin()->first;
  for (int i = position; i < ultimo; ++i) {
    m_items[i] = m_items[i + 1];
    m_tracks[i] = m_tracks[i + 1];
  }
  m_items.erase(ultimo);
  m_tracks.erase(ultimo);
}

bool CGUITracking::OnAction(int actionId) {
  if (CloseOnBackAction(actionId)) return true;
  if (actionId != kAccionMenu && actionId != kAccionContexto) return false;
  const int boton = CGUIContextTracking().ObtenerBotonPulsado();
  if (boton == 1005) {
    if (!Confirmar("Eliminaci\xf3n de hist\xf3rico de series",
                   "\xbf\x45st\xe1 seguro de eliminar el movimiento y la grabaci\xf3n enlazada?"))
      return false;
    const int position = m_window != nullptr ? m_window->GetCurrentListPosition() : -1;
    const auto it = m_tracks.find(position);
    FichaSerie f;
    if (it == m_tracks.end() || !m_series.Ficha(m_id, f) || f.trackings.count(it->second) == 0)
      return false;
    m_series.EliminarTrack(m_id, it->second);
    EliminarItem(position);
    Informar("Hist\xf3rico de series", "Se ha eliminado el movimiento y la grabaci\xf3n.");
  } else if (boton == 1006) {
    if (!Confirmar(
            "Eliminaci\xf3n de hist\xf3rico de series",
            "\xbf\x45st\xe1 seguro de eliminar TODOS movimientos y la grabaciones enlazadas?"))
      return false;
    FichaSerie f;
    m_series.Ficha(m_id, f);
    std::vector<std::string> claves;
    for (const auto& kv : f.trackings) claves.push_back(kv.first);
    for (const std::string& clave : claves) {
      m_series.EliminarTrack(m_id, clave);
      if (m_window != nullptr) m_window->RemoveItem(0);
    }
    for (auto& kv : m_items) m_gui->ListItem_destroy(kv.second);
    m_items.clear();
    m_tracks.clear();
    Informar("Hist\xf3rico de series", "Se han eliminado los movimientos y las grabaci\xf3n.");
  }
  return false;
}

CGUIDetalleSerie::CGUIDetalleSerie(OperacionesSeries& series, const Canales& canales,
                                   std::string id)
    : CGUIDialogBase("DialogDetalleSerie.xml"),
      m_series(series),
      m_canales(canales),
      m_id(std::move(id)) {}

CGUIDetalleSerie::~CGUIDetalleSerie() {
  if (m_gui != nullptr)
    for (auto& kv : m_items) m_gui->ListItem_destroy(kv.second);
}

bool CGUIDetalleSerie::OnInit() {
  if (m_window == nullptr) return true;
  m_window->ClearList();
  for (auto& kv : m_items) m_gui->ListItem_destroy(kv.second);
  m_items.clear();
  m_claves.clear();
  FichaSerie f;
  m_series.Ficha(m_id, f);
  SetControlLabel(kTitulo, (T("Programaci\xf3n de ") + f.Descripcion).c_str());
  if (f.programas.empty()) {
    m_window->SetCurrentListPosition(-1);
    return true;
  }
  const time_t now = time(nullptr);
  int index = 0;
  int seleccion = -1;
  for (const auto& kv : f.programas) {
    const EPG_Quorvina& p = kv.second.programa;
    const std::string label = Etiqueta(f.Descripcion, p.iSeriesNumber, p.iEpisodeNumber);
    const std::string segunda = CGUITracking::SegundaEtiqueta(p.strTitle, label);
    const std::string icono = LogoCanal(m_canales, p.idCanal);
    CAddonListItem* item =
        m_gui->ListItem_create(label.c_str(), segunda.c_str(), icono.c_str(), "", "");
    if (item == nullptr) continue;
    std::string inicio;
    if (p.startTime > now) {
      inicio = T("Pr\xf3xima emisi\xf3n a las ");
    } else if (p.endTime >= now) {
      inicio = T("Emitiendo desde las ");
    } else {
      inicio = T("Fue emitido desde las ");
    }
    if (seleccion < 0 && p.endTime >= now) seleccion = index;
    const std::string programacion = inicio + Converttime_TtostringHora(p.startTime) +
                                     T(" hasta las ") + Converttime_TtostringHora(p.endTime) +
                                     "\r\n" + T("del ") + Converttime_TtostringFecha(p.endTime);
    item->SetProperty("Programacion", programacion.c_str());
    item->SetProperty("Programado", kv.second.programado ? "true" : "false");
    item->SetProperty("Grabando", kv.second.grabando ? "true" : "false");
    m_window->AddItem(item, index);
    m_items[index] = item;
    m_claves[index] = kv.first;
    ++index;
  }
  m_window->SetCurrentListPosition(seleccion >= 0 ? seleccion : index - 1);
  return true;
}

bool CGUIDetalleSerie::OnClick(int controlId) {
  if (controlId != kLista || m_window == nullptr) return true;
  const auto it = m_claves.find(m_window->GetCurrentListPosition());
  FichaSerie f;
  if (it == m_claves.end() || !m_series.Ficha(m_id, f)) return true;
  const auto p = f.programas.find(it->second);
  if (p != f.programas.end())
    CGUIDialogoDetalleProgramaSerie(p->second.programa, m_canales).DoModal();
  return true;
}

CGUIDialogoDetalleProgramaSerie::CGUIDialogoDetalleProgramaSerie(const EPG_Quorvina& programa,
                                                                 const Canales& canales)
    : CGUIDialogBase("DialogoDetalleProgramaSerie.xml"), m_programa(programa), m_canales(canales) {}

std::string CGUIDialogoDetalleProgramaSerie::Duracion(time_t inicio, time_t fin) {
  const int32_t d = static_cast<int32_t>(fin - inicio);
  int minutos = d / 60;
  const int horas = d / 3600;
  std::string texto;
  if (d >= 3600 || d <= -3600) {
    texto = convertInttoString(horas) + " horas ";
    minutos -= horas * 60;
  }
  if (minutos != 0) texto += convertInttoString(minutos) + " minutos";
  return texto;
}

bool CGUIDialogoDetalleProgramaSerie::OnInit() {
  const EPG_Quorvina& p = m_programa;
  SetControlLabel(29, p.strTitle.c_str());
  const std::string desde = T("Desde las ") + Converttime_TtostringHora(p.startTime) +
                            T(" hasta las ") + Converttime_TtostringHora(p.endTime) + "\r\n" +
                            T("del ") + Converttime_TtostringFecha(p.endTime);
  SetControlLabel(30, desde.c_str());
  SetControlLabel(31, Duracion(p.startTime, p.endTime).c_str());
  Canal canal;
  if (m_canales.ObtenerCanal(p.idCanal, canal)) SetControlLabel(32, canal.nombre.c_str());
  SetControlLabel(400, p.strPlot.c_str());
  return true;
}

bool CGUIDialogoDetalleProgramaSerie::OnClick(int controlId) {
  if (controlId == kCerrarDetalle) Close();
  return true;
}
