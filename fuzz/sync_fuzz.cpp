// The copies' queue and history files: any text loads what it can, and
// what loaded is written and read back the same.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "series/Sincronizacion.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const ColaSincronizacion cola = LeerXMLCola(text, kColaInmediata, "Inmediato.xml");
  const ColaSincronizacion otra =
      LeerXMLCola(GenerarXMLCola(cola, kColaInmediata), kColaInmediata, "Inmediato.xml");
  if (otra.size() != cola.size()) abort();
  for (auto a = cola.begin(), b = otra.begin(); a != cola.end(); ++a, ++b) {
    if (a->first != b->first || a->second.Tipo != b->second.Tipo) abort();
  }
  const HistorialSincronizacion historial = LeerXMLHistorial(text, "Track.xml");
  const HistorialSincronizacion leido =
      LeerXMLHistorial(GenerarXMLHistorial(historial), "Track.xml");
  if (leido.size() != historial.size()) abort();
  for (auto a = historial.begin(), b = leido.begin(); a != historial.end(); ++a, ++b) {
    if (a->second.ID != b->second.ID || a->second.strTitulo != b->second.strTitulo) abort();
  }
  return 0;
}
