#include "common/Http.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "common/HostServices.h"
#include "common/Thread.h"
#include "common/Utils.h"

namespace {
constexpr int kSocketTimeoutSeconds = 10;
constexpr int kReceiveSliceMs = 200;
// A server that trickles its answer cannot hold one request longer.
constexpr auto kRequestLimit = std::chrono::seconds(30);
constexpr size_t kRequestBuffer = 2000;
// Bounds on one response, so that a server that never stops cannot keep a
// request running or growing without end.
constexpr size_t kMaxText = 64u << 20;
constexpr int64_t kMaxRelay = int64_t{512} << 20;

// First IPv4 address of a name through the system resolver.
bool Resolve(const std::string& host, in_addr& address) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* result = nullptr;
  if (getaddrinfo(host.c_str(), nullptr, &hints, &result) != 0 || result == nullptr) return false;
  address = reinterpret_cast<const sockaddr_in*>(result->ai_addr)->sin_addr;
  freeaddrinfo(result);
  return true;
}

bool SetBlocking(int socket, bool blocking) {
  const int flags = fcntl(socket, F_GETFL, 0);
  if (flags < 0) return false;
  return fcntl(socket, F_SETFL, blocking ? flags & ~O_NONBLOCK : flags | O_NONBLOCK) == 0;
}

// Waits until the socket is writable, at most ms, in slices so that a
// stopping add-on or worker never waits out a silent server's connect.
bool WaitWritable(int socket, int ms) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!PLATFORM::Stopping()) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd watch{socket, POLLOUT, 0};
    const int ready =
        poll(&watch, 1, static_cast<int>(std::min<int64_t>(left.count(), kReceiveSliceMs)));
    if (ready > 0) return true;
    if (ready < 0 && errno != EINTR) return false;
  }
  return false;
}

bool SendAll(int socket, const char* data, int size) {
  while (size > 0) {
    const ssize_t sent = send(socket, data, size, MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) return false;
    data += sent;
    size -= static_cast<int>(sent);
  }
  return true;
}
}  // namespace

http::~http() = default;

bool http::conectarhttp(const std::string& host, int port, const std::string& path) {
  if (socket_.valid()) desconectar();
  host_ = host;
  port_ = port;
  path_ = path;
  reader_.Reset();
  requestDeadline_ = std::chrono::steady_clock::now() + kRequestLimit;
  if (in_conectarhttp()) return true;
  desconectar();
  return false;
}

bool http::in_conectarhttp() {
  GenerarLogDebug("conectarhttp " + host_ + "-" + convertInttoString(port_));

  socket_.reset(socket(AF_INET, SOCK_STREAM, 0));
  if (!socket_.valid()) return false;
  const int fd = socket_.fd();
  timeval timeout{kSocketTimeoutSeconds, 0};
  if (setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout)) != 0 ||
      setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof(timeout)) != 0) {
    return false;
  }

  GenerarLogDebug("gethostbyname:" + host_);
  in_addr resolved{};
  if (!Resolve(host_, resolved)) {
    if (host_ != httpHostQuorvina) return false;
    GenerarLogDebug("gethostbyname no resuelto cambiando a IP:" + httpHostQuorvinaConfiguracion);
    host_ = httpHostQuorvinaConfiguracion;
    if (!Resolve(host_, resolved)) return false;
  }

  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port_));
  address.sin_addr = resolved;
  GenerarLogDebug("connect:" + host_);

  // Connect without blocking so that an unreachable server costs only the
  // connect time-out; a refused connection shows up when sending.
  if (!SetBlocking(fd, false)) return false;
  (void)connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address));
  GenerarLogDebug("conectado:" + host_);
  if (!WaitWritable(fd, timeoutSeconds_ * 1000 + timeoutMicroseconds_ / 1000)) {
    GenerarLogDebug("timeout:" + host_);
    return false;
  }
  GenerarLogDebug("SetBlocking");
  if (!SetBlocking(fd, true)) return false;

  GenerarLogDebug("GET");
  std::string request = "GET " + path_ + " HTTP/1.1\r\nHost: " + host_ + "\r\n";
  const std::string cookie = httpSessionID.Get();
  if (!cookie.empty()) request += cookie + "\r\n";
  request += "\r\n";
  // Requests live in a 2000-byte buffer; one that does not fit is never sent cut short.
  if (request.size() >= kRequestBuffer || send(fd, request.data(), request.size(), MSG_NOSIGNAL) !=
                                              static_cast<ssize_t>(request.size())) {
    GenerarLogDebug("send fallado " + host_);
    return false;
  }
  GenerarLogDebug("send completado " + host_);
  connected_ = true;
  return true;
}

