#include "backend/Quorvina.h"

extern "C" {
#include <libavformat/avformat.h>
}

#include <algorithm>
#include <chrono>
#include <iterator>
#include <mutex>
#include <thread>

#include "backend/Configuracion.h"
#include "backend/EnlaceSyncRecording.h"
#include "backend/PantallasSincronizacion.h"
#include "backend/ServiciosVodQuorvina.h"
#include "common/Conversions.h"
#include "common/DatosConfiguracion.h"
#include "common/Globals.h"
#include "common/HostServices.h"
#include "common/Log.h"
#include "common/SettingValues.h"
#include "common/StorageLayout.h"
#include "common/Text.h"
#include "discovery/Canales.h"
#include "epg/EPGQuorvina.h"
#include "gui/GUIDialogSi.h"
#include "gui/GUIDialogSiNo.h"
#include "gui/GUISeries.h"
#include "gui/GUISincronizaciones.h"
#include "live/Cliente.h"
#include "live/Rtsp.h"
#include "recordings/Recordings.h"
#include "recordings/Temporizadores.h"
#include "series/Series.h"
#include "series/SyncRecording.h"
#include "services/WebRelay.h"
#include "services/tcpJSON.h"
#include "services/upnp.h"

std::atomic<bool> CargandoCanales{false};

namespace {
constexpr uint32_t kRefreshStepMs = 2000;
constexpr int kRefreshSteps = 1800;  // one hour
constexpr auto kStopPoll = std::chrono::milliseconds(100);
// Every loop polls the stop flag and every network wait is cut in short
// slices, so the whole add-on stops within this.
constexpr auto kStopWait = std::chrono::milliseconds(2000);
// What the destructor may add, for all its workers together, when one of
// them has not ended yet.
constexpr auto kStopWorkers = std::chrono::milliseconds(500);
// A guide request made while the line-up is rebuilt waits this long first.
constexpr auto kEsperaCanales = std::chrono::milliseconds(2000);
constexpr auto kEsperaRodaja = std::chrono::milliseconds(100);

// Milliseconds left before the deadline, at least 1.
int Left(std::chrono::steady_clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
      deadline - std::chrono::steady_clock::now());
  return static_cast<int>(std::max<int64_t>(1, left.count()));
}
}  // namespace

struct Quorvina::AccesoCanales {
  std::mutex mutex;
  const Canales* canales = nullptr;
};

