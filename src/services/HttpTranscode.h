// One client of the web relay: joins its channel's multicast group and
// copies the transport stream, RTP header removed, to the client's HTTP
// connection through a stream buffer of its own.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "common/Socket.h"
#include "common/Thread.h"
#include "live/StructDatosSock.h"

class SockBuffer;

class HttpTranscode : public PLATFORM::CThread {
 public:
  // A client whose queue reaches this many chunks is dropped.
  static constexpr size_t kMaximoBuffers = 64;
  static constexpr int kParada = 100;

  // Takes the accepted connection; `clave` names the client in log lines.
  HttpTranscode(Socket cliente, int canal, const std::string& ip, int puerto,
                const std::string& clave);
  ~HttpTranscode() override;

  void* Process() override;
  bool AbrirCanal();
  void CerrarCanal();
  // Asks the worker to end and unblocks a send in progress (any thread).
  void Parar();

  // Fills `buffer` with up to `longitud` bytes of stream: the carry-over of
  // the last call first, then whole transport packets of each datagram.
  // Returns once the buffer is full, 100 ms after its first byte, or when
  // the worker must end; -1 for an input that is not open.
  int LeerSockEntrada(StructDatosSock& entrada, char* buffer, int longitud);

  int Canal() const { return m_canal; }
  const std::string& Clave() const { return m_clave; }
  bool Error() const { return m_error; }

 private:
  // Appends one datagram's payload; false when it is not transport stream.
  bool Agregar(StructDatosSock& entrada, const char* datagrama, int largo, char* buffer,
               int& reunidos, int longitud);
  bool ClienteColgado();
  bool Detener() const;

  Socket m_cliente;
  const int m_canal;
  const std::string m_ip;
  const int m_puerto;
  const std::string m_clave;
  std::unique_ptr<StructDatosSock> m_entrada;
  std::unique_ptr<SockBuffer> m_salida;
  std::atomic<int> m_parada{0};
  std::atomic<bool> m_error{false};
  // Datagrams that were no transport stream, reported once at the end.
  int m_descartados = 0;
};
