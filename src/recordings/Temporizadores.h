// The set of timers: the local ones loaded from their files at start, the
// cloud ones merged from the server's lists, and the host's timer calls.
//
// Host threads and the timers' own threads meet here: the set and the cloud
// list change under one lock, no network, disk or host call runs under it,
// and a timer in use outside the lock is held by a shared_ptr. A timer taken
// out of the set is kept until its thread has ended, then freed.
#pragma once

#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <vector>

#include "recordings/DatosTemporizador.h"
#include "recordings/EnlaceSincronizacion.h"
#include "recordings/Temporizador.h"

// Set once the timer files are loaded; the series scheduler waits for it.
extern std::atomic<bool> temporizadorCargadoCompleto;

class Temporizadores {
 public:
  explicit Temporizadores(const EntornoTemporizador& entorno);
  // Stops what Detener left running, waiting at most 2.5 s more.
  ~Temporizadores();

  // Asks every timer thread to stop, without waiting: each then closes and
  // registers its recording. The owner signals first and joins later so the
  // timers stop alongside its other workers, within one shared budget.
  void Avisar();
  // Waits until every timer thread has ended or `limite` passes; a thread
  // still running then is released, not destroyed. True when all ended.
  bool Detener(std::chrono::steady_clock::time_point limite);
  // True while some timer thread still runs.
  bool Activos() const;

  void CargarTemporizadores();
  int GetTimersAmount() const;
  // A timer the host asks for (its eighteen fields filled); false when it
  // is not taken (a channel on demand, a key already held).
  bool AddTimer(const DatosTemporizador& host);
  // A record the series scheduler built (named apart: a non-const record
  // must never pick it by accident); false when it is not taken.
  bool AddTimerSerie(DatosTemporizador& datos);
  std::vector<DatosTemporizador> GetTimers();
  void DeleteTimer(unsigned int index, bool forzar);
  void UpdateTimer(const DatosTemporizador& host);
  bool CargarTemporizadoresCloud();
  // Whether the set holds a timer under this key.
  bool ExisteTemporizador(int key) const;
  // Hands every series timer to the series rules.
  void SincronizarSeries();
  // The copies of cloud recordings, listed and deleted as timers; null
  // unlinks. Set by the controller before the host asks.
  void FijarSincronizacion(EnlaceSincronizacion* enlace) { m_sincronizacion = enlace; }
  // True when a loaded timer is still pending or recording.
  static bool ComprobarEstado(Temporizador& timer, const std::string& path);

 private:
  using Puntero = std::shared_ptr<Temporizador>;
  int IndicePropuesto() const;  // with m_mutex held
  // Holds a key for a timer being made; false (logged) when it is held or
  // in the set. With m_mutex held.
  bool Reservar(int key);
  // Inserts unless the key is held; false (logged) when it is.
  bool Insertar(int key, const Puntero& timer);
  void Retirar(const Puntero& timer);
  void Recoger();
  void InformarSerie(const DatosTemporizador& datos) const;

  const EntornoTemporizador m_entorno;
  mutable std::mutex m_mutex;  // guards the four below
  std::map<int, Puntero> m_set;
  std::set<int> m_reservadas;  // keys of timers being made
  std::map<int, DatosTemporizador> m_nube;
  std::vector<Puntero> m_retirados;
  std::atomic<EnlaceSincronizacion*> m_sincronizacion{nullptr};

 public:
  // A copy of the timer under this key as it is now (its thread may have
  // started recording since it last reported); false when there is none.
  bool DatosActuales(int key, DatosTemporizador& datos) const;
};
