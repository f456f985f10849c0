#include "support/TinyHttpServer.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

TinyHttpServer::TinyHttpServer() {
  listen_ = socket(AF_INET, SOCK_STREAM, 0);
  const int on = 1;
  setsockopt(listen_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(listen_, reinterpret_cast<sockaddr*>(&address), sizeof(address));
  socklen_t length = sizeof(address);
  getsockname(listen_, reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.sin_port);
  listen(listen_, 16);
  thread_ = std::thread([this] { Serve(); });
}

TinyHttpServer::~TinyHttpServer() {
  stop_ = true;
  thread_.join();
  close(listen_);
}

void TinyHttpServer::Answer(const std::string& path, std::vector<std::string> segments) {
  std::lock_guard<std::mutex> lock(mutex_);
  answers_[path] = std::move(segments);
}

void TinyHttpServer::AnswerOk(const std::string& path, const std::string& body) {
  Answer(path,
         {"HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body});
}

std::vector<std::string> TinyHttpServer::Requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

void TinyHttpServer::Serve() {
  while (!stop_) {
    pollfd p{listen_, POLLIN, 0};
    if (poll(&p, 1, 50) <= 0) continue;
    const int client = accept(listen_, nullptr, nullptr);
    if (client < 0) continue;
    std::string request;
    char buffer[4096];
    // Read until the end of the head; requests carry no body.
    for (int i = 0; i < 100 && request.find("\r\n\r\n") == std::string::npos; ++i) {
      pollfd c{client, POLLIN, 0};
      if (poll(&c, 1, 100) <= 0) continue;
      const ssize_t n = recv(client, buffer, sizeof(buffer), 0);
      if (n <= 0) break;
      request.append(buffer, static_cast<size_t>(n));
    }
    const size_t start = request.find(' ');
    const size_t end = request.find(' ', start + 1);
    const std::string path = start == std::string::npos || end == std::string::npos
                                 ? std::string()
                                 : request.substr(start + 1, end - start - 1);
    std::vector<std::string> reply = {"HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n"};
    {
      std::lock_guard<std::mutex> lock(mutex_);
      requests_.push_back(request);
      const auto it = answers_.find(path);
      if (it != answers_.end()) reply = it->second;
    }
    for (size_t i = 0; i < reply.size(); ++i) {
      if (i > 0) std::this_thread::sleep_for(std::chrono::milliseconds(100));
      send(client, reply[i].data(), reply[i].size(), MSG_NOSIGNAL);
    }
    close(client);
  }
}
