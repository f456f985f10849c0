#include "backend/Quorvina.h"

extern "C" {
#include <libavformat/avformat.h>
}

#include <chrono>
#include <thread>

#include "addon/AddonBinding.h"
#include "addon/PvrBinding.h"
#include "addon/Settings.h"
#include "addon/StorageLayout.h"
#include "backend/Configuracion.h"
#include "backend/DatosConfiguracion.h"
#include "common/Conversions.h"
#include "common/Globals.h"
#include "common/Log.h"
#include "common/Text.h"
#include "discovery/Canales.h"
#include "gui/GUIDialogSi.h"
#include "gui/GUIDialogSiNo.h"

Quorvina* quorvina = nullptr;
std::atomic<bool> CargandoCanales{false};
std::atomic<bool> Pausado{false};

namespace {
constexpr uint32_t kRefreshStepMs = 2000;
constexpr int kRefreshSteps = 1800;  // one hour
constexpr uint32_t kStopPollMs = 250;
}  // namespace

Quorvina::Quorvina() {
  SetThreadName("quorvina");
  CrearDirectorios();
  CargandoCanales = false;
  // FFmpeg registers its formats and codecs by itself; only networking needs
  // to be brought up.
  avformat_network_init();
  ObtenerConfiguracionInicial();
  m_tipoSolicitado = configuracionquorvina.TiposdeBusqueda;
  CalcularConfiguracionCanales();
  canales = new Canales();
  // A fresh installation has no stored line-up: discover it now, so the
  // host has channels when create returns.
  if (!canales->Cargado()) {
    XBMC->QueueNotification(QUEUE_INFO, "%s", XBMC->GetLocalizedString(30501).c_str());
    ObtenerDatosBasicos(false);
  }
}

Quorvina::~Quorvina() {
  StopThread(0);
  delete canales;
  canales = nullptr;
  delete configuracion;
  configuracion = nullptr;
  avformat_network_deinit();
}

void Quorvina::ObtenerConfiguracionInicial() {
  configuracion = new Configuracion();
  if (configuracion->ObtenerConfiguracion()) return;

  const DatosConfiguracion& conf = configuracionquorvina;
  XBMC->QueueNotification(QUEUE_ERROR, "%s", XBMC->GetLocalizedString(30513).c_str());
  if (detalleepg || TipoGrabacionPorDefecto != 2) {
    XBMC->QueueNotification(QUEUE_ERROR, "%s", XBMC->GetLocalizedString(30514).c_str());
  }
  detalleepg = false;
  TipoGrabacionPorDefecto = 2;
  ConexionEnNubeActivada = false;
  GenerarLogDebug("Configuracion aplicada");
  GenerarLogDebug("Configuracion por defecto 1:" + conf.IPInicial + "-" +
                  convertInttoString(conf.PuertoInicial));
  GenerarLogDebug("Configuracion por defecto 2:" + conf.Provincia + "-" +
                  convertInttoString(conf.HorasDiferencias));
}

void* Quorvina::Process() {
  GenerarLogDebug("Entrada Process Quorvina");
  while (!PararProceso) {
    if (m_recargar) AplicarConfiguracionCanales();
    m_recargar = false;
    ObtenerDatosBasicos(true);
    for (int step = 0; step < kRefreshSteps && !PararProceso && !m_recargar; ++step) {
      SleepFor(kRefreshStepMs);
    }
  }
  GenerarLogDebug("Salida Process Quorvina");
  return nullptr;
}

void Quorvina::ParaProceso() {
  while (Running()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(kStopPollMs));
  }
}

void Quorvina::CalcularConfiguracionCanales() {
  DatosConfiguracion& conf = configuracionquorvina;
  conf.TodosPaquetes = conf.paquetes.empty();
  conf.OcultarSustituidos = true;
  switch (conf.TiposdeBusqueda) {
    case 1:
      conf.TodosPaquetes = true;
      conf.OcultarSustituidos = true;
      conf.CargarCanalesHD = true;
      break;
    case 2:
      conf.TodosPaquetes = true;
      conf.OcultarSustituidos = false;
      conf.CargarCanalesHD = false;
      break;
    case 3:
      conf.TodosPaquetes = true;
      conf.OcultarSustituidos = false;
      conf.CargarCanalesHD = true;
      break;
    default:
      break;
  }
}

void Quorvina::CargarCanales() {
  if (canales != nullptr) canales->CargarCanales();
}

void Quorvina::GenerarEPG(const std::string& /*bcg*/) {}

void Quorvina::RecargarCanales(bool preguntar) {
  if (preguntar) {
    // Texts are kept in Windows-1252, as every stored dialog text.
    CGUIDialogSiNo pregunta(
        De1252aUTF8("Recargar canales"),
        De1252aUTF8("Se va a eliminar el fichero de canales.\r\n\xbf" "Est\xe1 seguro?"));
    if (!pregunta.PulsadoOK()) return;
  }
  // The filter is recomputed by the controller's thread at the start of the
  // pass this request wakes.
  m_recargar = true;
}