int http::Receive(char* buffer, int size) {
  // Waits in short slices so that a stopping add-on never waits out a silent
  // server's whole time-out.
  const auto deadline = std::min(
      std::chrono::steady_clock::now() + std::chrono::seconds(receiveSeconds_), requestDeadline_);
  while (!PLATFORM::Stopping()) {
    pollfd watch{socket_.fd(), POLLIN, 0};
    const int ready = poll(&watch, 1, kReceiveSliceMs);
    if (ready < 0 && errno != EINTR) return -1;
    if (ready > 0) {
      const ssize_t received = recv(socket_.fd(), buffer, size, 0);
      if (received < 0 && errno == EINTR) continue;
      return static_cast<int>(received);
    }
    if (std::chrono::steady_clock::now() >= deadline) return -1;
  }
  return -1;
}

int http::Leerhttp(char* buffer, int size, bool keepHead) {
  GenerarLogDebug("Http");
  if (!connected_) return HttpReader::kUnusable;
  return reader_.Read(buffer, size, keepHead,
                      [this](char* into, int most) { return Receive(into, most); });
}

void http::desconectar() {
  socket_.reset();
  connected_ = false;
  reader_.EndResponse();
  GenerarLogDebug("desconectar.");
}

std::string http::ObtenerStringhttp(const std::string& host, int port, const std::string& path) {
  std::string body;
  if (!conectarhttp(host, port, path)) return body;
  char block[kBlock];
  for (;;) {
    const int count = Leerhttp(block, kBlock);
    if (count > 0) body.append(block, count);
    if (count < kBlock || body.size() >= kMaxText || PararProceso) break;
  }
  if (IPAdaptador.Empty()) IPAdaptador.SetIfEmpty(ObtenerIPAdaptador(socket_.fd()));
  desconectar();
  return body;
}

bool http::ObtenerFicherohttp(const std::string& host, int port, const std::string& path,
                              const std::string& file) {
  if (!conectarhttp(host, port, path)) return false;
  HostFile output;
  bool written = false;
  bool failed = false;
  int64_t total = 0;
  char block[kBlock];
  for (;;) {
    const int count = Leerhttp(block, kBlock);
    if (count <= 0) break;
    // Opened only once there is something to write, so a refused request
    // leaves no file behind.
    if (!output) output = HostFile::ForWrite(file, true);
    if (!output.Write(block, static_cast<size_t>(count))) {
      failed = true;
      break;
    }
    written = true;
    total += count;
    if (count < kBlock || total >= kMaxRelay || PararProceso) break;
  }
  const bool opened = static_cast<bool>(output);
  output.Close();
  desconectar();
  if (failed) {
    // A half-written file would later pass for a downloaded one.
    if (opened) TheHost().DeleteFile(file);
    return false;
  }
  return written;
}

bool http::ReenviarFicherohttp(const std::string& host, int port, const std::string& path,
                               int socket) {
  if (!conectarhttp(host, port, path)) return false;
  bool ok = true;
  int64_t total = 0;
  char block[kBlock];
  for (bool first = true;; first = false) {
    const int count = Leerhttp(block, kBlock, true);
    // Nothing relayed (refused, closed or silent server) is a failure too:
    // the caller may still answer the client.
    if (count <= 0 && first) ok = false;
    if (count <= 0) break;
    // A client that went away ends the relay; the response itself was good.
    if (!SendAll(socket, block, count)) break;
    total += count;
    if (count < kBlock || total >= kMaxRelay || PararProceso) break;
  }
  desconectar();
  return ok;
}
