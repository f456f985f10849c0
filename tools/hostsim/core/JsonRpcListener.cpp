#include "core/JsonRpcListener.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace hostsim {

namespace {

int listenOn(int family, uint16_t port, std::string& error) {
  int fd = ::socket(family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) {
    error = std::string("socket: ") + std::strerror(errno);
    return -1;
  }
  int one = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_storage address{};
  socklen_t length;
  if (family == AF_INET6) {
    setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &one, sizeof one);
    auto* a = reinterpret_cast<sockaddr_in6*>(&address);
    a->sin6_family = AF_INET6;
    a->sin6_addr = in6addr_loopback;
    a->sin6_port = htons(port);
    length = sizeof *a;
  } else {
    auto* a = reinterpret_cast<sockaddr_in*>(&address);
    a->sin_family = AF_INET;
    a->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a->sin_port = htons(port);
    length = sizeof *a;
  }
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 || ::listen(fd, 16) != 0) {
    error = std::string(family == AF_INET6 ? "[::1]:" : "127.0.0.1:") + std::to_string(port) +
            ": " + std::strerror(errno);
    ::close(fd);
    return -1;
  }
  return fd;
}

uint16_t boundPort(int fd) {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  if (address.ss_family == AF_INET6)
    return ntohs(reinterpret_cast<sockaddr_in6*>(&address)->sin6_port);
  return ntohs(reinterpret_cast<sockaddr_in*>(&address)->sin_port);
}

}  // namespace

JsonRpcListener::JsonRpcListener(Handler handler)
    : HostThread("hostsim-rpc"), handler_(std::move(handler)) {}

JsonRpcListener::~JsonRpcListener() {
  close();
}

bool JsonRpcListener::listen(uint16_t port, std::string& error) {
  close();
  int v6 = listenOn(AF_INET6, port, error);
  if (v6 < 0) return false;
  port_ = boundPort(v6);
  int v4 = listenOn(AF_INET, port_, error);
  if (v4 < 0) {
    ::close(v6);
    return false;
  }
  listeners_ = {v6, v4};
  start();
  return true;
}

void JsonRpcListener::close() {
  stop();
  for (int fd : listeners_) ::close(fd);
  for (const auto& c : connections_) ::close(c.fd);
  listeners_.clear();
  connections_.clear();
}

void JsonRpcListener::wake() {}  // the poll below wakes every 100 ms

std::vector<std::string> JsonRpcListener::takeObjects(std::string& buffer) {
  std::vector<std::string> objects;
  size_t start = std::string::npos, i = 0;
  int depth = 0;
  bool inString = false, escaped = false;
  size_t consumed = 0;
  for (; i < buffer.size(); ++i) {
    char ch = buffer[i];
    if (start == std::string::npos) {
      if (ch == '{') {
        start = i;
        depth = 1;
      } else {
        consumed = i + 1;  // white space or stray bytes between objects
      }
      continue;
    }
    if (inString) {
      if (escaped)
        escaped = false;
      else if (ch == '\\')
        escaped = true;
      else if (ch == '"')
        inString = false;
    } else if (ch == '"') {
      inString = true;
    } else if (ch == '{' || ch == '[') {
      ++depth;
    } else if ((ch == '}' || ch == ']') && --depth == 0) {
      objects.push_back(buffer.substr(start, i + 1 - start));
      start = std::string::npos;
      consumed = i + 1;
    }
  }
  buffer.erase(0, consumed);
  return objects;
}

bool JsonRpcListener::serve(Connection& c) {
  char chunk[16384];
  ssize_t n = ::recv(c.fd, chunk, sizeof chunk, 0);
  if (n < 0 && (errno == EAGAIN || errno == EINTR)) return true;
  if (n > 0) c.pending.append(chunk, static_cast<size_t>(n));
  for (const std::string& request : takeObjects(c.pending)) {
    std::string reply = handler_(request);
    // The client may have gone without reading: a failed send is fine.
    if (!reply.empty()) ::send(c.fd, reply.data(), reply.size(), MSG_NOSIGNAL);
  }
  if (c.pending.size() > kMaxRequest) return false;
  return n > 0;
}

void JsonRpcListener::process() {
  while (!stopRequested()) {
    std::vector<pollfd> fds;
    for (int fd : listeners_) fds.push_back({fd, POLLIN, 0});
    for (const auto& c : connections_) fds.push_back({c.fd, POLLIN, 0});
    if (::poll(fds.data(), fds.size(), 100) <= 0) continue;
    const size_t polled = connections_.size();  // those accepted below wait for the next poll
    for (size_t i = 0; i < listeners_.size(); ++i) {
      if (!(fds[i].revents & POLLIN)) continue;
      int fd = ::accept4(listeners_[i], nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
      if (fd < 0) continue;
      if (connections_.size() >= kMaxConnections) {
        ::close(fd);
        continue;
      }
      // Replies are small: write them whole, with a bound on a stuck reader.
      int flags = fcntl(fd, F_GETFL);
      fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
      timeval limit{2, 0};
      setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
      timeval none{0, 1000};
      setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &none, sizeof none);
      connections_.push_back({fd, std::string()});
    }
    std::vector<Connection> kept;
    for (size_t k = 0; k < connections_.size(); ++k) {
      Connection& c = connections_[k];
      if (k >= polled || fds[listeners_.size() + k].revents == 0 || serve(c)) {
        kept.push_back(std::move(c));
      } else {
        ::close(c.fd);
      }
    }
    connections_.swap(kept);
  }
}

}  // namespace hostsim
