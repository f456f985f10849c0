#include "services/HttpTranscode.h"

#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <utility>

#include "common/Conversions.h"
#include "common/Globals.h"
#include "common/Log.h"
#include "live/ComprobarRTP.h"
#include "live/SockBuffer.h"

namespace {
using Clock = std::chrono::steady_clock;
constexpr int kPaso = 100;  // ms: every wait of the fill loop
// Once the socket is emptied, datagrams gather this long before the next
// receive: one wake-up and one recvmmsg for many, not one per datagram.
constexpr int kReunir = 10;  // ms
constexpr int kTsPacket = 188;
constexpr int kTimeoutCliente = 10;  // s, send and receive
// Up to a second of a 40 Mbit/s channel: a worker the scheduler holds back
// for a moment must not lose datagrams (the system caps it at rmem_max).
constexpr int kRecepcion = 4 << 20;

// A chunk of the client's stream: BUFSIZE, but at least one transport
// packet (a smaller setting rounds down to nothing).
int Chunk() {
  return std::max(BUFSIZE, kTsPacket);
}
}  // namespace

HttpTranscode::HttpTranscode(Socket cliente, int canal, const std::string& ip, int puerto,
                             const std::string& clave)
    : m_cliente(std::move(cliente)),
      m_canal(canal),
      m_ip(ip),
      m_puerto(puerto),
      m_clave(clave),
      m_entrada(std::make_unique<StructDatosSock>()) {
  SetThreadName("quorvina-relayw");
  const int fd = m_cliente.fd();
  timeval timeout{kTimeoutCliente, 0};
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof(timeout));
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout));
  int size = Chunk();
  setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &size, sizeof(size));
}

HttpTranscode::~HttpTranscode() {
  Parar();
  StopThread(0);
  CerrarCanal();
}

bool HttpTranscode::Detener() const {
  return m_parada != 0 || PararProceso;
}

void HttpTranscode::Parar() {
  m_parada = kParada;
  // The descriptor stays open until the thread is joined; a shut-down
  // connection only makes a blocked send return.
  if (m_cliente.valid()) shutdown(m_cliente.fd(), SHUT_RDWR);
  StopThread(-1);
}

bool HttpTranscode::AbrirCanal() {
  if (!AbrirSocketUDP(m_entrada->Socket, m_ip, m_puerto, false)) {
    GenerarLogError("Relay no se puede abrir el canal " + convertInttoString(m_canal));
    return false;
  }
  int size = kRecepcion;
  setsockopt(m_entrada->Socket.fd(), SOL_SOCKET, SO_RCVBUF, &size, sizeof(size));
  m_entrada->Abierto = true;
  return true;
}

void HttpTranscode::CerrarCanal() {
  if (m_entrada->Abierto.exchange(false)) CerrarConexionUdp(m_entrada->Socket);
  if (m_cliente.valid()) shutdown(m_cliente.fd(), SHUT_RDWR);
  if (m_salida) {
    m_salida->Finalizar();
    m_salida.reset();  // joins its sender
  }
}

void* HttpTranscode::Process() {
  if (!AbrirCanal()) {
    m_error = true;
  } else {
    GenerarLogDebug("AbrirSalida HttpTranscode");
    m_salida =
        std::make_unique<SockBuffer>(m_cliente.fd(), kMaximoBuffers, static_cast<size_t>(Chunk()));
    while (!Detener() && !m_error) {
      // No free chunk: the client is kMaximoBuffers behind, or gone.
      char* chunk = m_salida->GetBuffer(std::chrono::milliseconds(0));
      if (chunk == nullptr) {
        if (m_salida->Estado() == 0 && !Detener())
          GenerarLogError("Relay cliente lento " + m_clave);
        m_parada = kParada;
        break;
      }
      const int leidos = LeerSockEntrada(*m_entrada, chunk, m_salida->GetLongitud());
      if (leidos < 0) break;
      if (m_entrada->Error != 0) {
        GenerarLogError("Relay error de recepcion " + convertInttoString(m_entrada->Error) + " " +
                        m_clave);
        m_error = true;
      }
      if (leidos > 0 && !m_salida->Escribir(chunk, leidos)) m_parada = kParada;
    }
  }
  if (m_descartados > 0) {
    GenerarLogError("Relay datagramas descartados " + convertInttoString(m_descartados) + " " +
                    m_clave);
  }
  CerrarCanal();
  return nullptr;
}

