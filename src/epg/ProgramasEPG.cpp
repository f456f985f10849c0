#include "epg/ProgramasEPG.h"

#include <strings.h>

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
#include "epg/CarpetaGuia.h"
#include "epg/GuideFields.h"

namespace {

bool EsEvento(const XMLNode& node) {
  const char* name = node.getName();
  return name != nullptr && strcasecmp(name, "ScheduleEvent") == 0;
}

std::string Atributo(const XMLNode& node, const char* name) {
  const char* value = node.getAttribute(name);
  return value != nullptr ? value : std::string();
}

std::string Texto(const XMLNode& node) {
  const char* text = node.getText();
  std::string value = text != nullptr ? text : std::string();
  SustituirSaltosporespacios(value);
  return value;
}

}  // namespace

// What one guide request works with, taken once at its start.
struct ProgramasEPG::Carga {
  Canal canal;
  std::shared_ptr<const LineUp> lineUp;
  std::shared_ptr<const MapaGeneros> generos;
  time_t start = 0;
  time_t end = 0;
  const EntradaSink* sink = nullptr;
  RelojGuia reloj;
  time_t desfase = 0;
  bool detalles = false;
  std::string iconoPrograma;  // "http://ip:port/logoprograma=" while details are on
  std::vector<std::string> sinMapa;
  std::vector<int> programas;  // met by this load, for catch-up
  bool faltanDetalles = false;
  size_t sinHora = 0;
};

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
  Carga carga;
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
    auto own = m_programasCanal.find(id);
    if (ultimos7dias && own != m_programasCanal.end()) {
      for (int programa : own->second) m_canalPrograma.erase(programa);
      own->second.clear();
    }
  }
  if (yaCargado) LimpiarSeriesCanal(id);
  carga.generos = Generos();

  const std::string prefix = std::to_string(carga.canal.idSustituto) + "_";
  for (const std::string& name : ListarFicheros(PathEPG)) {
    if (name.compare(0, prefix.size(), prefix) != 0) continue;
    CargarFichero(carga, name);
    if (PararProceso) return;
  }
  for (const std::string& genero : carga.sinMapa) {
    GenerarLogDebug("El genero " + genero + " no esta mapeado");
  }
  if (ultimos7dias) RegistrarProgramas(carga);
  if (carga.faltanDetalles) m_faltanDetalles = true;
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

void ProgramasEPG::RegistrarProgramas(const Carga& carga) {
  const int channel = carga.canal.id;
  const auto hd = [&carga](int id) {
    const auto it = carga.lineUp->channels.find(id);
    return it != carga.lineUp->channels.end() && it->second.HD;
  };
  std::lock_guard<std::mutex> lock(m_mutex);
  std::vector<int>& own = m_programasCanal[channel];
  for (int programa : carga.programas) {
    const auto seen = m_canalPrograma.find(programa);
    if (seen == m_canalPrograma.end()) {
      m_canalPrograma.emplace(programa, channel);
      own.push_back(programa);
    } else if (seen->second != channel && !hd(seen->second) && carga.canal.HD) {
      Deletevector(m_programasCanal[seen->second], programa);
      seen->second = channel;
      own.push_back(programa);
    }
  }
}

void ProgramasEPG::CargarFichero(Carga& carga, const std::string& name) {
  const std::string path = PathEPG + name;
  GenerarLogDebug("Cargando fichero " + path);
  MapaDetalles detalles;
  if (carga.detalles)
    detalles = LeerFicheroDetalle(LeerFichero(PathDetallesEPG + name), Etiquetas());
  const std::string text = LeerFichero(path);
  if (text.empty()) return;
  XMLResults results{};
  const XMLNode main = XMLNode::parseString(text.c_str(), "TVAMain", &results);
  const XMLNode schedule = main.getChildNode(0).getChildNode(0).getChildNode(0);
  if (schedule.isEmpty()) {
    GenerarLogError("Fichero de guia ilegible " + path + ": " + XMLNode::getError(results.error));
    return;
  }
  if (results.error != eXMLErrorNone) {
    // A file cut short still shows the programmes it holds whole.
    GenerarLogError("Fichero de guia incompleto " + path + ": " + XMLNode::getError(results.error) +
                    " en la linea " + std::to_string(results.nLine));
  }
  carga.sinHora = 0;
  const int total = schedule.nChildNode();
  for (int i = 0; i < total && !PararProceso; ++i) {
    const XMLNode event = schedule.getChildNode(i);
    if (!EsEvento(event)) continue;
    EPG_Quorvina entry;
    if (!CargarProgramaEPG(event, entry, detalles, carga)) continue;
    if (!entry.cridSerie.empty() && entry.startTime != 0) ComprobarSerie(entry);
    if (entry.endTime >= carga.start && entry.startTime <= carga.end) (*carga.sink)(entry);
  }
  if (carga.sinHora > 0) {
    GenerarLogError("Fichero de guia " + path + ": " + std::to_string(carga.sinHora) +
                    " programas sin hora de inicio");
  }
}

