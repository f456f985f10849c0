// A loopback HTTP server for tests: answers each request with the reply the
// test registered for its path (the whole raw response, head included), sent
// in the segments given, 100 ms apart; a 404 for any other path.
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
  void Answer(const std::string& path, std::vector<std::string> segments);
  // 200 with Content-Length and the given body.
  void AnswerOk(const std::string& path, const std::string& body);
  // The request heads received, in order.
  std::vector<std::string> Requests() const;

 private:
  void Serve();

  int listen_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  mutable std::mutex mutex_;
  std::map<std::string, std::vector<std::string>> answers_;
  std::vector<std::string> requests_;
  std::thread thread_;
};
