// The guide's XML as it comes from the carousels and the disk: the first
// byte picks the reader (a channel's TV-Anytime schedule, the guide's
// discovery record, the day table, the genre map), the rest is its text.
// Every entry read is checked for what the host relies on.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "epg/CargaGuia.h"
#include "epg/MapEPG.h"
#include "epg/MapaGeneros.h"

namespace {

void ReadSchedule(const std::string& text) {
  static const auto generos =
      std::make_shared<const MapaGeneros>(MapaGeneros{{"cine", 16}, {"series", 16}});
  CargaGuia carga;
  carga.canal.id = 7;
  carga.canal.idSustituto = 7;
  carga.generos = generos;
  carga.detalles = true;
  carga.iconoPrograma = "http://10.0.0.1:4243/logoprograma=";
  MapaDetalles detalles;
  detalles["crid://tv.es/1"].genre = "Cine";
  detalles["crid://tv.es/1"].plotOutline = "P";
  detalles["crid://tv.es/1"].description = "D";
  size_t entries = 0;
  LeerGuia(carga, text, detalles, "fuzz.xml", [&entries](const EPG_Quorvina& e) {
    ++entries;
    if (e.endTime < e.startTime) __builtin_trap();
    if (e.strEpisodeName != e.strTitle || e.idCanal != 7) __builtin_trap();
    if (e.strTitle.find('\n') != std::string::npos) __builtin_trap();
    if (e.iGenreType != kGeneroSinMapa && e.iGenreType != 16) __builtin_trap();
  });
  if (entries + carga.sinHora > text.size()) __builtin_trap();
}

void ReadRecord(const std::string& text) {
  const TablaDias dias = GenerarNuevoMapEPG(text);
  for (const auto& entry : dias) {
    if (entry.first != entry.second.PrimerSegmento || entry.second.EstaCargado) __builtin_trap();
    const DiaGuia dia = SegmentosDia(text, entry.second.NumeroDia);
    for (const std::string& id : dia.segments) {
      if (id.size() < 4) __builtin_trap();
    }
  }
  // What is written reads back the same.
  const TablaDias again = LeerMapEPG(EscribirMapEPG(dias));
  bool quotes = false;
  for (const auto& entry : dias)
    quotes = quotes || entry.first.find_first_of("\"<&") != std::string::npos;
  if (!quotes && again.size() != dias.size()) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
  switch (data[0] % 4) {
    case 0:
      ReadSchedule(text);
      break;
    case 1:
      ReadRecord(text);
      break;
    case 2:
      (void)LeerMapEPG(text);
      break;
    default:
      (void)ProcesarMapa(text);
      break;
  }
  return 0;
}
