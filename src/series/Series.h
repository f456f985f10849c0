// The series rules: one file per rule and one history of recorded episodes
// per rule, fed by the guide, the timer set and the library, and a thread
// that books the upcoming episodes of the active rules as timers.
//
// One lock guards the rules. The guide's threads, the host's, the timers'
// and the scheduler meet here; none of them holds it across a call into the
// timer set (which reports back), an HTTP fetch, a file or a host call.
// Callers outside name a rule by its IdStrSerie and get copies.
#pragma once

#include <atomic>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "common/Thread.h"
#include "common/XMLNode.h"
#include "epg/EnlaceSeriesGuia.h"
#include "gui/FichaSerie.h"
#include "recordings/EnlaceSeries.h"
#include "series/Serie.h"

class Canales;
class ProgramasEPG;
class Recordings;
class Temporizadores;

class Series : public PLATFORM::CThread,
               public EnlaceSeries,
               public EnlaceSeriesGuia,
               public OperacionesSeries {
 public:
  // Loads every rule and its history.
  explicit Series(const Canales& canales);
  ~Series() override;

  // The guide, the timer set and the library the rules wait for, book into
  // and follow; set once before the thread starts.
  void Enlazar(ProgramasEPG* guia, Temporizadores* temporizadores, Recordings* grabaciones);

  void CargarSeries();
  void* Process() override;
  // One pass of the scheduler; true when a timer was booked.
  bool ProgramarSeries();
  // Ends the scheduler's current wait.
  void Despertar() { m_despertar = true; }

  // The guide's hooks.
  void ComprobarSerie(const EPG_Quorvina& entry) override;
  void LimpiarSeriesCanal(int channel) override;
  void LimpiarSeries() override;

  // The timer set's and the library's reports.
  void ActualizarTemporizador(const DatosTemporizador& timer) override;
  void ActualizarRecording(const DatosGrabacion& grabacion) override;
  void EliminarRecording(const DatosGrabacion& grabacion) override;
  std::vector<DatosTemporizador> ObtenerSeriesProgramas() override;
  bool PreguntarProgramarSerie(const std::string& idSerie, bool* cloud,
                               const CajaAbierta& abierta) override;

  // A copy of one rule; false when there is none.
  bool ObtenerSerie(const std::string& id, Serie& copia) const;
  // The rules' ids in ascending order.
  std::vector<std::string> Identificadores() const override;
  // What the windows show of a rule.
  bool Ficha(const std::string& id, FichaSerie& ficha) const override;
  void ActualizarDescripcion(const std::string& id, const std::string& plot,
                             const std::string& outline) override;
  // Takes the options, activates and stores the rule, follows its recordings.
  bool ProgramarSerie(const std::string& id, const OpcionesSerie& opciones) override;
  // New options for an active rule: its pending timers go, the rule is
  // booked again by the next pass.
  bool CambiarOpciones(const std::string& id, const OpcionesSerie& opciones) override;
  void PausarSerie(const std::string& id) override;
  void EliminarSerie(const std::string& id, bool conTrackings) override;
  void EliminarTrackings(const std::string& id);
  // Deletes the track's recording, when the rule holds it, and the track.
  void EliminarTrack(const std::string& id, const std::string& idTrack) override;
  void AgnadirTrack(const std::string& id, const TrackSerie& track);
  void ActualizarTrackingsconGrabaciones(const std::string& id);

  // The stored texts and their reading.
  static std::string TextoSerie(const Serie& serie);
  static std::string TextoTrackings(const Serie& serie);
  // False when the file gives no rule (logged with its name). A damaged
  // file gives what can be read of it and is kept aside.
  static bool LeerSerie(const std::string& path, Serie& serie);
  // False when the file exists and is damaged (logged with its name); the
  // whole tracks before the damage are read.
  static bool LeerTrackings(const std::string& path, Serie& serie);
  // A cut stored text up to its last whole element, closed again; empty
  // when nothing whole is left. `temporadasCortadas` tells a rule whose
  // season list was cut.
  static std::string RecuperarTexto(const std::string& text, bool tracks, bool* temporadasCortadas);
  // The fields of a parsed rule (the count of seasons dropped as invalid)
  // and of a parsed history.
  static int SerieDesdeXML(const XMLNode& root, Serie& serie);
  static void TrackingsDesdeXML(const XMLNode& root, Serie& serie);
  // The rule key of a series title; empty when no file name is left.
  static std::string ClaveSerie(const std::string& titulo);
  static int ObtenerIDSerie(const std::string& crid);
  static std::string FicheroSerie(const std::string& id);
  static std::string FicheroTrackings(const std::string& id);

 private:
  // False when the timer set refuses the episode's timer.
  bool ProgramarCapitulo(const Serie& serie, const EPG_Quorvina& programa);
  int CalcularConcurrencia(const EPG_Quorvina& programa) const;  // with m_mutex held
  static bool ComprobarHora(const Serie& serie, const EmisionSerie& emision, time_t now);
  void ActivarLista(const Serie& serie);  // with m_mutex held
  // Takes the pending timers of a rule out of it, to delete them unlocked.
  std::vector<int> RetirarPendientes(Serie& serie);  // with m_mutex held
  // The user's options set and the rule active; with `pendientes` its
  // pending timers are taken out first. False when there is no such rule.
  bool FijarOpciones(const std::string& id, const OpcionesSerie& opciones,
                     std::vector<int>* pendientes);
  void BorrarTemporizadores(const std::vector<int>& indices);
  void GrabarSerie(const std::string& id);
  void GrabarTrackings(const std::string& id);
  void ComprobarTracking(Serie& serie, const DatosGrabacion& g);  // with m_mutex held
  static bool DescargarLogo(const EPG_Quorvina& entry, const std::string& logo);
  bool CanalHD(int id) const;
  bool TodoCargado() const;

  const Canales& m_canales;
  std::atomic<ProgramasEPG*> m_guia{nullptr};
  std::atomic<Temporizadores*> m_temporizadores{nullptr};
  std::atomic<Recordings*> m_grabaciones{nullptr};
  std::atomic<bool> m_despertar{false};
  std::atomic<bool> m_sincronizadas{false};

  std::mutex m_escritura;      // orders file rewrites; taken before m_mutex
  mutable std::mutex m_mutex;  // guards the six below
  std::map<std::string, Serie> m_series;
  std::vector<std::string> m_activas;                     // active rules, in the order found
  std::set<std::string> m_descargando;                    // rules whose logo is being fetched
  std::unordered_map<std::string, std::string> m_claves;  // series title -> rule key
  std::map<int, std::vector<std::string>> m_reglasCanal;  // channel -> rules with broadcasts on it
  std::vector<NodoEmision> m_libres;                      // broadcasts a channel's reload took out
};
