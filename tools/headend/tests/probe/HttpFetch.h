#pragma once

#include <map>
#include <string>

namespace probe {

// One GET over a raw TCP socket, read until the server closes: what came,
// and how (whether the head arrived in pieces, how long it took).
struct HttpResult {
  bool connected = false;
  bool answered = false;  // any byte came back
  int status = 0;
  std::map<std::string, std::string> headers;  // lower-case names
  std::string body;
  bool headInFirstRead = false;
  long elapsedMs = 0;

  std::string Header(const std::string& name) const {
    auto it = headers.find(name);
    return it == headers.end() ? std::string() : it->second;
  }
  bool HasHeader(const std::string& name) const { return headers.count(name) != 0; }
};

class HttpFetch {
 public:
  static HttpResult Get(const std::string& host, int port, const std::string& target,
                        const std::string& cookie = "", int timeoutMs = 5000);
};

}  // namespace probe
