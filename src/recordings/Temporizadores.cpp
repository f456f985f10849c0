#include "recordings/Temporizadores.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "common/Conversions.h"
#include "common/Globals.h"
#include "common/HostServices.h"
#include "common/Log.h"
#include "common/Paths.h"
#include "common/SettingValues.h"
#include "common/StorageLayout.h"
#include "common/Text.h"
#include "epg/CarpetaGuia.h"
#include "recordings/ApiGrabaciones.h"
#include "recordings/EnlaceSeries.h"

std::atomic<bool> temporizadorCargadoCompleto{false};

namespace {
constexpr auto kEsperaParada = std::chrono::milliseconds(2500);
}  // namespace

Temporizadores::Temporizadores(const EntornoTemporizador& entorno) : m_entorno(entorno) {
  CargarTemporizadores();
}

Temporizadores::~Temporizadores() {
  Detener(std::chrono::steady_clock::now() + kEsperaParada);
}

void Temporizadores::Avisar() {
  std::vector<Puntero> todos;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (auto& kv : m_set) todos.push_back(kv.second);
    for (auto& t : m_retirados) todos.push_back(t);
  }
  for (auto& t : todos) t->Avisar();
}

bool Temporizadores::Activos() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  for (auto& kv : m_set)
    if (kv.second->Running()) return true;
  for (auto& t : m_retirados)
    if (t->Running()) return true;
  return false;
}

bool Temporizadores::Detener(std::chrono::steady_clock::time_point limite) {
  Avisar();
  std::vector<Puntero> todos;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (auto& kv : m_set) todos.push_back(kv.second);
    for (auto& t : m_retirados) todos.push_back(t);
    m_set.clear();
    m_retirados.clear();
  }
  bool todosTerminados = true;
  for (auto& t : todos) {
    while (t->Running() && std::chrono::steady_clock::now() < limite) {
      // A question opened just as the stop came is closed too.
      t->CerrarPregunta();
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (t->Running()) {
      GenerarLogError("Temporizadores: un temporizador no se detuvo");
      new Puntero(t);  // released: destroying it would wait for its thread
      todosTerminados = false;
    }
  }
  return todosTerminados;
}

void Temporizadores::CargarTemporizadores() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_set.clear();
  }
  if (!TheHost().DirectoryExists(PathTimers)) {
    temporizadorCargadoCompleto = true;
    return;
  }
  for (const std::string& name : ListarFicheros(PathTimers)) {
    if (!CoincidePatronFinal(name, ".xml")) continue;
    const std::string path = PathCombine(PathTimers, name);
    auto timer = std::make_shared<Temporizador>(m_entorno);
    // A file gone or unreadable since the listing is skipped.
    if (!timer->CargarTemporizador(path)) continue;
    InformarSerie(timer->Datos());
    if (!ComprobarEstado(*timer, path)) continue;
    if (Insertar(timer->Datos().iClientIndex, timer)) timer->Start();
  }
  temporizadorCargadoCompleto = true;
}

bool Temporizadores::ComprobarEstado(Temporizador& timer, const std::string& path) {
  if (timer.Estado() < 3) return true;
  if (TheHost().FileExists(path)) EliminarFichero(path);
  return false;
}

int Temporizadores::GetTimersAmount() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return static_cast<int>(m_set.size());
}

int Temporizadores::IndicePropuesto() const {
  int mayor = m_set.empty() ? 0 : m_set.rbegin()->first;
  if (!m_reservadas.empty()) mayor = std::max(mayor, *m_reservadas.rbegin());
  return mayor + 1;
}

bool Temporizadores::Reservar(int key) {
  if (m_set.count(key) != 0 || !m_reservadas.insert(key).second) {
    GenerarLogError("Temporizador duplicado " + convertInttoString(key));
    return false;
  }
  return true;
}

bool Temporizadores::Insertar(int key, const Puntero& timer) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_reservadas.erase(key);
  if (!m_set.emplace(key, timer).second) {
    GenerarLogError("Temporizador duplicado " + convertInttoString(key));
    return false;
  }
  return true;
}

bool Temporizadores::AddTimer(const DatosTemporizador& host) {
  if (static_cast<unsigned int>(host.iClientChannelUid) == CanalVOD) return false;
  Recoger();
  int index;
  int key;
  {
    // The key is held from here: a second call for it is refused before
    // anything is booked or written.
    std::lock_guard<std::mutex> lock(m_mutex);
    index = IndicePropuesto();
    key = Temporizador::EpgValido(host.iEpgUid) ? host.iEpgUid : index;
    if (!Reservar(key)) return false;
  }
  auto timer = std::make_shared<Temporizador>(m_entorno);
  timer->CrearTemporizador(host, static_cast<unsigned int>(index));
  if (!Insertar(key, timer)) return false;
  timer->Start();
  // Told after the insert, so the host's follow-up lists it.
  TheHost().TriggerTimerUpdate();
  InformarSerie(timer->Datos());
  return true;
}

bool Temporizadores::AddTimerSerie(DatosTemporizador& datos) {
  Recoger();
  int index;
  int key;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    index = IndicePropuesto();
    // A cloud booking is kept under its guide uid, a local one under its index.
    key = datos.Cloud ? datos.iEpgUid : index;
    if (!Reservar(key)) return false;
  }
  auto timer = std::make_shared<Temporizador>(m_entorno);
  timer->CrearTemporizador(datos, static_cast<unsigned int>(index));
  if (!Insertar(key, timer)) return false;
  timer->Start();
  InformarSerie(datos);
  return true;
}

