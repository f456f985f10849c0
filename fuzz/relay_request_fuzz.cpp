// The web relay's request path on arbitrary bytes: a client sends them over
// a connection and hangs up; the request reader and ParsearGET must answer
// with one of the relay's heads (or nothing) and name only a relayed channel.
#include <sys/socket.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "services/WebRelay.h"

namespace {
const std::string kHeads[] = {"", "HTTP/1.1 500 Internal server error\r\n\r\n",
                              "HTTP/1.1 503 Service Unavailable\r\nConnection: close\r\n\r\n"};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > 16384) return 0;
  static const ChannelMap channels = [] {
    ChannelMap m;
    const auto add = [&m](int id, const char* ip, int port) {
      m[id].id = id;
      m[id].ip = ip;
      m[id].puerto = port;
    };
    add(5, "239.0.0.5", 8208);
    add(6, "127.0.0.1", 8208);
    add(7, "http://10.1.2.3/c.ts", 0);
    return m;
  }();
  int pair[2];
  if (socketpair(AF_UNIX, SOCK_STREAM, 0, pair) != 0) return 0;
  const bool room = (data[0] & 1) != 0;
  send(pair[0], data + 1, size - 1, MSG_NOSIGNAL);
  shutdown(pair[0], SHUT_WR);

  std::string request;
  WebRelay::LeerPeticion(pair[1], request);
  WebRelay::Parametros parametros;
  int canal = -1;
  const bool stream = !request.empty() &&
                      WebRelay::ParsearGET(
                          request, pair[1], channels,
                          [room](const WebRelay::Parametros&) { return room; }, parametros, canal);
  shutdown(pair[1], SHUT_WR);
  std::string reply;
  char buffer[1024];
  for (ssize_t n; (n = recv(pair[0], buffer, sizeof(buffer), 0)) > 0;) reply.append(buffer, n);
  close(pair[0]);
  close(pair[1]);

  if (canal != -1 && canal != 5) __builtin_trap();  // only the multicast channel
  if (stream && (canal != 5 || reply.rfind("HTTP/1.1 200 OK\r\n", 0) != 0)) __builtin_trap();
  bool known = reply.rfind("HTTP/1.1 200 OK\r\n", 0) == 0 && canal == 5;
  for (const auto& head : kHeads) known = known || reply == head;
  if (!known) __builtin_trap();
  return 0;
}
