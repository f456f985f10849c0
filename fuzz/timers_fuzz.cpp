// The timer file reader on any text: it never fails, and whatever it reads
// is written and read back to the same record.

#include <cstddef>
#include <cstdint>
#include <string>

#include "recordings/Temporizador.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const DatosTemporizador t = Temporizador::ProcesarFicheroTemporizador(text);
  const std::string stored = Temporizador::TextoFichero(t);
  const DatosTemporizador back = Temporizador::ProcesarFicheroTemporizador(stored);
  if (back.iClientIndex != t.iClientIndex || back.startTime != t.startTime ||
      back.endTime != t.endTime || back.state != t.state || back.iEpgUid != t.iEpgUid ||
      back.iMarginEnd != t.iMarginEnd || back.Cloud != t.Cloud ||
      back.iTipoTemporizador != t.iTipoTemporizador)
    __builtin_trap();
  return 0;
}
