#include "epg/ProgramasEPG.h"

#include <algorithm>

#include "common/DatosConfiguracion.h"
#include "common/Globals.h"
#include "common/HttpGlobals.h"
#include "common/Log.h"
#include "common/SettingValues.h"
#include "common/StorageLayout.h"
#include "common/Text.h"
#include "common/XMLNode.h"
#include "discovery/Canales.h"
#include "epg/CacheDetalles.h"
#include "epg/CargaGuia.h"
#include "epg/CarpetaGuia.h"
#include "epg/GuideFields.h"

ProgramasEPG::ProgramasEPG(const Canales& canales) : m_canales(canales) {
  SetThreadName("epg detalles");
}

ProgramasEPG::~ProgramasEPG() {
  StopThread(0);
}

std::shared_ptr<const MapaGeneros> ProgramasEPG::Generos() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_generos && !m_generos->empty()) return m_generos;
  }
  auto loaded = std::make_shared<const MapaGeneros>(CargarMapa(PathCompletoMapasGenero));
  std::lock_guard<std::mutex> lock(m_mutex);
  // Another request may have loaded it meanwhile: the first one stays.
  if (!m_generos || m_generos->empty()) m_generos = loaded;
  return m_generos;
}

const EtiquetasDetalle& ProgramasEPG::Etiquetas() {
  std::call_once(m_etiquetasLeidas, [this] { m_etiquetas = EtiquetasDetalle::DelHost(); });
  return m_etiquetas;
}

void ProgramasEPG::CargarCanal(unsigned int channel, time_t start, time_t end,
                               std::vector<EPG_Quorvina>& list) {
  CargarCanal(channel, start, end, [&list](const EPG_Quorvina& entry) { list.push_back(entry); });
}

void ProgramasEPG::CargarCanal(unsigned int channel, time_t start, time_t end,
                               const EntradaSink& sink) {
  CargaGuia carga;
  carga.lineUp = m_canales.Snapshot();
  const auto found = carga.lineUp->channels.find(static_cast<int>(channel));
  if (found == carga.lineUp->channels.end()) return;
  carga.canal = found->second;
  carga.start = start;
  carga.end = end;
  carga.sink = &sink;
  carga.desfase = static_cast<time_t>(configuracionquorvina.HorasDiferencias) * 3600;
  carga.detalles = detalleepg;
  if (carga.detalles) {
    carga.iconoPrograma =
        "http://" + IPAdaptador.Get() + ":" + std::to_string(PuertoHttpUpnp) + "/logoprograma=";
  }
  const int id = carga.canal.id;

  bool yaCargado;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    yaCargado = ExistInvector(m_canalesCargados, id);
    carga.reloj = m_reloj;
    auto own = m_programasCanal.find(id);
    if (ultimos7dias && own != m_programasCanal.end()) {
      for (uint32_t programa : own->second) m_canalPrograma.erase(programa);
      own->second.clear();
    }
  }
  if (yaCargado) LimpiarSeriesCanal(id);
  carga.generos = Generos();

  const std::string prefix = std::to_string(carga.canal.idSustituto) + "_";
  for (const std::string& name : *m_guias.Ficheros(PathEPG)) {
    if (name.compare(0, prefix.size(), prefix) != 0) continue;
    CargarFichero(carga, name);
    if (PararProceso) return;
  }
  for (const std::string& genero : carga.sinMapa) {
    GenerarLogDebug("El genero " + genero + " no esta mapeado");
  }
  if (ultimos7dias) RegistrarProgramas(carga);
  if (carga.faltanDetalles) m_faltanDetalles = true;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_reloj = std::move(carga.reloj);
  }
  if (yaCargado) {
    LimpiarSeries();
  } else {
    MarcarCargado(id);
  }

  if (m_completo && detalleepg && m_faltanDetalles.exchange(false)) {
    if (!Running() && time(nullptr) > m_siguienteDetalles) Start(false);
  }
}

