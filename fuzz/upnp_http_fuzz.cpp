// Any bytes sent to the media server's HTTP side over a connection that then
// hangs up: the reply is nothing or one HTTP answer whose length field, when
// there is one, counts the bytes that follow the head (a HEAD's answer has
// the GET's length and no body).
#include <sys/socket.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "common/HttpGlobals.h"
#include "common/SettingValues.h"
#include "services/upnphttp.h"

namespace {
std::shared_ptr<const LineUp> Canales() {
  static const auto lineUp = [] {
    auto l = std::make_shared<LineUp>();
    for (int id : {7, 1003, 2003}) {
      Canal& c = l->fullChannels[id];
      c.id = id;
      c.nombre = std::string(300, id == 7 ? '&' : '<');
      c.HD = id > 2000;
      l->order[id * 10] = id;
    }
    return std::shared_ptr<const LineUp>(std::move(l));
  }();
  return lineUp;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 16384) return 0;
  // Programme images are asked of a closed local port: nothing leaves.
  httpHostQuorvina = "127.0.0.1";
  PuertoHttpQuorvina = 1;
  static upnphttp server(Canales);
  int pair[2];
  if (socketpair(AF_UNIX, SOCK_STREAM, 0, pair) != 0) return 0;
  send(pair[0], data, size, MSG_NOSIGNAL);
  shutdown(pair[0], SHUT_WR);
  server.ProcesarPeticionHttp(pair[1]);
  close(pair[1]);
  std::string reply;
  char buffer[65536];
  for (ssize_t n; (n = recv(pair[0], buffer, sizeof(buffer), 0)) > 0;) reply.append(buffer, n);
  close(pair[0]);
  if (reply.empty()) return 0;
  if (reply.rfind("HTTP/1.1 ", 0) != 0) __builtin_trap();
  const size_t head = reply.find("\r\n\r\n");
  if (head == std::string::npos) __builtin_trap();
  std::string lower = reply.substr(0, head);
  for (char& c : lower) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  // The server reads the method among the lower-cased head lines: a line
  // starting "head" may have made it a HEAD.
  std::string request(reinterpret_cast<const char*>(data), size);
  for (char& c : request) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  if (request.rfind("head", 0) == 0 || request.find("\nhead") != std::string::npos) return 0;
  const size_t field = lower.find("\r\ncontent-length: ");
  if (field != std::string::npos &&
      std::stoul(lower.substr(field + 18)) != reply.size() - head - 4) {
    __builtin_trap();
  }
  return 0;
}