Quorvina::Quorvina() {
  SetThreadName("quorvina");
  CrearDirectorios();
  DireccionProvincia.clear();
  CargandoCanales = false;
  // FFmpeg registers its formats and codecs by itself; only networking needs
  // to be brought up.
  avformat_network_init();
  ObtenerConfiguracionInicial();
  m_tipoSolicitado = configuracionquorvina.TiposdeBusqueda;
  CalcularConfiguracionCanales();
  m_canales = std::make_unique<Canales>();
  m_epg = std::make_unique<EPGQuorvina>(*m_canales);
  // A fresh installation has no stored line-up. The controller's thread
  // discovers it as soon as it starts and the host gets it through the
  // channel triggers: the host must never wait on the network here.
  if (!m_canales->Cargado()) NotificarCadena(NoticeKind::Info, 30501);

  GenerarLogDebug("Webrelay Entrada");
  m_accesoCanales = std::make_shared<AccesoCanales>();
  m_accesoCanales->canales = m_canales.get();
  const auto lineUp = [acceso = m_accesoCanales] {
    std::lock_guard<std::mutex> lock(acceso->mutex);
    return acceso->canales ? acceso->canales->Snapshot() : nullptr;
  };
  m_webrelay = std::make_unique<WebRelay>(lineUp);
  m_webrelay->Start();
  GenerarLogDebug("Webrelay Salida");

  GenerarLogDebug("Upnp Entrada");
  m_upnp = std::make_unique<upnp>(lineUp);
  if (ActivarDLNA) m_upnp->Start();
  GenerarLogDebug("Upnp Salida");

  GenerarLogDebug("Cliente Entrada");
  m_controlReproductor = std::make_unique<tcpJSON>();
  m_cliente = std::make_unique<Cliente>(
      *m_canales, [this] { m_controlReproductor->EstablecerVelocidad(1, true); });
  GenerarLogDebug("Cliente Salida");

  GenerarLogDebug("Series Entrada");
  m_series = std::make_unique<Series>(*m_canales);
  m_epg->Programas().EnlazarSeries(m_series.get());
  GenerarLogDebug("Series Salida");

  GenerarLogDebug("Recordings Entrada");
  m_recordings = std::make_unique<Recordings>(*m_canales);
  m_recordings->EnlazarSeries(m_series.get());
  GenerarLogDebug("Recordings Salida");

  GenerarLogDebug("Rtsp Entrada");
  m_serviciosVod = std::make_unique<ServiciosVodQuorvina>(*m_recordings);
  m_rtsp = std::make_unique<rtsp>(*m_serviciosVod);
  GenerarLogDebug("Rtsp Salida");
  GenerarLogDebug("Temporizadores Entrada");
  m_temporizadores = std::make_unique<Temporizadores>(
      EntornoTemporizador{*m_canales, m_epg.get(), *m_recordings, m_series.get()});
  GenerarLogDebug("Temporizadores Salida");
  // The scheduler books into the timer set: it starts once that exists.
  GenerarLogDebug("Series Programador Entrada");
  m_series->Enlazar(&m_epg->Programas(), m_temporizadores.get(), m_recordings.get());
  m_series->Start();
  GenerarLogDebug("Series Programador Salida");

  GenerarLogDebug("SyncRecording Entrada");
  AjustesSincronizacion ajustes;
  ajustes.sincronizar = sincronizar;
  ajustes.diasantiguedad = diasantiguedad;
  ajustes.inicioventana = inicioventanaSinc;
  ajustes.finalventana = finalventanaSinc;
  ajustes.horasDiferencia = configuracionquorvina.HorasDiferencias;
  ajustes.registroshistorial = registroshistorial;
  m_sync = std::make_unique<SyncRecording>(ajustes, AccesoGrabacionesDe(*m_recordings),
                                           std::make_unique<CopiadorRtsp>(*m_serviciosVod));
  m_enlaceSync = std::make_unique<EnlaceSyncRecording>(*m_sync);
  m_temporizadores->FijarSincronizacion(m_enlaceSync.get());
  // A rule's own age for its recordings' copies.
  Series* series = m_series.get();
  m_sync->FijarReglaSerie([series](const std::string& idSerie, Serie& regla) {
    return series->ObtenerSerie(idSerie, regla);
  });
  m_sync->Start();
  GenerarLogDebug("SyncRecording Salida");
}

