// The series rule and history readers on any text, whole or cut: they never
// fail, and what they read is written and read back to the same stored text.

#include <cstddef>
#include <cstdint>
#include <string>

#include "series/Series.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  XMLResults results{};
  XMLNode root = XMLNode::parseString(text.c_str(), "serie", &results);
  if (root.isEmpty()) {
    // A damaged file: what can be read of it, as a rule and as a history.
    bool cortadas = false;
    const std::string regla = Series::RecuperarTexto(text, false, &cortadas);
    const std::string historial = Series::RecuperarTexto(text, true, nullptr);
    if (!historial.empty()) root = XMLNode::parseString(historial.c_str(), "serie", &results);
    if (root.isEmpty() && !regla.empty())
      root = XMLNode::parseString(regla.c_str(), "serie", &results);
    if (root.isEmpty()) return 0;
  }
  Serie s;
  Series::SerieDesdeXML(root, s);
  Series::TrackingsDesdeXML(root, s);
  const std::string regla = Series::TextoSerie(s);
  const std::string historial = Series::TextoTrackings(s);
  Serie back;
  const XMLNode r1 = XMLNode::parseString(regla.c_str(), "serie", &results);
  const XMLNode r2 = XMLNode::parseString(historial.c_str(), "serie", &results);
  if (r1.isEmpty() || r2.isEmpty()) __builtin_trap();
  Series::SerieDesdeXML(r1, back);
  Series::TrackingsDesdeXML(r2, back);
  if (Series::TextoSerie(back) != regla || Series::TextoTrackings(back) != historial)
    __builtin_trap();
  return 0;
}
