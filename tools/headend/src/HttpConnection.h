#pragma once

#include <string>

#include "AppAnswers.h"
#include "Worker.h"

namespace headend {

class Log;

// Serves one accepted TCP connection: reads one request head (bounded in
// size and time), answers it with the scenario's faults, then closes.
class HttpConnection : public Worker {
 public:
  HttpConnection(int socket, std::string peer, int number, int readTimeoutMs, AppAnswers& answers,
                 Log& log);
  ~HttpConnection() override;

 protected:
  void Process() override;

 private:
  enum class Wait { kReady, kTimeout, kStopped };
  Wait WaitReadable(int timeoutMs);
  bool ReadHead(std::string* head);
  bool SendAll(const std::string& bytes);
  void Hold(int ms);
  std::string Head(const HttpReply& reply) const;

  int socket_;
  std::string peer_;
  int readTimeoutMs_;
  AppAnswers& answers_;
  Log& log_;
};

}  // namespace headend
