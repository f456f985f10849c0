#include "epg/MapaGeneros.h"

#include "common/HostServices.h"
#include "common/Log.h"
#include "common/Text.h"
#include "common/XMLNode.h"
#include "epg/GuideFields.h"

namespace {
constexpr size_t kBloque = 1024;
}

MapaGeneros CargarMapa(const std::string& path) {
  if (!TheHost().FileExists(path)) return {};
  HostFile file = HostFile::ForRead(path);
  if (!file) return {};
  std::string text;
  char block[kBloque];
  ssize_t read;
  while ((read = file.Read(block, sizeof(block))) > 0)
    text.append(block, static_cast<size_t>(read));
  return ProcesarMapa(text);
}

MapaGeneros ProcesarMapa(const std::string& text) {
  MapaGeneros mapa;
  const std::string bom = "\xEF\xBB\xBF";
  const std::string body = CoincidePatronInicio(text, bom) ? text.substr(bom.size()) : text;
  XMLResults results{};
  const XMLNode generos = XMLNode::parseString(body.c_str(), "Generos", &results);
  if (generos.isEmpty()) {
    GenerarLogError("MapasGeneros.xml no se puede leer: " +
                    std::string(XMLNode::getError(results.error)));
    return mapa;
  }
  const int total = generos.nChildNode("Genero");
  for (int i = 0; i < total; ++i) {
    const XMLNode genero = generos.getChildNode("Genero", i);
    const char* nombre = genero.getAttribute("Nombre");
    if (nombre == nullptr || *nombre == '\0') {
      GenerarLogError("MapasGeneros.xml: genero sin nombre");
      continue;
    }
    if (!mapa.emplace(stringtolower(nombre), LeerEntero(genero.getAttribute("Mapa"))).second) {
      GenerarLogError("MapasGeneros.xml: genero repetido " + std::string(nombre));
    }
  }
  return mapa;
}

int ObtenerGenero(const MapaGeneros& mapa, const std::string& name) {
  const auto it = mapa.find(stringtolower(name));
  return it == mapa.end() ? kGeneroSinMapa : it->second;
}
