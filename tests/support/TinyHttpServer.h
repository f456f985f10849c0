// A loopback HTTP server for tests: answers each request with the reply the
// test registered for its path (the whole raw response, head included).
#pragma once

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class TinyHttpServer {
 public:
  TinyHttpServer();
  ~TinyHttpServer();
  TinyHttpServer(const TinyHttpServer&) = delete;
  TinyHttpServer& operator=(const TinyHttpServer&) = delete;

  int port() const { return port_; }
  // Full raw response for a request path (with its query).
  void Answer(const std::string& path, const std::string& rawResponse);
  // 200 with Content-Length and the given body.
  void AnswerOk(const std::string& path, const std::string& body);
  std::vector<std::string> Requests() const;

 private:
  void Serve();

  int listen_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  mutable std::mutex mutex_;
  std::map<std::string, std::string> answers_;
  std::vector<std::string> requests_;
  std::thread thread_;
};
