// The web relay: other devices of the home network play a channel by asking
// http://<this machine>:<PuertoHttp>/canal=<id>.mpg. The listener answers
// each request and hands the stream to one worker per client.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/Socket.h"
#include "common/Thread.h"
#include "discovery/Canal.h"

class HttpTranscode;

class WebRelay : public PLATFORM::CThread {
 public:
  using Parametros = std::map<std::string, std::string>;
  using FuenteCanales = std::function<std::shared_ptr<const LineUp>()>;

  static constexpr size_t kMaxCabecera = 8192;
  static constexpr int kEsperaCabeceraMs = 5000;
  static constexpr size_t kMaxClientes = 32;
  // Connections whose head is still coming, each with its own deadline.
  static constexpr size_t kMaxPendientes = 64;

  // `canales` gives the line-up in force; each request reads one snapshot.
  explicit WebRelay(FuenteCanales canales);
  ~WebRelay() override;

  void* Process() override;

  // Reads a request head from `fd` until its empty line, at most
  // kMaxCabecera bytes and kEsperaCabeceraMs long (cut in short waits that
  // poll the add-on's and the calling thread's stop). False when nothing
  // complete came.
  static bool LeerPeticion(int fd, std::string& peticion);
  // One receive of a head into `peticion`: 1 while more may come, 0 once it
  // is whole or at its size limit, -1 when the client closed or failed.
  static int RecibirTrozo(int fd, std::string& peticion);
  // Parses the request and writes the response head; true when the stream
  // must follow. `canal` is -1 for a channel that is not relayed. `hayPlaza`
  // tells whether a worker may start for these parameters.
  static bool ParsearGET(const std::string& peticion, int fd, const ChannelMap& canales,
                         const std::function<bool(const Parametros&)>& hayPlaza,
                         Parametros& parametros, int& canal);
  static bool Response(int fd, int codigo, bool dlna);
  // A channel the relay may join: an IPv4 multicast group and a valid port.
  static bool Retransmisible(const Canal& canal);

  // Workers running now (for the controller's and tests' checks).
  size_t Clientes() const;

 private:
  // A head still coming; or, once answered (`cerrando`), a connection
  // whose unread request is drained a moment so the close sends no reset.
  struct Pendiente {
    Socket socket;
    std::string peticion;
    std::chrono::steady_clock::time_point fin;
    bool cerrando = false;
    size_t drenados = 0;
  };

  // Answers a head; a worker that starts takes the socket from `cliente`.
  void Atender(Socket& cliente, const std::string& peticion);
  void Avanzar(Pendiente& pendiente, bool legible);
  std::string Clave(const Parametros& parametros);
  void Barrer();
  void PararTodos();

  FuenteCanales m_canales;
  // The listener thread alone changes these; Clientes() reads under the lock.
  mutable std::mutex m_mutex;
  std::map<std::string, std::unique_ptr<HttpTranscode>> m_workers;
  // Workers whose key a newer request took: stopped, swept once ended.
  std::vector<std::unique_ptr<HttpTranscode>> m_relevados;
  int m_siguiente = 0;
};