void Temporizadores::InformarSerie(const DatosTemporizador& datos) const {
  if (m_entorno.series != nullptr && !datos.idSerie.empty())
    m_entorno.series->ActualizarTemporizador(datos);
}

bool Temporizadores::ExisteTemporizador(int key) const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_set.count(key) != 0;
}

void Temporizadores::SincronizarSeries() {
  std::map<int, Puntero> set;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    set = m_set;
  }
  for (auto& kv : set) InformarSerie(kv.second->Datos());
}

bool Temporizadores::CargarTemporizadoresCloud() {
  std::map<int, DatosTemporizador> nube;
  if (!RecordingListTemporizadores(&nube, 0) || !RecordingListTemporizadores(&nube, 1))
    return false;
  std::lock_guard<std::mutex> lock(m_mutex);
  m_nube = std::move(nube);
  return true;
}

std::vector<DatosTemporizador> Temporizadores::GetTimers() {
  Recoger();
  // A timer booked while the list is fetched (by the series scheduler or a
  // timer's question) is missing from it and is kept.
  const uint64_t reservadas = Temporizador::UltimaReserva();
  const bool fresca = ConexionEnNubeActivada ? CargarTemporizadoresCloud() : true;
  std::vector<DatosTemporizador> lista;
  std::vector<Puntero> quitar;
  std::map<int, DatosTemporizador> nube;
  std::map<int, Puntero> set;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    nube = m_nube;
    set = m_set;
  }
  for (auto& kv : set) {
    if (!kv.second->EsCloud()) {
      const DatosTemporizador d = kv.second->Datos();
      InformarSerie(d);
      if (d.state <= 2) lista.push_back(d);
      continue;
    }
    auto it = nube.find(kv.first);
    if (it != nube.end()) {
      kv.second->ActualizarDesdeNube(it->second);
    } else if (fresca && kv.second->NumeroReserva() <= reservadas) {
      quitar.push_back(kv.second);
    }
  }
  for (auto& t : quitar) {
    t->DeleteTimer(false);
    Retirar(t);
    InformarSerie(t->Datos());
  }
  for (auto& kv : nube) {
    Puntero timer;
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      auto it = m_set.find(kv.second.iClientIndex);
      if (it != m_set.end()) timer = it->second;
    }
    if (!timer) {
      timer = std::make_shared<Temporizador>(m_entorno);
      timer->CargarTemporizador(kv.second);
      if (Insertar(kv.second.iClientIndex, timer)) timer->Start();
    }
    lista.push_back(timer->Datos());
    InformarSerie(lista.back());
  }
  if (m_entorno.series != nullptr) {
    for (const DatosTemporizador& t : m_entorno.series->ObtenerSeriesProgramas())
      lista.push_back(t);
  }
  if (EnlaceSincronizacion* sincronizacion = m_sincronizacion) sincronizacion->Temporizador(lista);
  return lista;
}

void Temporizadores::Retirar(const Puntero& timer) {
  std::lock_guard<std::mutex> lock(m_mutex);
  for (auto it = m_set.begin(); it != m_set.end(); ++it) {
    if (it->second == timer) {
      m_set.erase(it);
      break;
    }
  }
  m_retirados.push_back(timer);
}

void Temporizadores::Recoger() {
  std::vector<Puntero> terminados;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (auto it = m_retirados.begin(); it != m_retirados.end();) {
      if (!(*it)->Running()) {
        terminados.push_back(std::move(*it));
        it = m_retirados.erase(it);
      } else {
        ++it;
      }
    }
  }
  // Joined and freed outside the lock.
  terminados.clear();
}

void Temporizadores::DeleteTimer(unsigned int index, bool /*forzar*/) {
  Puntero timer;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_set.find(static_cast<int>(index));
    if (it != m_set.end()) timer = it->second;
  }
  if (timer) {
    Retirar(timer);
    timer->DeleteTimer(true);
    InformarSerie(timer->Datos());
  } else {
    bool regla = false;
    if (m_entorno.series != nullptr) {
      // A rule's placeholder in the host's list: the rule pauses.
      for (const DatosTemporizador& t : m_entorno.series->ObtenerSeriesProgramas()) {
        if (t.iClientIndex != static_cast<int>(index)) continue;
        m_entorno.series->PausarSerie(t.idSerie);
        regla = true;
      }
    }
    // Otherwise the timer of a queued copy.
    EnlaceSincronizacion* sincronizacion = m_sincronizacion;
    if (!regla && sincronizacion != nullptr) {
      sincronizacion->EliminarGrabacion(convertInttoString(index));
    }
  }
  TheHost().TriggerTimerUpdate();
  Recoger();
}

void Temporizadores::UpdateTimer(const DatosTemporizador& host) {
  Puntero timer;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_set.find(static_cast<int>(static_cast<unsigned int>(host.iClientIndex)));
    if (it != m_set.end()) timer = it->second;
  }
  if (!timer) return;
  timer->UpdateTimer(host);
  if (timer->Estado() < 3) {
    TheHost().TriggerTimerUpdate();
  } else {
    DeleteTimer(static_cast<unsigned int>(host.iClientIndex), false);
  }
}

bool Temporizadores::DatosActuales(int key, DatosTemporizador& datos) const {
  Puntero timer;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_set.find(key);
    if (it == m_set.end()) return false;
    timer = it->second;
  }
  datos = timer->Datos();
  return true;
}
