#include "epg/CargaGuia.h"

#include <strings.h>

#include "common/Globals.h"
#include "common/Log.h"
#include "common/SettingValues.h"
#include "common/Text.h"

namespace {

std::string Texto(const XMLNode& node) {
  const char* text = node.getText();
  std::string value = text != nullptr ? text : std::string();
  SustituirSaltosporespacios(value);
  return value;
}

}  // namespace

bool EsEventoGuia(const XMLNode& node) {
  const char* name = node.getName();
  return name != nullptr && strcasecmp(name, "ScheduleEvent") == 0;
}

std::string AtributoGuia(const XMLNode& node, const char* name) {
  const char* value = node.getAttribute(name);
  return value != nullptr ? value : std::string();
}

void LeerGuia(CargaGuia& carga, const std::string& text, const MapaDetalles& detalles,
              const std::string& path, const std::function<void(const EPG_Quorvina&)>& onEntry) {
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
    if (!EsEventoGuia(event)) continue;
    EPG_Quorvina entry;
    if (CargarProgramaEPG(event, entry, detalles, carga)) onEntry(entry);
  }
  if (carga.sinHora > 0) {
    GenerarLogError("Fichero de guia " + path + ": " + std::to_string(carga.sinHora) +
                    " programas sin hora de inicio");
  }
}

bool CargarProgramaEPG(const XMLNode& event, EPG_Quorvina& entry, const MapaDetalles& detalles,
                       CargaGuia& carga) {
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