void ProgramasEPG::MarcarCargado(int channel) {
  const size_t canales = static_cast<size_t>(m_canales.NumeroCanales());
  std::lock_guard<std::mutex> lock(m_mutex);
  if (!ExistInvector(m_canalesCargados, channel)) m_canalesCargados.push_back(channel);
  if (m_canalesCargados.size() + 1 >= canales) m_completo = true;
}

void ProgramasEPG::RegistrarProgramas(const CargaGuia& carga) {
  const int channel = carga.canal.id;
  const auto hd = [&carga](int id) {
    const auto it = carga.lineUp->channels.find(id);
    return it != carga.lineUp->channels.end() && it->second.HD;
  };
  std::lock_guard<std::mutex> lock(m_mutex);
  std::vector<uint32_t>& own = m_programasCanal[channel];
  for (uint32_t programa : carga.programas) {
    const auto seen = m_canalPrograma.find(programa);
    if (seen == m_canalPrograma.end()) {
      m_canalPrograma.emplace(programa, channel);
      own.push_back(programa);
    } else if (seen->second != channel && !hd(seen->second) && carga.canal.HD) {
      std::vector<uint32_t>& other = m_programasCanal[seen->second];
      other.erase(std::remove(other.begin(), other.end(), programa), other.end());
      seen->second = channel;
      own.push_back(programa);
    }
  }
}

void ProgramasEPG::CargarFichero(CargaGuia& carga, const std::string& name) {
  const std::string path = PathEPG + name;
  GenerarLogDebug("Cargando fichero " + path);
  MapaDetalles detalles;
  if (carga.detalles)
    detalles = LeerFicheroDetalle(LeerFichero(PathDetallesEPG + name), Etiquetas());
  LeerGuia(carga, LeerFichero(path), detalles, path, [this, &carga](const EPG_Quorvina& entry) {
    if (!entry.cridSerie.empty() && entry.startTime != 0) ComprobarSerie(entry);
    if (entry.endTime >= carga.start && entry.startTime <= carga.end) (*carga.sink)(entry);
  });
}

bool ProgramasEPG::GetProgramaEPG(int channel, uint32_t programme, EPG_Quorvina& entry) {
  CargaGuia carga;
  carga.lineUp = m_canales.Snapshot();
  const auto found = carga.lineUp->channels.find(channel);
  if (found == carga.lineUp->channels.end()) return false;
  carga.canal = found->second;
  carga.desfase = static_cast<time_t>(configuracionquorvina.HorasDiferencias) * 3600;
  carga.detalles = detalleepg;
  if (carga.detalles) {
    carga.iconoPrograma =
        "http://" + IPAdaptador.Get() + ":" + std::to_string(PuertoHttpUpnp) + "/logoprograma=";
  }
  carga.generos = Generos();
  const std::string prefix = std::to_string(carga.canal.idSustituto) + "_";
  for (const std::string& name : *m_guias.Ficheros(PathEPG)) {
    if (name.compare(0, prefix.size(), prefix) != 0) continue;
    const std::string text = LeerFichero(PathEPG + name);
    const XMLNode schedule = XMLNode::parseString(text.c_str(), "TVAMain")
                                 .getChildNode(0)
                                 .getChildNode(0)
                                 .getChildNode(0);
    const int total = schedule.nChildNode();
    for (int i = 0; i < total; ++i) {
      const XMLNode event = schedule.getChildNode(i);
      if (!EsEventoGuia(event) ||
          ObtenerID(AtributoGuia(event.getChildNode("Program"), "crid")) != programme) {
        continue;
      }
      MapaDetalles detalles;
      if (carga.detalles) {
        detalles = LeerFicheroDetalle(LeerFichero(PathDetallesEPG + name), Etiquetas());
      }
      if (!CargarProgramaEPG(event, entry, detalles, carga)) return false;
      if (ultimos7dias) RegistrarProgramas(carga);
      return true;
    }
  }
  return false;
}

int ProgramasEPG::GetProgramaChannelUid(uint32_t programme) const {
  std::lock_guard<std::mutex> lock(m_mutex);
  const auto found = m_canalPrograma.find(programme);
  return found == m_canalPrograma.end() ? -1 : found->second;
}