Quorvina::~Quorvina() {
  m_ventanaSinc.reset();
  if (m_temporizadores) m_temporizadores->FijarSincronizacion(nullptr);
  // A window the host is inside (a callback, or a modal child opened from
  // one) is left to it, never freed; so are the rules and line-up it reads.
  bool ventanasEnUso = false;
  std::vector<std::unique_ptr<CGUISeries>> ventanas;
  {
    std::lock_guard<std::mutex> lock(m_mutexVentanas);
    ventanas.swap(m_ventanasSeries);
  }
  for (auto& ventana : ventanas) {
    if (!ventana->EnUso()) continue;
    (void)ventana.release();
    ventanasEnUso = true;
  }
  ventanas.clear();  // the host's windows go outside the lock
  if (ventanasEnUso) GenerarLogError("Series: ventana en uso al terminar, no se libera");
  const auto deadline = std::chrono::steady_clock::now() + kStopWorkers;
  // The media server's threads wait in slices: told now, they end while the
  // others stop.
  if (m_upnp) m_upnp->StopThread(-1);
  // The copies stop first: a partial copy is removed and its entry stays
  // queued for the next start.
  const bool sincParada = PLATFORM::StopOwnedWorker(m_sync, Left(deadline), "sincronizacion");
  // The series scheduler books into the timers and the library: it ends
  // before them. The rules themselves outlive every thread that reports to
  // them.
  const bool seriesParadas = !m_series || m_series->StopThread(Left(deadline));
  if (m_series) m_series->Enlazar(nullptr, nullptr, nullptr);
  if (m_recordings) m_recordings->EnlazarSeries(nullptr);
  if (m_epg) m_epg->Programas().EnlazarSeries(nullptr);
  // The timers end their recordings first: each registers its real end in
  // the library. They were signalled with the other workers (ParaProceso),
  // so joining them takes its share of the same budget.
  const bool temporizadoresParados =
      (!m_temporizadores || m_temporizadores->Detener(deadline)) && seriesParadas;
  if (temporizadoresParados) {
    m_temporizadores.reset();
  } else {
    // A timer or the scheduler still running holds the set: kept, never freed.
    (void)m_temporizadores.release();
  }
  PLATFORM::StopWorker(*this, Left(deadline), "quorvina");
  if (PLATFORM::StopOwnedWorker(m_rtsp, Left(deadline), "rtsp") && temporizadoresParados &&
      sincParada) {
    m_serviciosVod.reset();
    m_recordings.reset();  // no thread of its own
  } else {
    // A session or a timer that would not stop still reaches the library.
    (void)m_serviciosVod.release();
    (void)m_recordings.release();
  }
  if (m_cliente) m_cliente->CerrarCanal();
  PLATFORM::StopOwnedWorker(m_cliente, Left(deadline), "cliente");
  PLATFORM::StopOwnedWorker(m_controlReproductor, Left(deadline), "tcpJSON");
  PLATFORM::StopOwnedWorker(m_upnp, Left(deadline), "upnp");
  PLATFORM::StopOwnedWorker(m_webrelay, Left(deadline), "webrelay");
  if (m_accesoCanales) {
    std::lock_guard<std::mutex> lock(m_accesoCanales->mutex);
    m_accesoCanales->canales = nullptr;
  }
  bool epgParada = false;
  if (seriesParadas) {
    epgParada = PLATFORM::StopOwnedWorker(m_epg, Left(deadline), "epg");
  } else if (m_epg) {
    // A scheduler pass still running reads the guide: stopped, never freed.
    PLATFORM::StopWorker(*m_epg, Left(deadline), "epg");
    (void)m_epg.release();
  }
  if (temporizadoresParados && !ventanasEnUso) {
    PLATFORM::StopOwnedWorker(m_canales, Left(deadline), "canales");
  } else if (m_canales) {
    // A timer or a window still running reads the line-up: stopped, never
    // freed.
    PLATFORM::StopWorker(*m_canales, Left(deadline), "canales");
    (void)m_canales.release();
  }
  PLATFORM::StopOwnedWorker(m_configuracion, Left(deadline), "configuracion");
  if (seriesParadas && epgParada && sincParada && !ventanasEnUso) {
    m_series.reset();
  } else {
    (void)m_series.release();  // a thread left running may still report to it
  }
  avformat_network_deinit();
}

void Quorvina::ObtenerConfiguracionInicial() {
  m_configuracion = std::make_unique<Configuracion>();
  if (m_configuracion->ObtenerConfiguracion()) return;

  const DatosConfiguracion& conf = configuracionquorvina;
  NotificarCadena(NoticeKind::Error, 30513);
  if (detalleepg || TipoGrabacionPorDefecto != 2) NotificarCadena(NoticeKind::Error, 30514);
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
    // Read and cleared in one step: a request arriving meanwhile is kept.
    if (m_recargar.exchange(false)) AplicarConfiguracionCanales();
    ObtenerDatosBasicos(true);
    for (int step = 0; step < kRefreshSteps && !PararProceso && !m_recargar; ++step) {
      SleepFor(kRefreshStepMs);
    }
  }
  GenerarLogDebug("Salida Process Quorvina");
  return nullptr;
}

void Quorvina::ParaProceso() {
  const auto deadline = std::chrono::steady_clock::now() + kStopWait;
  // Timer threads are told at once, so their recordings close while the
  // other workers stop.
  if (m_temporizadores) m_temporizadores->Avisar();
  while (Running() || (m_temporizadores && m_temporizadores->Activos()) || m_canales->Running() ||
         m_configuracion->Running() || m_epg->Running() || m_epg->Programas().Running() ||
         m_cliente->Running() || m_webrelay->Running() || m_upnp->Running() ||
         m_upnp->Http().Running() || (m_series && m_series->Running()) ||
         (m_sync && (m_sync->Running() || m_sync->CopiaEnCurso()))) {
    if (std::chrono::steady_clock::now() >= deadline) {
      GenerarLogError("ParaProceso: quedan procesos en marcha");
      return;
    }
    std::this_thread::sleep_for(kStopPoll);
  }
}

