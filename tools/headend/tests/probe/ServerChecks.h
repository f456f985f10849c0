#pragma once

#include <string>
#include <vector>

#include "Checks.h"
#include "HttpFetch.h"

namespace probe {

// What a client learns from the profile answers.
struct Profile {
  std::string packages;
  int demarcation = -1;
  std::string entryAddress;
  int entryPort = 0;
  std::string cookie;  // "JSESSIONID=..."
};

// Checks of the application server as a client sees it.
class ServerChecks {
 public:
  static constexpr const char* kClientProfile = "/appserver/bktv.do?action=getClientProfile";
  static constexpr const char* kPlatformProfile = "/appserver/bktv.do?action=getPlatformProfile";
  static constexpr const char* kLogos = "/appclient/incoming/epg/big/";

  ServerChecks(Checks& checks, std::string host, int port);

  HttpResult Get(const std::string& target, const std::string& cookie = "", int timeoutMs = 5000);
  // A 200 answer with a correct Content-Length; the body as text.
  bool WellFramed(const HttpResult& r, const std::string& what);

  bool Profiles(Profile* out);
  void SessionKept(const Profile& profile);
  void UnknownPaths();
  void Logos(const std::vector<std::string>& names);
  void ManyClients(int clients, int requestsEach);

 private:
  Checks& c_;
  std::string host_;
  int port_;
};

}  // namespace probe
