#include "AppServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "Log.h"

namespace headend {

AppServer::AppServer(const AppServerSettings& settings, AppAnswers& answers, Log& log)
    : Worker("http-accept"), settings_(settings), answers_(answers), log_(log) {}

AppServer::~AppServer() {
  Stop();
  if (listener_ >= 0) close(listener_);
}

bool AppServer::Listen(std::string* error) {
  listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  int one = 1;
  setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof(one));
  sockaddr_in at{};
  at.sin_family = AF_INET;
  at.sin_port = htons(settings_.listen.port);
  inet_pton(AF_INET, settings_.listen.address.c_str(), &at.sin_addr);
  if (listener_ < 0 || bind(listener_, reinterpret_cast<sockaddr*>(&at), sizeof(at)) != 0 ||
      listen(listener_, 64) != 0) {
    *error = "application server " + settings_.listen.Text() + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

void AppServer::Refuse(int socket) {
  static const char kBusy[] =
      "HTTP/1.1 503 Service Unavailable\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
  ssize_t n = send(socket, kBusy, sizeof(kBusy) - 1, MSG_DONTWAIT | MSG_NOSIGNAL);
  (void)n;
  close(socket);
}

void AppServer::Reap() {
  for (auto it = connections_.begin(); it != connections_.end();) {
    if ((*it)->Running()) {
      ++it;
    } else {
      it = connections_.erase(it);  // joins the finished thread
    }
  }
}

void AppServer::Process() {
  log_.Write("application server listening on %s", settings_.listen.Text().c_str());
  while (!Stopping()) {
    pollfd p{listener_, POLLIN, 0};
    int ready = poll(&p, 1, 100);
    Reap();
    if (ready <= 0) continue;
    sockaddr_in from{};
    socklen_t length = sizeof(from);
    int socket = accept4(listener_, reinterpret_cast<sockaddr*>(&from), &length, SOCK_CLOEXEC);
    if (socket < 0) continue;
    char address[INET_ADDRSTRLEN] = "?";
    inet_ntop(AF_INET, &from.sin_addr, address, sizeof(address));
    std::string peer = std::string(address) + ":" + std::to_string(ntohs(from.sin_port));
    if (connections_.size() >= static_cast<size_t>(settings_.maxClients)) {
      log_.Write("http %s: refused, %d clients already", peer.c_str(), settings_.maxClients);
      Refuse(socket);
      continue;
    }
    connections_.push_back(std::make_unique<HttpConnection>(
        socket, peer, ++accepted_, settings_.readTimeoutMs, answers_, log_));
    connections_.back()->Start();
  }
  for (auto& c : connections_) c->RequestStop();
  connections_.clear();
  log_.Write("application server stopped after %d connections", accepted_);
}

}  // namespace headend