bool HttpTranscode::ClienteColgado() {
  char resto[512];
  const ssize_t n = recv(m_cliente.fd(), resto, sizeof(resto), MSG_DONTWAIT);
  if (n == 0) return true;
  return n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR;
}

bool HttpTranscode::Agregar(StructDatosSock& entrada, const char* datagrama, int largo,
                            char* buffer, int& reunidos, int longitud) {
  int offset = 0;
  ComprobarRTP(datagrama, &largo, offset);
  const char* payload = datagrama + offset;
  // Only whole transport packets go on: a client must never lose the
  // packet alignment over one stray datagram.
  if (largo <= 0 || largo % kTsPacket != 0 || payload[0] != 0x47) {
    ++m_descartados;
    return false;
  }
  int cabe = largo;
  if (reunidos + largo > longitud) {
    cabe = longitud - reunidos;
    entrada.LongitudResto = largo - cabe;
    memcpy(entrada.BufferResto, payload + cabe, static_cast<size_t>(entrada.LongitudResto));
  }
  memcpy(buffer + reunidos, payload, static_cast<size_t>(cabe));
  reunidos += cabe;
  return true;
}

int HttpTranscode::LeerSockEntrada(StructDatosSock& entrada, char* buffer, int longitud) {
  if (!entrada.Abierto) return -1;
  int reunidos = 0;
  if (entrada.LongitudResto > 0) {
    reunidos = std::min(entrada.LongitudResto, longitud);
    memcpy(buffer, entrada.BufferResto, static_cast<size_t>(reunidos));
    entrada.LongitudResto -= reunidos;
    memmove(entrada.BufferResto, entrada.BufferResto + reunidos,
            static_cast<size_t>(entrada.LongitudResto));
  }
  Clock::time_point entrega = Clock::now() + std::chrono::milliseconds(kPaso);
  mmsghdr mensajes[StructDatosSock::kLote];
  iovec vectores[StructDatosSock::kLote];
  bool vaciado = false;
  while (reunidos < longitud && !Detener()) {
    int espera = kPaso;
    if (reunidos > 0) {
      const auto falta =
          std::chrono::duration_cast<std::chrono::milliseconds>(entrega - Clock::now()).count();
      if (falta <= 0) break;
      espera = static_cast<int>(std::min<int64_t>(falta, kPaso));
    }
    // While datagrams gather only the client is watched (a hang-up).
    const bool reuniendo = std::exchange(vaciado, false);
    if (reuniendo) espera = std::min(espera, kReunir);
    pollfd fds[2] = {{reuniendo ? -1 : entrada.Socket.fd(), POLLIN, 0},
                     {m_cliente.fd(), POLLIN | POLLRDHUP, 0}};
    const int listos = poll(fds, 2, espera);
    if (listos < 0 && errno != EINTR) {
      entrada.Error = errno;
      break;
    }
    if (listos <= 0) continue;
    if ((fds[1].revents & (POLLIN | POLLRDHUP | POLLHUP | POLLERR)) != 0 && ClienteColgado()) {
      GenerarLogDebug("Relay cliente desconectado " + m_clave);
      m_parada = kParada;
      break;
    }
    if (reuniendo || (fds[0].revents & (POLLIN | POLLERR)) == 0) continue;
    // As many datagrams as surely fit; only the last one may spill over.
    const int lote = std::max(
        1, std::min(StructDatosSock::kLote, (longitud - reunidos) / StructDatosSock::kDatagrama));
    for (int i = 0; i < lote; ++i) {
      vectores[i] = {entrada.BufferRecepcion[i], StructDatosSock::kDatagrama};
      mensajes[i] = {};
      mensajes[i].msg_hdr.msg_iov = &vectores[i];
      mensajes[i].msg_hdr.msg_iovlen = 1;
    }
    const int recibidos = recvmmsg(entrada.Socket.fd(), mensajes, lote, MSG_DONTWAIT, nullptr);
    if (recibidos < 0) {
      if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) continue;
      entrada.Error = errno;
      break;
    }
    vaciado = recibidos < lote;
    for (int i = 0; i < recibidos; ++i) {
      const bool primero = reunidos == 0;
      if (Agregar(entrada, entrada.BufferRecepcion[i], static_cast<int>(mensajes[i].msg_len),
                  buffer, reunidos, longitud) &&
          primero) {
        entrega = Clock::now() + std::chrono::milliseconds(kPaso);
      }
    }
  }
  return reunidos;
}
