#include "series/SyncRecording.h"

#include <chrono>
#include <cstdint>
#include <thread>

#include "common/Conversions.h"
#include "common/Globals.h"
#include "common/HostServices.h"
#include "common/Log.h"
#include "common/Paths.h"
#include "common/StorageLayout.h"
#include "live/Rtsp.h"

namespace {

constexpr uint32_t kPasoMs = 1000;
constexpr uint32_t kRebanadaMs = 250;

// A recording id the timers can carry: a positive 32-bit number (a copy's
// timer index is its id).
bool EsNumero(const std::string& id) {
  if (id.empty() || id.size() > 10) return false;
  int64_t valor = 0;
  for (char c : id) {
    if (c < '0' || c > '9') return false;
    valor = valor * 10 + (c - '0');
  }
  return valor > 0 && valor <= INT32_MAX;
}

// At most kMaxFichero bytes: what is beyond is left out, and told.
std::string LeerTexto(const std::string& path) {
  bool cortado = false;
  std::string texto = LeerFicheroEntero(path, SyncRecording::kMaxFichero, &cortado);
  if (cortado) {
    GenerarLogError("SyncRecording: " + path + " supera " +
                    std::to_string(SyncRecording::kMaxFichero) + " bytes; se lee el principio");
  }
  return texto;
}

}  // namespace

CopiadorRtsp::CopiadorRtsp(ServiciosVod& servicios) : m_rtsp(std::make_unique<rtsp>(servicios)) {
  m_rtsp->SetThreadName("quorvina-copia");
}
CopiadorRtsp::~CopiadorRtsp() = default;
bool CopiadorRtsp::Iniciar(const std::string& id) {
  std::lock_guard<std::mutex> lock(m_orden);
  return m_rtsp->GrabarRecording(id);
}
bool CopiadorRtsp::EnCurso() {
  return m_rtsp->Running();
}
bool CopiadorRtsp::Completa() {
  return m_rtsp->CopiaCompleta();
}
void CopiadorRtsp::PedirParada() {
  m_rtsp->PedirParada();
}
void CopiadorRtsp::Parar() {
  std::lock_guard<std::mutex> lock(m_orden);
  m_rtsp->PararRecording();
}

SyncRecording::SyncRecording(const AjustesSincronizacion& ajustes, AccesoGrabaciones grabaciones,
                             std::unique_ptr<CopiadorSinc> copiador, Reloj reloj)
    : m_ajustes(ajustes),
      m_ventana(ajustes.inicioventana, ajustes.finalventana, ajustes.horasDiferencia),
      m_grabaciones(std::move(grabaciones)),
      m_copiador(std::move(copiador)),
      m_reloj(std::move(reloj)),
      m_ficheroHistorial(PathCombine(PathSincronizacion, kFicheroHistorial)),
      m_ficheroInmediato(PathCombine(PathSincronizacion, kFicheroInmediato)),
      m_ficheroDiferido(PathCombine(PathSincronizacion, kFicheroDiferido)) {
  SetThreadName("quorvina-sinc");
  m_inmediato = LeerXMLCola(LeerTexto(m_ficheroInmediato), kColaInmediata, kFicheroInmediato);
  m_diferido = LeerXMLCola(LeerTexto(m_ficheroDiferido), kColaDiferida, kFicheroDiferido);
  m_historial = LeerXMLHistorial(LeerTexto(m_ficheroHistorial), kFicheroHistorial);
  RecortarHistorial();
  if (m_ventana.Vacia()) GenerarLogDebug("SyncRecording: ventana vacia");
}

SyncRecording::~SyncRecording() {
  StopThread(static_cast<int>(kPasoMs) * 3);
}

void SyncRecording::FijarReglaSerie(ReglaSerie regla) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_regla = std::move(regla);
}

