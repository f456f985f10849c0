#include "live/SockBuffer.h"

#include <poll.h>
#include <sys/socket.h>

#include <cerrno>

#include "common/Conversions.h"
#include "common/Globals.h"
#include "common/Log.h"

namespace {
constexpr auto kEsperaCola = std::chrono::milliseconds(1000);
constexpr auto kEsperaBuffer = std::chrono::milliseconds(2000);
constexpr int kRebanadaMs = 250;
}  // namespace

SockBuffer::SockBuffer(int socket, size_t maximo, size_t tamano)
    : m_socket(socket), m_pool(tamano > 0 ? tamano : static_cast<size_t>(BUFSIZE), kPaso, maximo) {
  SetThreadName("quorvina-sockbf");
  Start(true);
}

SockBuffer::~SockBuffer() {
  Finalizar();
  if (StopThread(kDrenajeMs)) return;
  // Every wait of the thread is a slice: it leaves soon once told.
  m_abandonar = true;
  StopThread(0);
}

char* SockBuffer::GetBuffer() {
  return GetBuffer(kEsperaBuffer);
}

char* SockBuffer::GetBuffer(std::chrono::milliseconds espera) {
  if (m_finalizado) return nullptr;
  return m_pool.Get(espera);
}

bool SockBuffer::Escribir(char* buffer, int length) {
  if (m_estado != 0 || !Running()) return false;
  return m_pool.Put(buffer, length);
}

void SockBuffer::Finalizar() {
  m_finalizado = true;
  m_pool.Close();
}

bool SockBuffer::Enviar(const char* data, int length) {
  // The socket is waited on in slices, so a stop or a client that stopped
  // reading never holds the thread.
  int esperadoMs = 0;
  while (length > 0) {
    if (PararProceso || m_abandonar) return false;
    const ssize_t sent =
        send(m_socket, data, static_cast<size_t>(length), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (sent < 0 && errno == EINTR) continue;
    if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      pollfd salida{m_socket, POLLOUT, 0};
      if (poll(&salida, 1, kRebanadaMs) == 0) esperadoMs += kRebanadaMs;
      if (esperadoMs < kPlazoEnvioMs) continue;
      errno = ETIMEDOUT;
    }
    if (sent <= 0 || esperadoMs >= kPlazoEnvioMs) {
      GenerarLogDebug("DLNA Error: " + convertInttoString(sent < 0 ? errno : 0));
      return false;
    }
    esperadoMs = 0;
    data += sent;
    length -= static_cast<int>(sent);
  }
  return true;
}

void* SockBuffer::Process() {
  // What is queued when Finalizar comes is still sent; a send error or the
  // add-on's stop ends at once.
  while (!PararProceso && !m_abandonar) {
    BufferPool::Entry entry;
    if (!m_pool.Take(entry, kEsperaCola)) {
      if (m_finalizado) break;
      continue;
    }
    const bool sent = Enviar(entry.data, entry.length);
    m_pool.Done(entry);
    if (!sent) break;
  }
  // Ended before the pool closes: a producer that finds no buffer can tell
  // a dead connection from a full queue.
  m_estado = 100;
  Finalizar();
  return nullptr;
}
