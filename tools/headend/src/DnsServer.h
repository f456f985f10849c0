#pragma once

#include <string>

#include "VodSettings.h"
#include "Worker.h"

namespace headend {

class Log;

// The operator's DNS server on UDP: one thread ("dns") that answers each
// query with DnsAnswers, or with the fault the scenario asks for.
class DnsServer : public Worker {
 public:
  DnsServer(const DnsSettings& settings, Log& log);
  ~DnsServer() override;

  // Binds the address; true without a socket when the scenario says "off".
  bool Open(std::string* error);

 protected:
  void Process() override;

 private:
  const DnsSettings& settings_;
  Log& log_;
  int socket_ = -1;
  int queries_ = 0;
};

}  // namespace headend
