#include "gui/GUIOpcionesGrabacion.h"

#include <string>

#include "common/Text.h"
#include "gui/GuiBinding.h"
#include "gui/OpcionesSerie.h"

namespace {
constexpr int kControlTitulo = 1;
constexpr int kControlCloud = 7;
constexpr int kControlCancelar = 10;
constexpr int kControlAceptar = 11;
constexpr int kControlTipoCanal = 13;
constexpr int kControlTextoTemporadas = 14;
constexpr int kControlPrimeraTemporada = 15;
constexpr int kMaxTemporada = 50;
}  // namespace

CGUIOpcionesGrabacion::CGUIOpcionesGrabacion(OpcionesSerie& serie)
    : CGUIDialogBase("DialogOpcionesGrabacion.xml"), m_serie(serie) {}

CGUIOpcionesGrabacion::~CGUIOpcionesGrabacion() {
  if (m_window == nullptr) return;
  m_gui->Control_releaseSpin(m_spinTipoCanal);
  m_gui->Control_releaseRadioButton(m_radioCloud);
  for (CAddonGUISpinControl* spin : m_spinsTemporada) m_gui->Control_releaseSpin(spin);
}

bool CGUIOpcionesGrabacion::PulsadoOK() {
  DoModal();
  if (!m_resultado) return false;
  GuardarOpciones();
  return true;
}

bool CGUIOpcionesGrabacion::OnInit() {
  SetControlLabel(kControlTitulo, De1252aUTF8("Opciones de grabaci\xf3n").c_str());
  SetControlLabel(kControlTextoTemporadas,
                  De1252aUTF8("Grabar solo las siguientes temporadas (vacio todas):").c_str());

  // Fetched once, should the host initialise the window again.
  if (m_spinTipoCanal == nullptr)
    m_spinTipoCanal = m_gui->Control_getSpin(m_window, kControlTipoCanal);
  if (m_spinTipoCanal != nullptr) {
    m_spinTipoCanal->Clear();
    m_spinTipoCanal->AddLabel("Indistinto", 0);
    m_spinTipoCanal->AddLabel("Solo HD", 1);
    m_spinTipoCanal->AddLabel("Solo SD", 2);
    m_spinTipoCanal->SetValue(m_serie.TipodeCanal);
  }

  if (m_radioCloud == nullptr)
    m_radioCloud = m_gui->Control_getRadioButton(m_window, kControlCloud);
  if (m_radioCloud != nullptr) m_radioCloud->SetSelected(m_serie.Cloud);

  for (int i = 0; i < kSpinsTemporada; ++i) {
    CAddonGUISpinControl*& spin = m_spinsTemporada[i];
    if (spin == nullptr) spin = m_gui->Control_getSpin(m_window, kControlPrimeraTemporada + i);
    if (spin == nullptr) continue;
    spin->Clear();
    spin->AddLabel("", 0);
    for (int t = 1; t <= kMaxTemporada; ++t) spin->AddLabel(("T. " + std::to_string(t)).c_str(), t);
    spin->SetValue(0);
  }

  // Only the first three chosen seasons fit; 0 is no choice.
  int next = 0;
  for (int temporada : m_serie.Temporadas) {
    if (next == kSpinsTemporada) break;
    if (temporada <= 0) continue;
    if (m_spinsTemporada[next] != nullptr) m_spinsTemporada[next]->SetValue(temporada);
    ++next;
  }
  return true;
}

bool CGUIOpcionesGrabacion::OnClick(int controlId) {
  if (controlId == kControlAceptar) {
    m_resultado = true;
    Close();
  } else if (controlId == kControlCancelar) {
    Close();
  }
  return true;
}

bool CGUIOpcionesGrabacion::OnAction(int actionId) {
  return CloseOnBackAction(actionId);
}

void CGUIOpcionesGrabacion::GuardarOpciones() {
  if (m_spinTipoCanal != nullptr) m_serie.TipodeCanal = m_spinTipoCanal->GetValue();
  if (m_radioCloud != nullptr) m_serie.Cloud = m_radioCloud->IsSelected();
  // A window file without the three season spins cannot show the list, so it
  // must not wipe it either.
  for (CAddonGUISpinControl* spin : m_spinsTemporada) {
    if (spin == nullptr) return;
  }
  m_serie.Temporadas.clear();
  for (CAddonGUISpinControl* spin : m_spinsTemporada) {
    const int temporada = spin->GetValue();
    if (temporada != 0) m_serie.Temporadas.push_back(temporada);
  }
}
