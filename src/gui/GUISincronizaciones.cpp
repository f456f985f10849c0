#include "gui/GUISincronizaciones.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "common/HostServices.h"
#include "common/Text.h"
#include "gui/GUIContext1Boton.h"
#include "gui/GUIContext2Botones.h"
#include "gui/GUIDialogSi.h"
#include "gui/GuiBinding.h"
#include "host/xbmc_gui_types.h"

namespace {

constexpr int kBotonPrimero = 1005;
constexpr int kBotonSegundo = 1006;
constexpr int kAccionSeleccionar = 117;
constexpr int kAccionClic = ACTION_MOUSE_RIGHT_CLICK;
constexpr int kAccionSinFoco = 100;

// Texts kept in Windows-1252, as every stored dialog text.
const char* const kEliminar = "Eliminar sincronizaci\xf3n";
const char* const kTituloAviso = "Sincronizaciones";

void Aviso(const char* texto) {
  CGUIDialogSi aviso(De1252aUTF8(kTituloAviso), De1252aUTF8(texto));
  aviso.Show();
}

}  // namespace

CGUISincronizaciones::CGUISincronizaciones(FuenteSincronizaciones& fuente)
    : CGUIDialogBase("Sincronizaciones.xml"), m_fuente(fuente) {}

CGUISincronizaciones::~CGUISincronizaciones() {
  Vaciar();
}

bool CGUISincronizaciones::OnInit() {
  CargarPantallaNube();
  return true;
}

bool CGUISincronizaciones::OnFocus(int controlId) {
  m_controlFoco = controlId;
  return true;
}

bool CGUISincronizaciones::OnClick(int) {
  if (m_controlFoco == kBotonNube && m_pantalla != 0) CargarPantallaNube();
  if (m_controlFoco == kBotonCola && m_pantalla != 1) CargarPantallaProgramadas();
  if (m_controlFoco == kBotonHistorial && m_pantalla != 2) CargarPantallaHistorial();
  return true;
}

void CGUISincronizaciones::Vaciar() {
  if (m_window == nullptr) return;
  m_window->ClearList();
  for (auto& kv : m_items) m_gui->ListItem_destroy(kv.second);
  m_items.clear();
  m_claves.clear();
}

void CGUISincronizaciones::Cargar(unsigned int pantalla) {
  static const char* const kTitulos[] = {"- Grabaciones en nube", "- Sincronizaciones en cola",
                                         "- Historial de sincronizaciones"};
  m_pantalla = pantalla;
  if (m_window == nullptr) return;
  Vaciar();
  const std::string titulo = TheHost().LocalizedString(30231) + kTitulos[pantalla];
  SetControlLabel(kTitulo, titulo.c_str());
  for (const FilaSincronizacion& fila : m_fuente.Filas(pantalla)) {
    CAddonListItem* item = m_gui->ListItem_create(fila.etiqueta.c_str(), fila.etiqueta2.c_str(),
                                                  fila.icono.c_str(), "", "");
    if (item == nullptr) continue;
    for (const auto& p : fila.propiedades) item->SetProperty(p.first.c_str(), p.second.c_str());
    const int indice = static_cast<int>(m_items.size());
    m_items[indice] = item;
    m_claves[indice] = fila.clave;
    m_window->AddItem(item, indice);
  }
}

std::string CGUISincronizaciones::Clave(int posicion) const {
  auto it = m_claves.find(posicion);
  return it == m_claves.end() ? std::string() : it->second;
}

bool CGUISincronizaciones::OnAction(int actionId) {
  if (m_controlFoco != 0 && CloseOnBackAction(actionId)) return true;
  if (m_controlFoco == 0 && actionId == kAccionSinFoco) {
    Close();
    return true;
  }
  if ((actionId != kAccionClic && actionId != kAccionSeleccionar) || m_window == nullptr)
    return false;
  const int posicion = m_window->GetCurrentListPosition();
  if (m_pantalla == 0) AccionNube(posicion);
  if (m_pantalla == 1) AccionCola(posicion);
  return false;
}

void CGUISincronizaciones::AccionNube(int posicion) {
  const std::string id = Clave(posicion);
  if (id.empty()) return;
  const int estado = m_fuente.Estado(id);
  if (estado != 0) {
    // The box follows the press; a refusal is told by the log.
    CGUIContext1Boton elegir(kEliminar);
    if (elegir.ObtenerBotonPulsado() == kBotonPrimero) {
      m_fuente.Eliminar(id);
      Aviso("La sincronizaci\xf3n ha sido eliminada");
    }
  } else {
    CGUIContext2Botones elegir("Sincronizaci\xf3n Inmediata",
                               "A\xf1"
                               "adir a la cola");
    const int boton = elegir.ObtenerBotonPulsado();
    if (boton == kBotonPrimero) m_fuente.Inmediato(id);
    if (boton == kBotonSegundo) m_fuente.Diferido(id);
    if (boton == kBotonPrimero || boton == kBotonSegundo)
      Aviso(
          "La grabaci\xf3n ha sido a\xf1"
          "adida para su sincronizaci\xf3n");
  }
  // Time for the synchronisation to act on a new entry.
  std::this_thread::sleep_for(std::chrono::seconds(1));
  CargarPantallaNube();
  m_window->SetCurrentListPosition(posicion);
}

void CGUISincronizaciones::AccionCola(int posicion) {
  const std::string id = Clave(posicion);
  if (id.empty()) return;
  CGUIContext1Boton elegir(kEliminar);
  if (elegir.ObtenerBotonPulsado() != kBotonPrimero) return;
  m_fuente.Eliminar(id);
  Aviso("La sincronizaci\xf3n ha sido eliminada");
  m_controlFoco = 0;
  CargarPantallaProgramadas();
  if (m_window->GetListSize() > 0) m_window->SetCurrentListPosition(std::max(0, posicion - 1));
}
