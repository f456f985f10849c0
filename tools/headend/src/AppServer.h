#pragma once

#include <list>
#include <memory>
#include <string>

#include "AppAnswers.h"
#include "HttpConnection.h"
#include "Worker.h"

namespace headend {

class Log;

// The operator's application server: accepts TCP connections on the
// scenario's address and serves each in a thread of its own, at most
// maxClients at a time.
class AppServer : public Worker {
 public:
  AppServer(const AppServerSettings& settings, AppAnswers& answers, Log& log);
  ~AppServer() override;

  bool Listen(std::string* error);

 protected:
  void Process() override;

 private:
  void Reap();
  void Refuse(int socket);

  const AppServerSettings& settings_;
  AppAnswers& answers_;
  Log& log_;
  int listener_ = -1;
  int accepted_ = 0;
  std::list<std::unique_ptr<HttpConnection>> connections_;  // this thread only
};

}  // namespace headend
