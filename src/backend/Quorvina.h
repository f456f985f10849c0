// The backend controller: owns every worker, runs the hourly refresh of the
// line-up and routes the host's calls to the worker that owns the data.
#pragma once

#include <atomic>
#include <ctime>
#include <map>
#include <string>
#include <vector>

#include "common/Thread.h"
#include "discovery/Canal.h"
#include "host/xbmc_pvr_types.h"

class Quorvina : public PLATFORM::CThread {
 public:
  Quorvina();
  ~Quorvina() override;

  void* Process() override;
  // Waits, polling every 250 ms, until the controller and the watched
  // workers have ended their loops (called after PararProceso was raised).
  void ParaProceso();

  // Channels and groups.
  std::map<int, Canal> GetChannels();
  int GetChannelsAmount();
  std::map<std::string, PVR_CHANNEL_GROUP> GetChannelGroup();
  int GetChannelGroupsAmount();
  std::vector<PVR_CHANNEL_GROUP_MEMBER> GetChannelGroupMembers(const std::string& group);
  void GetEPGForChannel(ADDON_HANDLE handle, void* list, const PVR_CHANNEL& channel, time_t start,
                        time_t end);

  // Timers and recordings.
  int GetTimersAmount();
  void AddTimer(const PVR_TIMER& timer);
  void DeleteTimer(unsigned int index, bool force);
  void UpdateTimer(const PVR_TIMER& timer);
  int GetRecordingsAmount();
  void DeleteRecording(const PVR_RECORDING& recording);
  void RenameRecording(const PVR_RECORDING& recording);
  void SetRecordingPlayCount(const std::string& id, int count);
  void SetRecordingLastPlayedPosition(const std::string& id, int position);
  int GetRecordingLastPlayedPosition(const std::string& id);
  void LimpiarGrabacionesSinFichero();

  // Streams.
  bool AbrirCanal(const PVR_CHANNEL& channel);
  void CerrarCanal();
  bool CambiarCanal(const PVR_CHANNEL& channel);
  int ObtenerCanalActual();
  bool AbrirRecording(const std::string& id);
  bool AbrirCatchup(unsigned int guideId);
  DemuxPacket* DemuxRead();
  void GetStreamProperties(PVR_STREAM_PROPERTIES* properties);
  void PauseStream(bool paused);
  bool SeekTime(int time, bool backwards, double* start);
  void SetSpeed(int speed);
  time_t GetPlayingTime();
  time_t GetBufferTimeStart();
  time_t GetBufferTimeEnd();

  // Menu actions.
  bool GrabarenLocalRecording(const std::string& id);
  void VisualizarSeries();
  void VisualizarSincronizaciones();
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
  void CargarCanales();
  void GenerarEPG(const std::string& bcg);

  // Profile from the server or its cache; forced defaults when neither works.
  void ObtenerConfiguracionInicial();

  void AplicarConfiguracionCanales();

  std::atomic<bool> m_recargar{false};
  std::atomic<int> m_tipoSolicitado{0};
};

extern Quorvina* quorvina;
extern std::string DireccionProvincia;
extern int PuertoProvincia;
// The operator's DNS domain that follows "DEM_" + demarcation in the
// service-provider names of the entry point.
extern std::string SufijoDominioOperador;
extern std::atomic<bool> CargandoCanales;
extern std::atomic<bool> Pausado;