void Quorvina::SolicitarTiposdeBusqueda(int tipo) {
  m_tipoSolicitado = tipo;
  RecargarCanales(false);
}

void Quorvina::AplicarConfiguracionCanales() {
  configuracionquorvina.TiposdeBusqueda = m_tipoSolicitado;
  CalcularConfiguracionCanales();
}

void Quorvina::RecargarTemporizadores() {
  CGUIDialogSi aviso(De1252aUTF8("Utilidades"),
                     De1252aUTF8("Se va a proceder a la recarga de temporizadores y grabaciones"));
  aviso.Show();
  if (PVR == nullptr) return;
  PVR->TriggerTimerUpdate();
  PVR->TriggerRecordingUpdate();
}

void Quorvina::RecargarEPG() {
  CGUIDialogSi aviso(De1252aUTF8("Utilidades"),
                     De1252aUTF8("Se va a proceder a la recarga del EPG desde ficheros"));
  aviso.Show();
  if (PVR == nullptr) return;
  for (const auto& entry : GetChannels()) {
    if (PararProceso) break;
    if (static_cast<unsigned int>(entry.first) == CanalVOD) continue;
    PVR->TriggerEpgUpdate(static_cast<unsigned int>(entry.first));
  }
}

std::map<int, Canal> Quorvina::GetChannels() {
  return canales != nullptr ? canales->GetCanales() : std::map<int, Canal>();
}
int Quorvina::GetChannelsAmount() {
  return canales != nullptr ? canales->NumeroCanales() : 0;
}
std::map<std::string, PVR_CHANNEL_GROUP> Quorvina::GetChannelGroup() {
  return canales != nullptr ? canales->GetChannelGroups()
                            : std::map<std::string, PVR_CHANNEL_GROUP>();
}
int Quorvina::GetChannelGroupsAmount() {
  return canales != nullptr ? canales->NumeroGrupos() : 0;
}
std::vector<PVR_CHANNEL_GROUP_MEMBER> Quorvina::GetChannelGroupMembers(const std::string& group) {
  return canales != nullptr ? canales->GetChannelGroupMembers(group)
                            : std::vector<PVR_CHANNEL_GROUP_MEMBER>();
}
void Quorvina::GetEPGForChannel(ADDON_HANDLE, void*, const PVR_CHANNEL&, time_t, time_t) {
  // The guide is not kept yet; while the line-up is being rebuilt the host is
  // held back briefly so that it does not ask for channels about to change.
  if (CargandoCanales) SleepFor(kRefreshStepMs);
}

int Quorvina::GetTimersAmount() {
  return 0;
}
void Quorvina::AddTimer(const PVR_TIMER&) {}
void Quorvina::DeleteTimer(unsigned int, bool) {}
void Quorvina::UpdateTimer(const PVR_TIMER&) {}
int Quorvina::GetRecordingsAmount() {
  return 0;
}
void Quorvina::DeleteRecording(const PVR_RECORDING&) {}
void Quorvina::RenameRecording(const PVR_RECORDING&) {}
void Quorvina::SetRecordingPlayCount(const std::string&, int) {}
void Quorvina::SetRecordingLastPlayedPosition(const std::string&, int) {}
int Quorvina::GetRecordingLastPlayedPosition(const std::string&) {
  return -1;
}
void Quorvina::LimpiarGrabacionesSinFichero() {}

bool Quorvina::AbrirCanal(const PVR_CHANNEL&) {
  Pausado = false;
  return false;
}
void Quorvina::CerrarCanal() {
  Pausado = false;
}
bool Quorvina::CambiarCanal(const PVR_CHANNEL& channel) {
  CerrarCanal();
  return AbrirCanal(channel);
}
int Quorvina::ObtenerCanalActual() {
  return 0;
}
bool Quorvina::AbrirRecording(const std::string&) {
  return false;
}
bool Quorvina::AbrirCatchup(unsigned int) {
  return false;
}
DemuxPacket* Quorvina::DemuxRead() {
  return nullptr;
}
void Quorvina::GetStreamProperties(PVR_STREAM_PROPERTIES*) {}
void Quorvina::PauseStream(bool paused) {
  Pausado = paused;
}
bool Quorvina::SeekTime(int, bool, double*) {
  return false;
}
void Quorvina::SetSpeed(int) {}
time_t Quorvina::GetPlayingTime() {
  return 0;
}
time_t Quorvina::GetBufferTimeStart() {
  return 0;
}
time_t Quorvina::GetBufferTimeEnd() {
  return 0;
}

bool Quorvina::GrabarenLocalRecording(const std::string&) {
  return true;
}
void Quorvina::VisualizarSeries() {}
void Quorvina::VisualizarSincronizaciones() {}
