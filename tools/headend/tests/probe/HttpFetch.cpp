#include "HttpFetch.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

namespace probe {

namespace {

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
  return s;
}

void ParseHead(const std::string& head, HttpResult* r) {
  size_t space = head.find(' ');
  if (head.compare(0, 5, "HTTP/") == 0 && space != std::string::npos)
    r->status = std::atoi(head.c_str() + space + 1);
  size_t at = head.find("\r\n");
  while (at != std::string::npos && at + 2 < head.size()) {
    size_t end = head.find("\r\n", at + 2);
    std::string line = head.substr(at + 2, end == std::string::npos ? end : end - at - 2);
    size_t colon = line.find(':');
    if (colon != std::string::npos) {
      size_t value = line.find_first_not_of(' ', colon + 1);
      r->headers[Lower(line.substr(0, colon))] =
          value == std::string::npos ? std::string() : line.substr(value);
    }
    at = end;
  }
}

}  // namespace

HttpResult HttpFetch::Get(const std::string& host, int port, const std::string& target,
                          const std::string& cookie, int timeoutMs) {
  HttpResult r;
  auto start = std::chrono::steady_clock::now();
  int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(static_cast<uint16_t>(port));
  inet_pton(AF_INET, host.c_str(), &to.sin_addr);
  if (s < 0 || connect(s, reinterpret_cast<sockaddr*>(&to), sizeof(to)) != 0) {
    if (s >= 0) close(s);
    return r;
  }
  r.connected = true;
  std::string request = "GET " + target + " HTTP/1.1\r\nHost: " + host + ":" +
                        std::to_string(port) + "\r\nUser-Agent: headend-probe\r\n";
  if (!cookie.empty()) request += "Cookie: " + cookie + "\r\n";
  request += "Connection: close\r\n\r\n";
  if (send(s, request.data(), request.size(), MSG_NOSIGNAL) !=
      static_cast<ssize_t>(request.size())) {
    close(s);
    return r;
  }
  std::string all;
  bool first = true;
  char buffer[8192];
  auto end = start + std::chrono::milliseconds(timeoutMs);
  while (true) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        end - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd p{s, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
    ssize_t n = recv(s, buffer, sizeof(buffer), 0);
    if (n <= 0) break;
    all.append(buffer, static_cast<size_t>(n));
    if (first) r.headInFirstRead = all.find("\r\n\r\n") != std::string::npos;
    first = false;
  }
  close(s);
  r.elapsedMs = static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                      std::chrono::steady_clock::now() - start)
                                      .count());
  r.answered = !all.empty();
  size_t headEnd = all.find("\r\n\r\n");
  if (headEnd == std::string::npos) return r;
  ParseHead(all.substr(0, headEnd), &r);
  r.body = all.substr(headEnd + 4);
  return r;
}

}  // namespace probe