bool SyncRecording::Agnadir(const std::string& id, const std::string& tipo, bool inmediato) {
  GrabacionNube grabacion;
  if (tipo != "R" || !EsNumero(id) || !m_grabaciones.grabacion ||
      !m_grabaciones.grabacion(id, grabacion) || !grabacion.Cloud) {
    GenerarLogError("SyncRecording: no se sincroniza '" + id.substr(0, 64) +
                    "': no es una grabacion en la nube");
    return false;
  }
  bool cambiaInmediato = false, cambiaDiferido = false;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (inmediato) {
      cambiaDiferido = m_diferido.erase(id) > 0;
      cambiaInmediato = m_inmediato.emplace(id, Sincronizacion{tipo, id}).second;
    } else if (m_inmediato.count(id) == 0) {
      cambiaDiferido = m_diferido.emplace(id, Sincronizacion{tipo, id}).second;
    }
  }
  if (cambiaInmediato) GrabarRecordingInmediato();
  if (cambiaDiferido) GrabarRecordingDiferido();
  return true;
}

bool SyncRecording::AgnadirRecordingInmediato(const std::string& id, const std::string& tipo) {
  const bool hecho = Agnadir(id, tipo, true);
  if (hecho) TheHost().TriggerTimerUpdate();
  return hecho;
}

bool SyncRecording::AgnadirRecordingDiferido(const std::string& id, const std::string& tipo) {
  const bool hecho = Agnadir(id, tipo, false);
  if (hecho) TheHost().TriggerTimerUpdate();
  return hecho;
}

bool SyncRecording::EliminarGrabacion(const std::string& id) {
  bool inmediato = false, diferido = false, parar = false;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    inmediato = m_inmediato.erase(id) > 0;
    diferido = m_diferido.erase(id) > 0;
    if (!m_actual.ID.empty() && m_actual.ID == id) {
      m_actual = Sincronizacion();
      m_proxima = Ahora() + kEsperaEliminar;
      parar = true;
    }
  }
  if (!inmediato && !diferido && !parar) {
    GenerarLogError("SyncRecording: " + id.substr(0, 64) + " no esta en cola");
    return false;
  }
  if (parar) {
    // The host's thread only raises the stop: waiting for the session and
    // removing its file is the copying thread's, before its next copy.
    m_pararCopia = true;
    m_copiador->PedirParada();
  }
  if (inmediato) GrabarRecordingInmediato();
  if (diferido) GrabarRecordingDiferido();
  TheHost().TriggerTimerUpdate();
  return true;
}

int SyncRecording::EstadoRecording(const std::string& id) const {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_inmediato.count(id) == 0 && m_diferido.count(id) == 0) return 0;
  return m_actual.ID == id && m_actual.Tipo == "R" ? 1 : 2;
}

bool SyncRecording::EnVentana() const {
  const time_t ahora = Ahora();
  tm local{};
  localtime_r(&ahora, &local);
  return m_ventana.Contiene(local.tm_hour, local.tm_min);
}

time_t SyncRecording::CalcularCaducidad(const GrabacionNube& grabacion) const {
  int dias = m_ajustes.diasantiguedad;
  ReglaSerie regla;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    regla = m_regla;
  }
  Serie serie;
  if (!grabacion.idSerie.empty() && regla && regla(grabacion.idSerie, serie) &&
      serie.SincroPersonalizado)
    dias = serie.SincroDias;
  return grabacion.recordingTime + static_cast<time_t>(dias) * 86400;
}

HistorialSincronizacion SyncRecording::ObtenerTrackSincronizacion() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_historial;
}

ColaSincronizacion SyncRecording::ObtenerSincInmediado() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_inmediato;
}

ColaSincronizacion SyncRecording::ObtenerSincDiferido() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_diferido;
}

time_t SyncRecording::ProximaComprobacion() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_proxima;
}

