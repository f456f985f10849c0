#include "live/StructDatosSock.h"

#include <cstring>

#include "live/ComprobarRTP.h"

void StructDatosSock::Avisar() {
  { std::lock_guard<std::mutex> lock(AvisoMutex); }
  Aviso.notify_all();
}

int AgregarDatagrama(StructDatosSock& datos, const char* datagram, int length, uint8_t* dst,
                     int gathered, int want) {
  int offset = 0;
  ComprobarRTP(datagram, &length, offset);
  const char* payload = datagram + offset;
  int fits = length;
  if (gathered + length > want) {
    fits = want - gathered;
    datos.LongitudResto = length - fits;
    memcpy(datos.BufferResto, payload + fits, static_cast<size_t>(datos.LongitudResto));
  }
  memcpy(dst + gathered, payload, static_cast<size_t>(fits));
  return gathered + fits;
}
