#include "epg/EPGQuorvina.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "common/Globals.h"
#include "common/HostServices.h"
#include "common/Log.h"
#include "common/StorageLayout.h"
#include "common/Text.h"
#include "discovery/Canales.h"
#include "discovery/PayLoads.h"
#include "epg/CarpetaGuia.h"

namespace {

constexpr uint32_t kEsperaMs = 2000;  // between two looks at the receivers
// What stopping the guide's workers may take, all of them together.
constexpr auto kStopMs = std::chrono::milliseconds(500);
constexpr auto kReintento = std::chrono::milliseconds(10);
constexpr int kReintentos = 200;

// Milliseconds left before the deadline, at least 1.
int Restante(std::chrono::steady_clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
      deadline - std::chrono::steady_clock::now());
  return static_cast<int>(std::max<int64_t>(1, left.count()));
}

}  // namespace

EPGQuorvina::EPGQuorvina(const Canales& canales)
    : m_canales(canales), m_programas(std::make_unique<ProgramasEPG>(canales)) {
  SetThreadName("epg dias");
}

EPGQuorvina::~EPGQuorvina() {
  const auto deadline = std::chrono::steady_clock::now() + kStopMs;
  // The details thread is told with the rest, so all wind down side by side.
  m_programas->StopThread(-1);
  StopThread(0);
  std::vector<Receptor> receptores;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (auto& entry : m_receptores) receptores.push_back(std::move(entry.second));
    m_receptores.clear();
  }
  Parar(receptores, deadline);
  PLATFORM::StopOwnedWorker(m_programas, Restante(deadline), "epg detalles");
}

void EPGQuorvina::Parar(std::vector<Receptor>& receptores,
                        std::chrono::steady_clock::time_point deadline) {
  // Every receiver is told first, so they wind down side by side within one
  // deadline.
  for (Receptor& r : receptores) {
    if (r.payloads) r.payloads->StopThread(-1);
  }
  for (Receptor& r : receptores) {
    PLATFORM::StopOwnedWorker(r.payloads, Restante(deadline), "stp guia");
  }
}

TablaDias EPGQuorvina::Dias() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_dias;
}

size_t EPGQuorvina::Receptores() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_receptores.size();
}

void EPGQuorvina::GenerarEPG(const std::string& registro) {
  std::vector<int> wanted;
  for (const auto& entry : m_canales.Snapshot()->channels) {
    wanted.push_back(entry.first);
    if (!ExistInvector(wanted, entry.second.idSustituto))
      wanted.push_back(entry.second.idSustituto);
  }

  const TablaDias viejo = LeerMapEPG(LeerFichero(PathCompletoMapasEPG));
  TablaDias nuevo = GenerarNuevoMapEPG(registro);
  for (auto& [key, dia] : nuevo) {
    const auto old = viejo.find(key);
    if (old != viejo.end())
      dia.EstaCargado = old->second.Version == dia.Version && old->second.EstaCargado;
  }
  // Receivers of days no longer announced, or announced with other
  // versions, would write stale files: they go.
  std::vector<Receptor> obsoletos;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_dias = nuevo;
    for (auto it = m_receptores.begin(); it != m_receptores.end();) {
      const auto dia = nuevo.find(it->first);
      if (dia == nuevo.end() || dia->second.Version != it->second.version) {
        obsoletos.push_back(std::move(it->second));
        it = m_receptores.erase(it);
      } else {
        ++it;
      }
    }
  }
  Parar(obsoletos, std::chrono::steady_clock::now() + kStopMs);
  // Only once their receivers have stopped: none writes a file again after it went.
  BorrarFicherosSinDia(PathEPG, nuevo);
  BorrarFicherosSinDia(PathDetallesEPG, nuevo);
  EscribirMapa();

  std::vector<MapEPG> pendientes;
  for (const auto& entry : nuevo) {
    if (!entry.second.EstaCargado) pendientes.push_back(entry.second);
  }
  std::sort(pendientes.begin(), pendientes.end(),
            [](const MapEPG& a, const MapEPG& b) { return a.NumeroDia < b.NumeroDia; });
  bool arrancar = false;
  for (const MapEPG& dia : pendientes) {
    if (PararProceso) return;
    {
      // The same day and version still being received keeps its receiver.
      std::lock_guard<std::mutex> lock(m_mutex);
      if (m_receptores.count(dia.PrimerSegmento) != 0) continue;
    }
    GenerarLogDebug("Cargando dia " + std::to_string(dia.NumeroDia));
    std::unique_ptr<PayLoads> receptor = CrearReceptor(registro, dia, wanted);
    if (!receptor) continue;
    receptor->Start(false);
    std::lock_guard<std::mutex> lock(m_mutex);
    m_receptores[dia.PrimerSegmento] = Receptor{std::move(receptor), dia.Version};
    if (!m_esperando) arrancar = m_esperando = true;
  }
  if (arrancar) ArrancarEspera();
}

