// A minimal HTTP/1.1 client for the operator's application server: GET only,
// status 200 only, bodies by Content-Length or until the peer stops, and one
// process-wide session cookie. One object serves one request at a time.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "common/HttpGlobals.h"
#include "common/HttpReader.h"
#include "common/Socket.h"

class http {
 public:
  // Requests read and relay the body in blocks of this size.
  static constexpr int kBlock = 2000;

  http() = default;
  virtual ~http();
  http(const http&) = delete;
  http& operator=(const http&) = delete;

  // The body; empty when the connection or request failed.
  std::string ObtenerStringhttp(const std::string& host, int port, const std::string& path);
  // Writes the body to a local file through the host; true when at least one
  // block was written.
  bool ObtenerFicherohttp(const std::string& host, int port, const std::string& path,
                          const std::string& file);
  // Relays the response, head included, unchanged to the socket; false when
  // the connection failed or the response was not a usable 200.
  bool ReenviarFicherohttp(const std::string& host, int port, const std::string& path, int socket);

  // Connects and sends the request; disconnects on failure.
  bool conectarhttp(const std::string& host, int port, const std::string& path);
  // Body bytes of the current response; see HttpReader::Read for the result.
  int Leerhttp(char* buffer, int size, bool keepHead = false);
  void desconectar();

  // Seconds allowed for the connection (2 unless set).
  void EstablecerTimeoutConexion(int seconds) { timeoutSeconds_ = seconds; }
  // Seconds a receive may wait for the server (10 unless set).
  void EstablecerTimeoutRecepcion(int seconds) { receiveSeconds_ = seconds; }

  const HttpHeaders& headers() const { return reader_.headers(); }
  int contentLength() const { return reader_.contentLength(); }
  const std::string& host() const { return host_; }

 private:
  bool in_conectarhttp();
  int Receive(char* buffer, int size);

  int32_t timeoutSeconds_ = 2;
  int32_t timeoutMicroseconds_ = 0;
  int32_t receiveSeconds_ = 10;
  std::string host_;
  int port_ = 0;
  std::string path_;
  HttpReader reader_;
  Socket socket_;
  std::chrono::steady_clock::time_point requestDeadline_{};
  bool connected_ = false;
};
