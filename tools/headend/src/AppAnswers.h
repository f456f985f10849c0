#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "CloudAnswers.h"
#include "GuideContent.h"
#include "HttpRequest.h"
#include "LogoStore.h"
#include "ScenarioTypes.h"

namespace headend {

// What to send for one request, and how: the transport faults of the
// scenario travel with the answer for the connection to act on.
struct HttpReply {
  std::string kind;  // request kind the switches are keyed by; empty for others
  int status = 200;
  std::string reason = "OK";
  std::string contentType = "text/html;charset=UTF-8";
  std::string body;
  std::vector<std::string> headers;  // extra header lines without CRLF
  bool headOnly = false;             // HEAD request
  HttpSwitches switches;             // only the transport ones matter here
  std::string note;                  // added to the request's log line
};

// The application server's routes: the two profile requests and the logos.
// Pure: no I/O, so the routing and the faults are testable on their own.
class AppAnswers {
 public:
  static constexpr const char* kProfilePath = "/appserver/bktv.do";
  static constexpr const char* kLogoPath = "/appclient/incoming/epg/big/";

  AppAnswers(const Scenario& scenario, const LogoStore& logos);

  HttpReply Answer(const HttpRequest& request);
  // Adds the guide's routes (details and programme images).
  void SetGuide(const GuideContent* guide) { guide_ = guide; }
  // Adds the recording API, the cloud's details and images, /headend/cloud.
  void SetCloud(CloudAnswers* cloud) { cloud_ = cloud; }

 private:
  // The switches for this request of the kind, counting it for "times".
  HttpSwitches SwitchesFor(const std::string& kind);
  void Finish(HttpReply* reply);
  std::string NewSessionId();
  static void Status(HttpReply* reply, int status);

  const Scenario& scenario_;
  const LogoStore& logos_;
  const GuideContent* guide_ = nullptr;
  CloudAnswers* cloud_ = nullptr;
  std::map<std::string, std::unique_ptr<std::atomic<int>>> counts_;
  std::atomic<uint64_t> sessions_{0};
  uint64_t sessionSalt_;
};

}  // namespace headend