bool ProgramasEPG::CargarProgramaEPG(const XMLNode& event, EPG_Quorvina& entry,
                                     const MapaDetalles& detalles, Carga& carga) {
  const XMLNode inicio = event.getChildNode("EventStartTime");
  const char* hora = inicio.getText();
  if (hora == nullptr) {
    ++carga.sinHora;
    return false;
  }
  entry.startTime = carga.reloj.Convertir(hora) + carga.desfase;
  const char* duracion = event.getChildNode("EventDuration").getText();
  entry.endTime = entry.startTime + (duracion != nullptr ? CalcularDuracionSegundos(duracion) : 0);
  entry.firstAired = entry.startTime;

  const char* attr = event.getChildNode("Program").getAttribute("crid");
  const std::string crid = attr != nullptr ? attr : std::string();
  entry.iUniqueBroadcastId = ObtenerID(crid);
  entry.iChannelNumber = static_cast<uint32_t>(carga.canal.numero);
  entry.idCanal = carga.canal.id;

  const XMLNode descripcion = event.getChildNode("InstanceDescription");
  entry.strTitle = Texto(descripcion.getChildNode("Title"));
  entry.strEpisodeName = entry.strTitle;
  const std::string genero = Texto(descripcion.getChildNode("Genre").getChildNode("Name"));
  entry.strGenreDescription = genero;
  entry.iGenreType = ObtenerGenero(*carga.generos, genero);
  const int generoGuia = entry.iGenreType;

  const XMLNode fecha = descripcion.getChildNode("ReleaseInformation").getChildNode("ReleaseDate");
  if (!fecha.isEmpty()) {
    const XMLNode season = fecha.getChildNode("Season");
    const XMLNode episode = fecha.getChildNode("Episode");
    const XMLNode year = fecha.getChildNode("Year");
    if (!season.isEmpty()) entry.iSeriesNumber = LeerEntero(season.getText());
    if (!episode.isEmpty()) entry.iEpisodeNumber = LeerEntero(episode.getText());
    if (!year.isEmpty()) entry.iEpisodePartNumber = LeerEntero(year.getText());
  }

  entry.strIconPath = carga.detalles
                          ? carga.iconoPrograma + std::to_string(entry.iUniqueBroadcastId) + ";" +
                                std::to_string(carga.canal.id)
                          : carga.canal.logo;
  entry.iParentalRating = CalcularCalificacion(
      Texto(descripcion.getChildNode("ParentalGuidance").getChildNode(0).getChildNode(0)));

  if (carga.detalles) {
    const auto found = detalles.find(crid);
    if (found != detalles.end()) {
      const DetalleProgramaEPG& d = found->second;
      if (!d.genre.empty()) entry.strGenreDescription = ObtenerGeneroCompleto(d.genre, d.subgenre);
      entry.iGenreType = ObtenerGenero(*carga.generos, d.genre);
      if (entry.iGenreType == kGeneroSinMapa)
        entry.iGenreType = ObtenerGenero(*carga.generos, d.subgenre);
      if (entry.iGenreType == kGeneroSinMapa) entry.iGenreType = generoGuia;
      if (!d.plotOutline.empty() && !d.description.empty()) {
        entry.strPlot = d.plotOutline + "\r\n" + d.description;
      }
    } else {
      carga.faltanDetalles = true;
    }
  }

  const XMLNode serie = event.getChildNode("EpisodeOf");
  if (!serie.isEmpty()) {
    const char* cridSerie = serie.getAttribute("crid");
    entry.cridSerie = cridSerie != nullptr ? cridSerie : std::string();
    entry.tituloSerie = Texto(serie.getChildNode("Title"));
  }
  if (ultimos7dias) carga.programas.push_back(static_cast<int>(entry.iUniqueBroadcastId));
  if (entry.iGenreType == kGeneroSinMapa && !ExistInvector(carga.sinMapa, genero)) {
    carga.sinMapa.push_back(genero);
  }
  return true;
}

bool ProgramasEPG::GetProgramaEPG(int channel, int programme, EPG_Quorvina& entry) {
  Carga carga;
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
  for (const std::string& name : ListarFicheros(PathEPG)) {
    if (name.compare(0, prefix.size(), prefix) != 0) continue;
    const std::string text = LeerFichero(PathEPG + name);
    const XMLNode schedule = XMLNode::parseString(text.c_str(), "TVAMain")
                                 .getChildNode(0)
                                 .getChildNode(0)
                                 .getChildNode(0);
    const int total = schedule.nChildNode();
    for (int i = 0; i < total; ++i) {
      const XMLNode event = schedule.getChildNode(i);
      if (!EsEvento(event) || ObtenerID(Atributo(event.getChildNode("Program"), "crid")) !=
                                  static_cast<uint32_t>(programme)) {
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

int ProgramasEPG::GetProgramaChannelUid(int programme) const {
  std::lock_guard<std::mutex> lock(m_mutex);
  const auto found = m_canalPrograma.find(programme);
  return found == m_canalPrograma.end() ? -1 : found->second;
}
