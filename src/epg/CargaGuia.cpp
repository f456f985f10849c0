#include "epg/CargaGuia.h"

#include <charconv>
#include <string_view>

#include "common/Globals.h"
#include "common/Log.h"
#include "common/SettingValues.h"
#include "common/Text.h"

namespace {

// Names compare as the document model compares them: ASCII case aside.
bool MismoNombre(const char* a, const char* b) {
  for (;; ++a, ++b) {
    char x = *a, y = *b;
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x + 32);
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y + 32);
    if (x != y) return false;
    if (x == '\0') return true;
  }
}

// The node's text with its line breaks as blanks, into `value` (whose
// buffer is reused from entry to entry).
void Texto(const XMLNode& node, std::string& value) {
  const char* text = node.getText();
  value.assign(text != nullptr ? text : "");
  for (char& c : value) {
    if (c == '\n') c = ' ';
  }
}

// Back to a fresh entry, keeping the strings' buffers.
void Vaciar(EPG_Quorvina& e) {
  for (std::string* text :
       {&e.strTitle, &e.strPlotOutline, &e.strPlot, &e.strIconPath, &e.strGenreDescription,
        &e.strEpisodeName, &e.tituloSerie, &e.cridSerie}) {
    text->clear();
  }
  e.iUniqueBroadcastId = 0;
  e.iChannelNumber = 0;
  e.idCanal = 0;
  e.startTime = e.endTime = e.firstAired = 0;
  e.iGenreType = e.iGenreSubType = 0;
  e.iParentalRating = e.iStarRating = 0;
  e.bNotify = false;
  e.iSeriesNumber = e.iEpisodeNumber = e.iEpisodePartNumber = 0;
}

// The first child of each of the names, found in one pass over the children.
template <size_t N>
void PrimerosHijos(const XMLNode& node, const char* const (&names)[N], XMLNode (&found)[N]) {
  const int total = node.nChildNode();
  for (int i = 0; i < total; ++i) {
    XMLNode child = node.getChildNode(i);
    const char* name = child.getName();
    if (name == nullptr) continue;
    for (size_t k = 0; k < N; ++k) {
      // The names are letters: a first letter that differs (case aside)
      // settles most comparisons at once.
      if (((name[0] ^ names[k][0]) & ~0x20) != 0) continue;
      if (found[k].isEmpty() && MismoNombre(name, names[k])) {
        found[k] = std::move(child);
        break;
      }
    }
  }
}

}  // namespace

int CargaGuia::Genero(const std::string& name) {
  for (const auto& known : codigos_) {
    if (known.first == name) return known.second;
  }
  const int code = generos ? ObtenerGenero(*generos, name) : kGeneroSinMapa;
  codigos_.emplace_back(name, code);
  return code;
}

bool EsEventoGuia(const XMLNode& node) {
  const char* name = node.getName();
  return name != nullptr && MismoNombre(name, "ScheduleEvent");
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
  EPG_Quorvina entry;
  for (int i = 0; i < total && !PararProceso; ++i) {
    const XMLNode event = schedule.getChildNode(i);
    if (!EsEventoGuia(event)) continue;
    Vaciar(entry);
    if (CargarProgramaEPG(event, entry, detalles, carga)) onEntry(entry);
  }
  if (carga.sinHora > 0) {
    GenerarLogError("Fichero de guia " + path + ": " + std::to_string(carga.sinHora) +
                    " programas sin hora de inicio");
  }
}

