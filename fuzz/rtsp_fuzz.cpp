// The on-demand client's reader of the control connection on arbitrary
// server bytes. The first byte picks the segment size, so heads and bodies
// split across receives are explored too; the TEARDOWN body's parser and the
// SDP lookups run on every message.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "live/RtspProtocolo.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const size_t segment = 1 + (static_cast<size_t>(data[0]) << 4);  // 1..4081
  const char* next = reinterpret_cast<const char*>(data + 1);
  size_t left = size - 1;
  LectorRtsp lector;
  size_t taken = 0;
  while (left > 0) {
    const size_t count = std::min(left, segment);
    lector.Agregar(next, count);
    next += count;
    left -= count;
    MensajeRtsp m;
    std::string error;
    LectorRtsp::Resultado r;
    while ((r = lector.Siguiente(m, error)) == LectorRtsp::Resultado::Mensaje) {
      taken += m.texto.size();
      if (m.cuerpo.size() > LectorRtsp::kMaxCuerpo) __builtin_trap();
      if (m.respuesta && m.estado.size() > 3) __builtin_trap();
      // A head, blank line included, within the bound.
      if (m.texto.size() - m.cuerpo.size() > LectorRtsp::kMaxCabecera) __builtin_trap();
      SepararDatos(m.cuerpo);
      ObtenerCabeceras(m.cuerpo).count("a=control");
    }
    if (r == LectorRtsp::Resultado::Invalido) break;
    // Nothing waits beyond one bounded head and body.
    if (lector.Pendiente() > LectorRtsp::kMaxCabecera + LectorRtsp::kMaxCuerpo + 4 + segment)
      __builtin_trap();
  }
  if (taken > size) __builtin_trap();
  return 0;
}