void Quorvina::GetEPGForChannel(unsigned int channel, time_t start, time_t end,
                                const EntradaSink& sink) {
  if (CargandoCanales) {
    const auto until = std::chrono::steady_clock::now() + kEsperaCanales;
    while (!PararProceso && std::chrono::steady_clock::now() < until) {
      std::this_thread::sleep_for(kEsperaRodaja);
    }
  }
  if (PararProceso) return;
  // The on-demand channel's entry is the asset the RTSP client plays.
  if (channel == CanalVOD) {
    m_rtsp->GetEPGVOD(sink);
    return;
  }
  m_epg->GetEPGForChannel(channel, start, end, sink);
}

bool Quorvina::CambiarCanal(int canalId) {
  CerrarCanal();
  return AbrirCanal(canalId);
}

void Quorvina::PauseStream(bool pausado) {
  m_pausado = pausado;
  Reproduccion().PauseStream(pausado);
}

void Quorvina::SetSpeed(int velocidadHost) {
  Reproduccion().EstablecerVelocidad(VelocidadCliente(velocidadHost));
}

int Quorvina::ObtenerCanalActual() const {
  return m_cliente->ObtenerCanalActual();
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

void Quorvina::RecargarCanales(bool preguntar) {
  if (preguntar) {
    // Texts are kept in Windows-1252, as every stored dialog text.
    CGUIDialogSiNo pregunta(De1252aUTF8("Recargar canales"),
                            De1252aUTF8("Se va a eliminar el fichero de canales.\r\n\xbf"
                                        "Est\xe1 seguro?"));
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

void Quorvina::VisualizarSeries() {
  auto ventana = std::make_unique<CGUISeries>(*m_series, *m_canales);
  CGUISeries* mostrar = ventana.get();
  std::vector<std::unique_ptr<CGUISeries>> cerradas;
  {
    // One window object per opening; earlier ones go once closed and out
    // of their callbacks, an open one is never freed.
    std::lock_guard<std::mutex> lock(m_mutexVentanas);
    auto libres = std::stable_partition(m_ventanasSeries.begin(), m_ventanasSeries.end(),
                                        [](const auto& v) { return v->Abierta() || v->EnUso(); });
    std::move(libres, m_ventanasSeries.end(), std::back_inserter(cerradas));
    m_ventanasSeries.erase(libres, m_ventanasSeries.end());
    m_ventanasSeries.push_back(std::move(ventana));
  }
  cerradas.clear();  // destroyed outside the lock: the host is called
  mostrar->Show();
}

bool Quorvina::GrabarenLocalRecording(const std::string& id) {
  // A refused id is logged by the synchronisation; the menu has no answer
  // for it.
  m_sync->AgnadirRecordingInmediato(id, "R");
  return true;
}

void Quorvina::VisualizarSincronizaciones() {
  if (!m_ventanaSinc) {
    m_pantallasSinc = std::make_unique<PantallasSincronizacion>(*m_sync, *m_recordings, *m_canales);
    m_ventanaSinc = std::make_unique<CGUISincronizaciones>(*m_pantallasSinc);
  }
  m_ventanaSinc->Show();
}

void Quorvina::RecargarTemporizadores() {
  CGUIDialogSi aviso(De1252aUTF8("Utilidades"),
                     De1252aUTF8("Se va a proceder a la recarga de temporizadores y grabaciones"));
  aviso.Show();
  TheHost().TriggerTimerUpdate();
  TheHost().TriggerRecordingUpdate();
}

void Quorvina::RecargarEPG() {
  CGUIDialogSi aviso(De1252aUTF8("Utilidades"),
                     De1252aUTF8("Se va a proceder a la recarga del EPG desde ficheros"));
  aviso.Show();
  for (const auto& entry : m_canales->Snapshot()->channels) {
    if (PararProceso) break;
    if (static_cast<unsigned int>(entry.first) == CanalVOD) continue;
    TheHost().TriggerEpgUpdate(static_cast<unsigned int>(entry.first));
  }
}
