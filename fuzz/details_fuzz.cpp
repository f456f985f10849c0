// The application server's details reply and the details cache: any reply
// read as details is stored and read back with the same fields.

#include <cstddef>
#include <cstdint>
#include <string>

#include "epg/CacheDetalles.h"
#include "epg/DetalleProgramaEPG.h"

namespace {

// Texts the cache's XML keeps as they are: no markup characters besides
// those it escapes, no white space at the ends, no control characters.
bool Plain(const std::string& text) {
  if (!text.empty() && (text.front() == ' ' || text.back() == ' ')) return false;
  for (unsigned char c : text) {
    if (c < 0x20 || c == 0x7f) return false;
  }
  return text.find("]]>") == std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  EtiquetasDetalle labels;
  labels.originalTitle = "[T] ";
  labels.genre = "[G] ";

  DetalleProgramaEPG detalle;
  if (LeerRespuestaDetalle(text, detalle)) {
    GenerarPlotOutline(detalle, labels);
    MapaDetalles stored{{"crid://tv.es/1", detalle}};
    const MapaDetalles back = LeerFicheroDetalle(GenerarXMLFicheroDetalle(stored), labels);
    if (back.size() != 1) __builtin_trap();
    const DetalleProgramaEPG& d = back.begin()->second;
    const std::string DetalleProgramaEPG::*fields[] = {
        &DetalleProgramaEPG::originalTitle, &DetalleProgramaEPG::productionDate,
        &DetalleProgramaEPG::countries,     &DetalleProgramaEPG::genre,
        &DetalleProgramaEPG::subgenre,      &DetalleProgramaEPG::directors,
        &DetalleProgramaEPG::mainActors,    &DetalleProgramaEPG::scriptwriter,
        &DetalleProgramaEPG::producer};
    for (auto field : fields) {
      if (Plain(detalle.*field) && d.*field != detalle.*field) __builtin_trap();
    }
  }
  // The cache's own reader on any text.
  (void)LeerFicheroDetalle(text, labels);
  return 0;
}