bool CargarProgramaEPG(const XMLNode& event, EPG_Quorvina& entry, const MapaDetalles& detalles,
                       CargaGuia& carga) {
  enum { kInicio, kDuracion, kPrograma, kDescripcion, kSerie };
  static constexpr const char* kEvento[] = {"EventStartTime", "EventDuration", "Program",
                                            "InstanceDescription", "EpisodeOf"};
  XMLNode campos[5];
  PrimerosHijos(event, kEvento, campos);
  const char* hora = campos[kInicio].getText();
  if (hora == nullptr) {
    ++carga.sinHora;
    return false;
  }
  entry.startTime = carga.reloj.Convertir(hora) + carga.desfase;
  const char* duracion = campos[kDuracion].getText();
  entry.endTime = entry.startTime + (duracion != nullptr ? CalcularDuracionSegundos(duracion) : 0);
  entry.firstAired = entry.startTime;

  const char* attr = campos[kPrograma].getAttribute("crid");
  const char* crid = attr != nullptr ? attr : "";
  entry.iUniqueBroadcastId = ObtenerID(crid);
  entry.iChannelNumber = static_cast<uint32_t>(carga.canal.numero);
  entry.idCanal = carga.canal.id;

  enum { kTitulo, kGenero, kLanzamiento, kCalificacion };
  static constexpr const char* kDescripcion_[] = {"Title", "Genre", "ReleaseInformation",
                                                  "ParentalGuidance"};
  XMLNode descripcion[4];
  PrimerosHijos(campos[kDescripcion], kDescripcion_, descripcion);
  Texto(descripcion[kTitulo], entry.strTitle);
  entry.strEpisodeName = entry.strTitle;
  Texto(descripcion[kGenero].getChildNode("Name"), entry.strGenreDescription);
  entry.iGenreType = carga.Genero(entry.strGenreDescription);
  const int generoGuia = entry.iGenreType;
  // The guide's own name: the details may replace the description.
  const std::string* nombreGenero = &entry.strGenreDescription;
  std::string generoTexto;

  const XMLNode fecha = descripcion[kLanzamiento].getChildNode("ReleaseDate");
  if (!fecha.isEmpty()) {
    static constexpr const char* kFecha[] = {"Season", "Episode", "Year"};
    XMLNode numeros[3];
    PrimerosHijos(fecha, kFecha, numeros);
    if (!numeros[0].isEmpty()) entry.iSeriesNumber = LeerEntero(numeros[0].getText());
    if (!numeros[1].isEmpty()) entry.iEpisodeNumber = LeerEntero(numeros[1].getText());
    if (!numeros[2].isEmpty()) entry.iEpisodePartNumber = LeerEntero(numeros[2].getText());
  }

  if (carga.detalles) {
    char numbers[32];
    char* end = std::to_chars(numbers, numbers + 16, entry.iUniqueBroadcastId).ptr;
    *end++ = ';';
    end = std::to_chars(end, numbers + sizeof(numbers), carga.canal.id).ptr;
    const size_t length = static_cast<size_t>(end - numbers);
    entry.strIconPath.reserve(carga.iconoPrograma.size() + length);
    entry.strIconPath.assign(carga.iconoPrograma).append(numbers, length);
  } else {
    entry.strIconPath = carga.canal.logo;
  }
  Texto(descripcion[kCalificacion].getChildNode(0).getChildNode(0), carga.texto);
  entry.iParentalRating = CalcularCalificacion(carga.texto);

  if (carga.detalles) {
    const auto found = detalles.empty() ? detalles.end() : detalles.find(std::string_view(crid));
    if (found != detalles.end()) {
      const DetalleProgramaEPG& d = found->second;
      if (!d.genre.empty()) {
        generoTexto = entry.strGenreDescription;
        nombreGenero = &generoTexto;
        entry.strGenreDescription = ObtenerGeneroCompleto(d.genre, d.subgenre);
      }
      entry.iGenreType = carga.Genero(d.genre);
      if (entry.iGenreType == kGeneroSinMapa) entry.iGenreType = carga.Genero(d.subgenre);
      if (entry.iGenreType == kGeneroSinMapa) entry.iGenreType = generoGuia;
      if (!d.plotOutline.empty() && !d.description.empty()) {
        entry.strPlot = d.plotOutline + "\r\n" + d.description;
      }
    } else {
      carga.faltanDetalles = true;
    }
  }

  const XMLNode& serie = campos[kSerie];
  if (!serie.isEmpty()) {
    const char* cridSerie = serie.getAttribute("crid");
    entry.cridSerie.assign(cridSerie != nullptr ? cridSerie : "");
    Texto(serie.getChildNode("Title"), entry.tituloSerie);
  }
  if (ultimos7dias) carga.programas.push_back(entry.iUniqueBroadcastId);
  // Logged once the details had their say: a genre they mapped is no gap.
  if (entry.iGenreType == kGeneroSinMapa && !ExistInvector(carga.sinMapa, *nombreGenero)) {
    carga.sinMapa.push_back(*nombreGenero);
  }
  return true;
}
