// The library of finished recordings: one metadata file per recording,
// loaded at start, the local recordings the timers make and the cloud
// recordings the application server lists, merged at each listing. It
// answers the host's recording calls and offers the clean-up of local
// recordings whose video file is gone.
//
// Host, timer and RTSP threads call it: both maps change under one lock,
// readers get copies, and no file, network or host call runs under it.
#pragma once

#include <atomic>
#include <ctime>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "common/XMLNode.h"
#include "epg/DetalleProgramaEPG.h"
#include "recordings/DatosGrabacion.h"
#include "recordings/DatosTemporizador.h"

class Canales;
class EnlaceSeries;
struct Canal;
struct EntradasOmitidas;

using MapaGrabaciones = std::map<std::string, DatosGrabacion>;

// Set after each listing; the series scheduler waits for it.
extern std::atomic<bool> recordingCargadoCompleto;

class Recordings {
 public:
  // Loads the library (pictures missing then are fetched at the first
  // listing, never while the host waits for the add-on to start).
  explicit Recordings(const Canales& canales);

  void CargarRecordings();
  // The series rules the library reports to (null: none).
  // The recordings already read reach the rules at the link too, so that a
  // rule read at start holds the recordings its history names.
  void EnlazarSeries(EnlaceSeries* series);
  // One metadata file, repaired (series file names, picture); an empty
  // record when it can't be read.
  DatosGrabacion LeerRecordings(const std::string& path, bool descargar = true);
  bool GrabarRecordings(const DatosGrabacion& grabacion);
  // A local recording started (numero -1 takes a new number) or ended.
  int AddRecording(const DatosTemporizador& timer, const std::string& fichero, const Canal* canal,
                   time_t inicio, time_t fin, int numero);
  int GetContadorRecording();
  void SetContadorRecording(int contador);
  // Folder, synopsis, channel name and picture.
  void CompletarDatos(DatosGrabacion& grabacion);
  void ComprobarLogo(int canal, const std::string& id, int broadcastId, std::string& nombreCanal,
                     std::string& icono, bool descargar = true);

  // Refreshes the cloud part and gives the host's list.
  std::vector<DatosGrabacion> GetRecordings();
  int GetRecordingsAmount() const;
  bool CargarRecordingsCloud();
  bool GetRecording(const std::string& id, DatosGrabacion& out) const;
  MapaGrabaciones GetLstRecordings() const;
  MapaGrabaciones GetCloudRecordings() const;

  void DeleteRecording(const std::string& id, const std::string& streamUrl);
  void BorrarRecording(const std::string& id, const std::string& video, bool conMedia);
  void RenameRecording(const std::string& id, const std::string& titulo);
  void SetRecordingPlayCount(const std::string& id, int count);
  int GetRecordingPlayCount(const std::string& id) const;
  void SetRecordingLastPlayedPosition(const std::string& id, int position);
  int GetRecordingLastPlayedPosition(const std::string& id) const;
  void LimpiarGrabacionesSinFichero();
  void PasarRecordingaLocal(const std::string& id, const std::string& path, int duracion);
  bool ModificarRutaGrabacion(DatosGrabacion& grabacion, const std::string& ruta);

  static std::string RecordingValorClave(const XMLNode& node, const char* name);
  // The fields of a parsed metadata file; *sinHD tells that it gave no HD.
  static DatosGrabacion DesdeXML(const XMLNode& root, bool* sinHD = nullptr);
  // The stored texts of the three files.
  static std::string GenerarXML(const DatosGrabacion& grabacion);
  static std::string GenerarXMLContador(int contador);
  static std::string GenerarXMLLastPlay(int position);

  static std::string FicheroMetadatos(const std::string& id);
  static std::string FicheroLastPlay(const std::string& id);
  static std::string FicheroLogo(const std::string& id);

 private:
  void ComprobarGrabacionesCloud(const MapaGrabaciones& nube, const EntradasOmitidas& omitidas);
  void CompletarImagenesPendientes();
  // Rewrites an entry's file from the library. Rewrites go one at a time,
  // each with the entry as it is then, so changes made at once all reach it.
  bool GuardarEntrada(const std::string& id);
  bool EsCloud(const std::string& id) const;
  bool CanalConocido(int id, Canal& canal) const;
  // The host's labels of the details summary, asked for once.
  const EtiquetasDetalle& Etiquetas();
  // Reports to the series rules, when they are linked.
  void ActualizarSerie(const DatosGrabacion& grabacion);
  void EliminarSerie(const DatosGrabacion& grabacion);

  const Canales& m_canales;
  std::atomic<EnlaceSeries*> m_series{nullptr};
  std::mutex m_escritura;             // orders the rewrites of metadata files; taken before m_mutex
  mutable std::mutex m_mutex;         // guards the five below
  MapaGrabaciones m_lista;            // the library
  MapaGrabaciones m_nube;             // the server's last list of finished recordings
  std::set<std::string> m_sinImagen;  // pictures to fetch at the next listing
  std::set<std::string> m_avisadas;   // cloud ids hidden by a local number, logged once
  int m_ultimo = 0;                   // the last recording number given out
  std::once_flag m_etiquetasLeidas;
  EtiquetasDetalle m_etiquetas;
};
