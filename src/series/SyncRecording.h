// The copies of cloud recordings to local files: at once on request (the
// immediate queue), in the nightly window on request (the deferred queue),
// and by itself for cloud recordings old enough, only inside the window.
// One copy at a time, through a copier of its own.
//
// Host, GUI and timer threads call in while the thread copies: the queues,
// the copy in progress and the history change under one lock; files are
// written from a snapshot and no copier, host or library call runs under it.
#pragma once

#include <atomic>
#include <ctime>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "common/Thread.h"
#include "series/Serie.h"
#include "series/Sincronizacion.h"
#include "series/VentanaSincronizacion.h"

class rtsp;
class ServiciosVod;

// Does one copy at a time.
class CopiadorSinc {
 public:
  virtual ~CopiadorSinc() = default;
  // Starts copying the cloud recording `id`; false when it could not start.
  virtual bool Iniciar(const std::string& id) = 0;
  virtual bool EnCurso() = 0;
  // The last copy ended with the server's end notice and is a local file.
  virtual bool Completa() = 0;
  // Raises the copy's stop and returns at once: any thread may call it.
  virtual void PedirParada() = 0;
  // Stops the copy, waiting (bounded) for its end; its partial file is
  // removed. Called by the thread that starts copies, never by the host's.
  virtual void Parar() = 0;
};

// The copier over the on-demand client's copy mode.
class CopiadorRtsp : public CopiadorSinc {
 public:
  explicit CopiadorRtsp(ServiciosVod& servicios);
  ~CopiadorRtsp() override;
  bool Iniciar(const std::string& id) override;
  bool EnCurso() override;
  bool Completa() override;
  void PedirParada() override;
  void Parar() override;

 private:
  // A start and a stop never overlap: the stop's clean-up must not take the
  // next copy's file for its own.
  std::mutex m_orden;
  std::unique_ptr<rtsp> m_rtsp;
};

struct AjustesSincronizacion {
  bool sincronizar = false;
  int diasantiguedad = 30;
  float inicioventana = 0.0f;
  float finalventana = 24.0f;
  int horasDiferencia = 0;  // the platform's hour offset
  int registroshistorial = 30;
};

// The library's side: its cloud recordings, one entry by id, and whether
// its first listing is done.
struct AccesoGrabaciones {
  std::function<std::map<std::string, GrabacionNube>()> nube;
  std::function<bool(const std::string& id, GrabacionNube& grabacion)> grabacion;
  std::function<bool()> cargadas;
};

class SyncRecording : public PLATFORM::CThread {
 public:
  using Reloj = std::function<time_t()>;
  // The series rule of an `IdStrSerie`; false when there is none.
  using ReglaSerie = std::function<bool(const std::string& idSerie, Serie& regla)>;

  static constexpr int kEspera = 3600;        // between automatic checks, and after a failure
  static constexpr int kEsperaEliminar = 10;  // after a copy was removed
  // The most read of a queue or history file (a full queue is far less).
  static constexpr size_t kMaxFichero = 4 * 1024 * 1024;

  SyncRecording(const AjustesSincronizacion& ajustes, AccesoGrabaciones grabaciones,
                std::unique_ptr<CopiadorSinc> copiador, Reloj reloj = nullptr);
  ~SyncRecording() override;

  // Queue a cloud recording; a non-numeric id, or one the library has no
  // cloud entry of, is refused with a log line.
  bool AgnadirRecordingInmediato(const std::string& id, const std::string& tipo);
  bool AgnadirRecordingDiferido(const std::string& id, const std::string& tipo);
  bool EliminarGrabacion(const std::string& id);
  // 0 not queued, 1 being copied, 2 queued.
  int EstadoRecording(const std::string& id) const;
  bool EnVentana() const;
  time_t CalcularCaducidad(const GrabacionNube& grabacion) const;
  HistorialSincronizacion ObtenerTrackSincronizacion() const;
  ColaSincronizacion ObtenerSincInmediado() const;
  ColaSincronizacion ObtenerSincDiferido() const;
  // One timer per queued copy, in queue order.
  std::vector<TemporizadorCopia> Temporizador() const;
  void FijarReglaSerie(ReglaSerie regla);

  void* Process() override;
  // The loop's two halves around its one-second wait, for tests too: start
  // the next copy or check the cloud; then close a copy that has ended.
  void Paso();
  void Revisar();
  // The copier's session is still running (the controller's stop waits).
  bool CopiaEnCurso() { return m_copiador->EnCurso(); }
  time_t ProximaComprobacion() const;
  const VentanaSincronizacion& Ventana() const { return m_ventana; }

  static constexpr const char* kFicheroHistorial = "Track.xml";
  static constexpr const char* kFicheroInmediato = "Inmediato.xml";
  static constexpr const char* kFicheroDiferido = "Diferido.xml";

 private:
  void ComprobarGrabaciones();
  // Ends a copy removed from another thread: the stop was raised there.
  void PararPendiente();
  bool Agnadir(const std::string& id, const std::string& tipo, bool inmediato);
  void GrabarRecordingInmediato();
  void GrabarRecordingDiferido();
  void GrabarTrackSincronizacion();
  // With m_mutex held; `grabacion` is the library's entry, taken before.
  void AgnadirTrackSincronizacion(const Sincronizacion& entrada, const GrabacionNube& grabacion);
  // Keeps the newest `registroshistorial` records (m_mutex held, or alone).
  void RecortarHistorial();
  time_t Ahora() const { return m_reloj ? m_reloj() : time(nullptr); }

  const AjustesSincronizacion m_ajustes;
  const VentanaSincronizacion m_ventana;
  const AccesoGrabaciones m_grabaciones;
  std::unique_ptr<CopiadorSinc> m_copiador;
  std::atomic<bool> m_pararCopia{false};
  const Reloj m_reloj;
  const std::string m_ficheroHistorial;
  const std::string m_ficheroInmediato;
  const std::string m_ficheroDiferido;

  std::mutex m_escritura;      // orders the rewrites of the files; taken before m_mutex
  mutable std::mutex m_mutex;  // guards everything below
  ColaSincronizacion m_inmediato;
  ColaSincronizacion m_diferido;
  HistorialSincronizacion m_historial;
  Sincronizacion m_actual;  // ID empty when idle
  time_t m_inicioActual = 0;
  time_t m_proxima = 0;
  ReglaSerie m_regla;
};