std::vector<TemporizadorCopia> SyncRecording::Temporizador() const {
  std::vector<TemporizadorCopia> lista;
  std::vector<Sincronizacion> entradas;
  std::string actual;
  time_t inicioActual = 0;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const auto& kv : m_inmediato) entradas.push_back(kv.second);
    for (const auto& kv : m_diferido) entradas.push_back(kv.second);
    actual = m_actual.ID;
    inicioActual = m_inicioActual;
  }
  const time_t ahora = Ahora();
  for (const Sincronizacion& s : entradas) {
    GrabacionNube g;
    if (!m_grabaciones.grabacion || !m_grabaciones.grabacion(s.ID, g)) continue;
    TemporizadorCopia t;
    t.id = s.ID;
    t.titulo = g.titulo;
    t.canal = g.canal;
    t.estado = s.ID == actual ? 2 : 1;
    t.inicio = s.ID == actual ? inicioActual : ahora;
    t.fin = t.inicio + g.duracion;
    lista.push_back(t);
  }
  return lista;
}

void SyncRecording::ComprobarGrabaciones() {
  bool movida = false;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_diferido.empty()) {
      const Sincronizacion entrada = m_diferido.begin()->second;
      m_diferido.erase(m_diferido.begin());
      m_inmediato.emplace(entrada.ID, entrada);
      movida = true;
    }
  }
  if (movida) {
    GrabarRecordingInmediato();
    GrabarRecordingDiferido();
    return;
  }
  if (!m_grabaciones.nube) return;
  const time_t ahora = Ahora();
  for (const auto& kv : m_grabaciones.nube()) {
    const GrabacionNube& g = kv.second;
    if (!g.Cloud || ahora < CalcularCaducidad(g)) continue;
    if (!EsNumero(kv.first)) {
      GenerarLogDebug("SyncRecording: no se sincroniza '" + kv.first.substr(0, 64) +
                      "': identificador no valido");
      continue;
    }
    GrabacionNube entrada;
    // A recording already copied is a local entry of the library now.
    if (m_grabaciones.grabacion && m_grabaciones.grabacion(kv.first, entrada) && !entrada.Cloud)
      continue;
    bool nueva = false;
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      nueva = m_inmediato.emplace(kv.first, Sincronizacion{"R", kv.first}).second;
    }
    if (nueva) {
      GenerarLogDebug("SyncRecording: sincronizacion automatica de " + kv.first);
      GrabarRecordingInmediato();
    }
    return;
  }
}

void SyncRecording::PararPendiente() {
  if (m_pararCopia.exchange(false)) m_copiador->Parar();
}

void SyncRecording::Paso() {
  PararPendiente();
  if (m_copiador->EnCurso()) return;
  const time_t ahora = Ahora();
  Sincronizacion entrada;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_actual.ID.empty()) return;
    if (!m_inmediato.empty()) {
      entrada = m_inmediato.begin()->second;
      if (entrada.Tipo == "R") entrada.Inicio = ahora + m_ajustes.horasDiferencia * 3600;
      m_actual = entrada;
      m_inicioActual = ahora;
    }
  }
  if (!entrada.ID.empty()) {
    if (m_copiador->Iniciar(entrada.ID)) {
      bool sigue = false;
      {
        std::lock_guard<std::mutex> lock(m_mutex);
        sigue = m_actual.ID == entrada.ID;
      }
      // Removed while it was starting.
      if (!sigue) {
        m_pararCopia = false;
        m_copiador->Parar();
      }
      TheHost().TriggerTimerUpdate();
      return;
    }
    // A start cut short by the stop is no failure: the copy stays queued.
    const bool parando = PLATFORM::Stopping();
    if (!parando)
      GenerarLogError("SyncRecording: no se ha podido iniciar la copia de " + entrada.ID);
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      if (!parando) m_inmediato.erase(entrada.ID);
      if (m_actual.ID == entrada.ID) m_actual = Sincronizacion();
    }
    GrabarRecordingInmediato();
    TheHost().TriggerTimerUpdate();
    return;
  }
  if (!m_ajustes.sincronizar || m_ventana.Vacia()) return;
  if (!EnVentana()) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_proxima = 0;
    return;
  }
  if (m_grabaciones.cargadas && !m_grabaciones.cargadas()) return;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (ahora < m_proxima) return;
    m_proxima = ahora + kEspera;
  }
  ComprobarGrabaciones();
}

