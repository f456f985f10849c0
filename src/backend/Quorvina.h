// The backend controller: builds the folder tree, fetches the subscriber's
// profile, owns every worker, and runs the hourly refresh of the line-up.
// The entry points reach each subsystem through the narrow handle it offers.
#pragma once

#include <atomic>
#include <cstdint>
#include <ctime>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "common/Thread.h"
#include "epg/EPG_Quorvina.h"

class Canales;
class Cliente;
class Configuracion;
class EPGQuorvina;
class Recordings;
class CGUISeries;
class Series;
class ServiciosVodQuorvina;
class rtsp;
class Temporizadores;
class SyncRecording;
class EnlaceSyncRecording;
class DemuxSource;
class CGUISincronizaciones;
class PantallasSincronizacion;
class tcpJSON;
class WebRelay;
class upnp;

class Quorvina : public PLATFORM::CThread {
 public:
  Quorvina();
  // Stops the workers it owns in the reverse order of their start, each
  // within its time limit.
  ~Quorvina() override;

  void* Process() override;
  // Waits, polling every 100 ms and at most two seconds, until the
  // controller and its workers have ended their loops (called after
  // PararProceso was raised).
  void ParaProceso();

  // The channel line-up, to read.
  const Canales& ListaCanales() const { return *m_canales; }
  // The programme guide.
  EPGQuorvina& Guia() { return *m_epg; }
  // The recordings library (local and cloud recordings).
  Recordings& Grabaciones() { return *m_recordings; }
  // The timers (local recordings and cloud bookings).
  Temporizadores& ListaTemporizadores() { return *m_temporizadores; }
  // The series rules.
  Series& ReglasSeries() { return *m_series; }
  // The series list window, shown without waiting.
  void VisualizarSeries();
  // The copies of cloud recordings to local files.
  SyncRecording& Sincronizacion() { return *m_sync; }
  // Menu hook 4: a cloud recording copied at once; false when refused.
  bool GrabarenLocalRecording(const std::string& id);
  // Menu hook 2: the window of the copies, shown without waiting.
  void VisualizarSincronizaciones();
  // The guide of one channel for the host, entry by entry. Waits a little
  // while the line-up is being rebuilt; the on-demand channel has none yet.
  void GetEPGForChannel(unsigned int channel, time_t start, time_t end, const EntradaSink& sink);

  // Playback. The on-demand channel plays the recording or catch-up
  // programme asked for last, through the RTSP client; every other channel
  // is live. Calls about the open stream go to the client that opened it.
  bool AbrirCanal(int canalId);
  void CerrarCanal();
  bool CambiarCanal(int canalId);
  // The stream the host is playing, for its playback calls.
  DemuxSource& Reproduccion();
  void PauseStream(bool pausado);
  // The host's speed (1000 is normal) reaches the client divided by 1000.
  void SetSpeed(int velocidadHost);
  static int VelocidadCliente(int velocidadHost) { return velocidadHost / 1000; }
  int ObtenerCanalActual() const;
  // The host has paused; cleared by every open, switch and close.
  bool Pausado() const { return m_pausado; }

  // A cloud recording, or a past programme of the guide: noted, and the
  // host's player switched to the on-demand channel. False to the host.
  bool AbrirRecording(const std::string& id);
  bool AbrirCatchup(int programa);

  // Menu actions.
  void RecargarCanales(bool preguntar);
  // A new search type from the settings: applied by the controller's own
  // thread before the reload it asks for, so that the channel filter is
  // never changed under a running pass.
  void SolicitarTiposdeBusqueda(int tipo);
  int TiposdeBusquedaSolicitado() const { return m_tipoSolicitado; }
  void RecargarTemporizadores();
  void RecargarEPG();

  // Channel filter derived from the search type.
  static void CalcularConfiguracionCanales();

  // One discovery pass: entry point, regional server, line-up (and guide).
  bool ObtenerDatosBasicos(bool conGuia);
  // Picks the subscriber's regional server from the service-provider record.
  static void ObtenerDireccionyPuertoProvincia(const std::string& xml);

 private:
  // Profile from the server or its cache; forced defaults when neither works.
  void ObtenerConfiguracionInicial();
  void PedirVod(const std::string& id, bool esCatchup);
  // The asked-for asset through the RTSP client.
  bool AbrirVod();
  void AplicarConfiguracionCanales();

  std::unique_ptr<Configuracion> m_configuracion;
  std::unique_ptr<Canales> m_canales;
  std::unique_ptr<EPGQuorvina> m_epg;
  // The relay's way to the line-up, cut before the line-up is freed: a
  // relay that does not stop in time is let go still running.
  struct AccesoCanales;
  std::shared_ptr<AccesoCanales> m_accesoCanales;
  std::unique_ptr<WebRelay> m_webrelay;
  // The home-network media server; its HTTP side runs even when it does
  // not announce itself.
  std::unique_ptr<upnp> m_upnp;
  // Restores the host player's speed for the live client.
  std::unique_ptr<tcpJSON> m_controlReproductor;
  std::unique_ptr<Cliente> m_cliente;
  std::unique_ptr<Series> m_series;
  std::mutex m_mutexVentanas;  // guards the list below
  std::vector<std::unique_ptr<CGUISeries>> m_ventanasSeries;
  std::unique_ptr<Recordings> m_recordings;
  std::unique_ptr<ServiciosVodQuorvina> m_serviciosVod;
  std::unique_ptr<rtsp> m_rtsp;
  // The open stream is the on-demand one.
  std::atomic<bool> m_abiertoVod{false};
  std::unique_ptr<Temporizadores> m_temporizadores;
  std::unique_ptr<SyncRecording> m_sync;
  std::unique_ptr<EnlaceSyncRecording> m_enlaceSync;  // the timer set's way to the copies
  // The copies' window, created at its first showing; it lives on after it
  // closes, as the host may still call it back.
  std::unique_ptr<PantallasSincronizacion> m_pantallasSinc;
  std::unique_ptr<CGUISincronizaciones> m_ventanaSinc;
  std::atomic<bool> m_pausado{false};
  std::atomic<bool> m_recargar{false};
  std::atomic<int> m_tipoSolicitado{0};
};

extern std::string DireccionProvincia;
extern int PuertoProvincia;
// The operator's DNS domain that follows "DEM_" + demarcation in the
// service-provider names of the entry point.
extern std::string SufijoDominioOperador;
extern std::atomic<bool> CargandoCanales;
// On-demand routing: an asset is asked for (`vod`), a catch-up programme
// rather than a recording, and the host's id of the "V.O.D" channel (all
// ones until learned).
extern std::atomic<bool> vod;
extern std::atomic<bool> catchup;
extern std::atomic<uint32_t> canalvod;