std::unique_ptr<PayLoads> EPGQuorvina::CrearReceptor(const std::string& registro, const MapEPG& dia,
                                                     const std::vector<int>& wanted) {
  const DiaGuia guia = SegmentosDia(registro, dia.NumeroDia);
  if (guia.segments.empty()) return nullptr;
  auto receptor = std::make_unique<PayLoads>(guia.address, guia.port, guia.segments, PathEPG);
  receptor->SetFileTag(dia.PrimerSegmento);
  receptor->SetGuideMode(true);
  receptor->SetWantedChannels(wanted);
  return receptor;
}

void EPGQuorvina::ArrancarEspera() {
  // The previous waiting thread may be returning this very moment.
  for (int i = 0; i < kReintentos && !PararProceso; ++i) {
    if (Start(false)) return;
    std::this_thread::sleep_for(kReintento);
  }
  GenerarLogError("EPG: no se puede esperar a los receptores");
  // Nobody waits: the next pass of the guide tries again.
  std::lock_guard<std::mutex> lock(m_mutex);
  m_esperando = false;
}

void EPGQuorvina::BorrarFicherosSinDia(const std::string& folder, const TablaDias& dias) {
  const std::string path = DeUTF8a1252(folder);
  for (const std::string& name : ListarFicheros(folder)) {
    const std::string segmento = SegmentoDeFichero(name);
    if (segmento.empty() || dias.count(segmento) != 0) continue;
    if (TheHost().FileExists(path + name)) TheHost().DeleteFile(path + name);
  }
}

void EPGQuorvina::EscribirMapa() {
  std::lock_guard<std::mutex> writing(m_escritura);
  std::string text;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    text = EscribirMapEPG(m_dias);
  }
  // Without it the table lives in memory only.
  if (!EscribirFichero(DeUTF8a1252(PathCompletoMapasEPG), text)) {
    GenerarLogError("No se puede escribir " + PathCompletoMapasEPG);
  }
}

void* EPGQuorvina::Process() {
  while (!PararProceso && !StopRequested()) {
    SleepFor(kEsperaMs);
    if (PararProceso || StopRequested()) break;
    AtenderTerminados();
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_receptores.empty()) {
      m_esperando = false;
      return nullptr;
    }
  }
  // Stopping: the receivers stay until the owner goes.
  std::lock_guard<std::mutex> lock(m_mutex);
  m_esperando = false;
  return nullptr;
}

void EPGQuorvina::AtenderTerminados() {
  std::vector<std::pair<std::string, Receptor>> terminados;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (auto it = m_receptores.begin(); it != m_receptores.end();) {
      if (it->second.payloads->Running()) {
        ++it;
        continue;
      }
      terminados.emplace_back(it->first, std::move(it->second));
      it = m_receptores.erase(it);
    }
  }
  for (auto& [key, receptor] : terminados) {
    if (receptor.payloads->Result()) {
      bool marcado = false;
      {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (auto& entry : m_dias) {
          MapEPG& dia = entry.second;
          if (dia.PrimerSegmento != key || dia.Version != receptor.version) continue;
          dia.EstaCargado = true;
          marcado = true;
        }
      }
      if (marcado) {
        EscribirMapa();
        m_programas->AvisarCanales();
        m_programas->ReiniciarDetalles();
      }
    }
    receptor.payloads->Limpiar();
    receptor.payloads.reset();
  }
}