void SyncRecording::Revisar() {
  if (m_copiador->EnCurso()) return;
  const bool completa = m_copiador->Completa();
  // Stopping: an unfinished copy stays first in the queue and starts again
  // next time; a finished one is recorded now, or the restart would find a
  // local recording and drop its entry without a record.
  if (PLATFORM::Stopping() && !completa) return;
  const time_t ahora = Ahora();
  std::string id;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    id = m_actual.ID;
  }
  if (id.empty()) return;
  GrabacionNube grabacion;
  if (!m_grabaciones.grabacion || !m_grabaciones.grabacion(id, grabacion))
    grabacion = GrabacionNube();
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_actual.ID != id) return;  // removed meanwhile
    m_actual.Final = ahora + m_ajustes.horasDiferencia * 3600;
    m_inmediato.erase(m_actual.ID);
    // Only a whole copy is one: an interrupted one leaves no record.
    if (completa && m_actual.Tipo == "R") AgnadirTrackSincronizacion(m_actual, grabacion);
    if (!completa) GenerarLogError("SyncRecording: copia interrumpida de " + m_actual.ID);
    m_actual = Sincronizacion();
    m_proxima = completa ? 0 : ahora + kEspera;
  }
  GrabarRecordingInmediato();
  if (completa) GrabarTrackSincronizacion();
  TheHost().TriggerTimerUpdate();
  if (completa) TheHost().TriggerRecordingUpdate();
}

void SyncRecording::AgnadirTrackSincronizacion(const Sincronizacion& entrada,
                                               const GrabacionNube& g) {
  TrackSincronizacion t;
  t.Tipo = entrada.Tipo;
  t.ID = entrada.ID;
  t.InicioSincro = entrada.Inicio;
  t.FinalSincro = entrada.Final;
  t.strTitulo = g.titulo;
  t.IDCanal = g.canal;
  t.idSerie = g.idSerie;
  t.DescripcionSerie = g.descripcionSerie;
  t.Temporada = g.temporada;
  t.Capitulo = g.capitulo;
  t.Duracion = g.duracion;
  const int clave = m_historial.empty() ? 0 : m_historial.rbegin()->first + 1;
  m_historial.emplace(clave, t);
  RecortarHistorial();
}

void SyncRecording::RecortarHistorial() {
  while (m_ajustes.registroshistorial >= 0 &&
         static_cast<int>(m_historial.size()) > m_ajustes.registroshistorial)
    m_historial.erase(m_historial.begin());
}

void SyncRecording::GrabarRecordingInmediato() {
  std::lock_guard<std::mutex> orden(m_escritura);
  std::string texto;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    texto = GenerarXMLCola(m_inmediato, kColaInmediata);
  }
  if (!EscribirFichero(m_ficheroInmediato, texto))
    GenerarLogError("SyncRecording: no se puede escribir " + m_ficheroInmediato);
}

void SyncRecording::GrabarRecordingDiferido() {
  std::lock_guard<std::mutex> orden(m_escritura);
  std::string texto;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    texto = GenerarXMLCola(m_diferido, kColaDiferida);
  }
  if (!EscribirFichero(m_ficheroDiferido, texto))
    GenerarLogError("SyncRecording: no se puede escribir " + m_ficheroDiferido);
}

void SyncRecording::GrabarTrackSincronizacion() {
  std::lock_guard<std::mutex> orden(m_escritura);
  std::string texto;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    texto = GenerarXMLHistorial(m_historial);
  }
  if (!EscribirFichero(m_ficheroHistorial, texto))
    GenerarLogError("SyncRecording: no se puede escribir " + m_ficheroHistorial);
}

void* SyncRecording::Process() {
  GenerarLogDebug("SyncRecording Process Entrada");
  while (!PararProceso && !IsStopped()) {
    Paso();
    for (uint32_t t = 0; t < kPasoMs && !PararProceso && !IsStopped(); t += kRebanadaMs)
      SleepFor(kRebanadaMs);
    Revisar();
  }
  if (m_pararCopia.exchange(false) || m_copiador->EnCurso()) m_copiador->Parar();
  Revisar();  // a copy that ended while stopping
  GenerarLogDebug("SyncRecording Process Salida");
  return nullptr;
}
