// The read side of the live client: the demuxer's callback, the socket
// reader with its carry-over, and the switch between socket and timeshift
// file.
#include <poll.h>
#include <sys/socket.h>

extern "C" {
#include <libavutil/error.h>
}

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "common/Conversions.h"
#include "common/Globals.h"
#include "common/HostServices.h"
#include "common/Log.h"
#include "live/Cliente.h"

namespace {

// Every wait is cut in slices of this, so a close or a stop is seen soon.
constexpr int kRebanadaMs = 250;
// The socket's receive time-out.
constexpr int kEsperaRecepcionMs = 2000;
constexpr auto kPausaLote = std::chrono::milliseconds(2);

bool Cancelado(const StructDatosSock& datos) {
  return datos.Cancelar || PararProceso;
}

// Receives as many waiting datagrams as surely fit in `room` bytes (at least
// one; only that one may need the carry-over), without waiting. The count,
// 0 for nothing but empty datagrams, or -1 with errno.
int RecibirLote(StructDatosSock& datos, int fd, int room) {
  const int lote =
      std::max(1, std::min(StructDatosSock::kLote, room / StructDatosSock::kDatagrama));
  mmsghdr mensajes[StructDatosSock::kLote];
  iovec partes[StructDatosSock::kLote];
  for (int i = 0; i < lote; ++i) {
    partes[i] = iovec{datos.BufferRecepcion[i], StructDatosSock::kDatagrama};
    mensajes[i] = mmsghdr{};
    mensajes[i].msg_hdr.msg_iov = &partes[i];
    mensajes[i].msg_hdr.msg_iovlen = 1;
  }
  const int received =
      recvmmsg(fd, mensajes, static_cast<unsigned int>(lote), MSG_DONTWAIT, nullptr);
  int kept = 0;
  for (int i = 0; i < received; ++i) {
    if (mensajes[i].msg_len == 0) continue;  // an empty datagram carries nothing
    if (kept != i)
      memcpy(datos.BufferRecepcion[kept], datos.BufferRecepcion[i], mensajes[i].msg_len);
    datos.LongitudRecepcion[kept++] = static_cast<int>(mensajes[i].msg_len);
  }
  return received < 0 ? -1 : kept;
}

// Takes up to `want` bytes from the front of a buffer, moving the rest
// forward.
int TomarDelante(uint8_t* buffer, int& length, uint8_t* dst, int want) {
  const int count = std::min(length, want);
  memcpy(dst, buffer, static_cast<size_t>(count));
  length -= count;
  if (length > 0) memmove(buffer, buffer + count, static_cast<size_t>(length));
  return count;
}

}  // namespace

int Cliente::LeerSockDemux(void* opaque, uint8_t* buffer, int size) {
  const int read = FuncionLecturaEscritura(opaque, buffer, size, true);
  if (read > 0) return read;
  if (read == kLecturaCancelada) return AVERROR_EXIT;
  if (read == kLecturaSinDatos) return AVERROR(EAGAIN);
  if (static_cast<StructDatosSock*>(opaque)->Error != 0) return AVERROR(EIO);
  return AVERROR_EOF;
}

int Cliente::FuncionLecturaEscritura(void* opaque, uint8_t* buffer, int size, bool) {
  auto& datos = *static_cast<StructDatosSock*>(opaque);
  int esperadoMs = 0;
  int esperas = 0;
  for (;;) {
    if (Cancelado(datos)) return kLecturaCancelada;
    if (!datos.TimeShiftActivo || datos.FinTimeShift) {
      if (datos.FicheroLectura != nullptr) {
        TheHost().CloseFile(datos.FicheroLectura);
        datos.FicheroLectura = nullptr;
      }
      GenerarLogDebug("FuncionLecturaEscritura LeerSockDirecto.");
      return LeerSockDirecto(opaque, buffer, size, datos.EsperasMaximas);
    }
    GenerarLogDebug("FuncionLecturaEscritura ReadFile.");
    const int read = LeerFichero(datos, buffer, size);
    if (read > 0) return read;
    // Everything recorded has been read: unless paused, the recorder hands
    // the socket back with its next block.
    if (!datos.Pausado && !datos.SolicitarDirecto.exchange(true)) {
      GenerarLogDebug("FuncionLecturaEscritura finalizarBuffer.");
    }
    std::unique_lock<std::mutex> lock(datos.AvisoMutex);
    const bool avance = datos.Aviso.wait_for(lock, std::chrono::milliseconds(kRebanadaMs), [&] {
      return Cancelado(datos) || !datos.TimeShiftActivo || datos.FinTimeShift ||
             datos.BytesEscritos > datos.BytesLeidos;
    });
    if (avance) continue;
    esperadoMs += kRebanadaMs;
    if (esperadoMs >= kEsperaRecepcionMs) {
      esperadoMs = 0;
      const int maximas = datos.EsperasMaximas;
      if (maximas > 0 && ++esperas >= maximas) return kLecturaSinDatos;
    }
  }
}

int Cliente::LeerSockDirecto(void* opaque, uint8_t* dst, int want, int esperasMaximas) {
  auto& datos = *static_cast<StructDatosSock*>(opaque);
  std::lock_guard<std::recursive_mutex> lock(datos.Bloqueo);
  int gathered = 0;
  if (!datos.TimeShiftActivo && datos.LongitudMemoria > 0) {
    // The block the recorder read but did not write comes first; what does
    // not fit waits for the next read.
    GenerarLogDebug("LeerSockDirecto BufferEnDisco.");
    gathered = TomarDelante(datos.BufferMemoria.get(), datos.LongitudMemoria, dst, want);
    if (datos.LongitudMemoria == 0) datos.BufferMemoria.reset();
    if (gathered == want) return gathered;
  }
  if (datos.LongitudResto > 0) {
    gathered += TomarDelante(reinterpret_cast<uint8_t*>(datos.BufferResto), datos.LongitudResto,
                             dst + gathered, want - gathered);
  }
  if (gathered >= want || PararProceso) {
    datos.Error = 0;
    return gathered;
  }

  const int fd = datos.Socket.fd();
  int esperadoMs = 0;
  int esperas = 0;
  for (;;) {
    if (!datos.Abierto) {
      datos.Error = 0;
      return gathered;
    }
    if (Cancelado(datos)) return gathered > 0 ? gathered : kLecturaCancelada;
    const int received = RecibirLote(datos, fd, want - gathered);
    for (int i = 0; i < received; ++i) {
      gathered = AgregarDatagrama(datos, datos.BufferRecepcion[i], datos.LongitudRecepcion[i], dst,
                                  gathered, want);
    }
    if (received > 0) {
      esperadoMs = 0;
      if (gathered >= want) {
        datos.Error = 0;
        return gathered;
      }
      continue;
    }
    if (received == 0 || errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) {
      const int error = errno;
      GenerarLogError("Cierre canal. Error:" + convertInttoString(error));
      datos.Error = error;
      return gathered;
    }
    pollfd entrada{fd, POLLIN, 0};
    if (poll(&entrada, 1, kRebanadaMs) > 0) {
      // The reader is ahead of the stream: letting a few datagrams gather
      // spares a wake-up for each of them.
      std::this_thread::sleep_for(kPausaLote);
      continue;
    }
    esperadoMs += kRebanadaMs;
    if (esperadoMs < kEsperaRecepcionMs) continue;
    // One receive time-out: what has arrived is not held back any longer.
    esperadoMs = 0;
    if (gathered > 0) {
      datos.Error = 0;
      return gathered;
    }
    if (esperasMaximas > 0 && ++esperas >= esperasMaximas) return kLecturaSinDatos;
  }
}
