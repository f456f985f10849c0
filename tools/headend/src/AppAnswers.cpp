#include "AppAnswers.h"

#include <cstdio>
#include <ctime>
#include <random>

#include "GuideAnswers.h"
#include "ProfileJson.h"
#include "ScenarioLoader.h"

namespace headend {

namespace {

const char* Reason(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 400:
      return "Bad Request";
    case 404:
      return "Not Found";
    case 405:
      return "Method Not Allowed";
    case 500:
      return "Internal Server Error";
    case 503:
      return "Service Unavailable";
    default:
      return "Status";
  }
}

}  // namespace

AppAnswers::AppAnswers(const Scenario& scenario, const LogoStore& logos)
    : scenario_(scenario), logos_(logos), sessionSalt_(std::random_device{}()) {
  for (const auto& kind : ScenarioLoader::RequestKinds())
    counts_[kind] = std::make_unique<std::atomic<int>>(0);
}

HttpSwitches AppAnswers::SwitchesFor(const std::string& kind) {
  auto counter = counts_.find(kind);
  int n = counter == counts_.end() ? 0 : ++*counter->second;
  auto it = scenario_.appServer.switches.find(kind);
  if (it == scenario_.appServer.switches.end()) return {};
  if (it->second.times > 0 && n > it->second.times) return {};
  return it->second;
}

std::string AppAnswers::NewSessionId() {
  uint64_t n = ++sessions_;
  std::mt19937_64 mix(sessionSalt_ ^ (n * 0x9E3779B97F4A7C15ull));
  char id[40];
  std::snprintf(id, sizeof(id), "%016llX%016llX", static_cast<unsigned long long>(mix()),
                static_cast<unsigned long long>(mix()));
  return id;
}

void AppAnswers::Status(HttpReply* reply, int status) {
  reply->status = status;
  reply->reason = Reason(status);
  reply->contentType = "text/html;charset=UTF-8";
  reply->body = "<html><head><title>" + std::to_string(status) + " " + Reason(status) +
                "</title></head><body><h1>HTTP Status " + std::to_string(status) + " - " +
                Reason(status) + "</h1></body></html>";
}

HttpReply AppAnswers::Answer(const HttpRequest& request) {
  HttpReply reply;
  if (!request.Ok()) {
    Status(&reply, 400);
    return reply;
  }
  if (request.Method() != "GET" && request.Method() != "HEAD") {
    Status(&reply, 405);
    reply.headers.push_back("Allow: GET, HEAD");
    return reply;
  }
  reply.headOnly = request.Method() == "HEAD";
  const std::string& path = request.Path();
  std::string action = request.Param("action");
  if (path == kProfilePath && (action == "getClientProfile" || action == "getPlatformProfile")) {
    reply.kind = action;
    reply.switches = SwitchesFor(action);
    const auto& data =
        action == "getClientProfile" ? *scenario_.clientProfile : *scenario_.platformProfile;
    reply.contentType = "application/json;charset=UTF-8";
    reply.body = ProfileJson::Write(data, reply.switches);
    // The server opens a session on the first request that brings none.
    if (request.Cookie("JSESSIONID").empty())
      reply.headers.push_back("Set-Cookie: JSESSIONID=" + NewSessionId() +
                              "; Path=/appserver; HttpOnly");
  } else if (path.compare(0, std::string(kLogoPath).size(), kLogoPath) == 0) {
    reply.kind = "logo";
    reply.switches = SwitchesFor("logo");
    const std::string* jpeg = logos_.Find(path.substr(std::string(kLogoPath).size()));
    if (jpeg == nullptr) {
      Status(&reply, 404);
    } else {
      reply.contentType = "image/jpeg";
      reply.body = *jpeg;
    }
  } else if (cloud_ != nullptr &&
             cloud_->Answer(
                 request, [this](const std::string& kind) { return SwitchesFor(kind); }, &reply,
                 time(nullptr))) {
    // the switches were taken by kind
  } else if (guide_ != nullptr && GuideAnswers::Answer(*guide_, request, &reply)) {
    reply.switches = SwitchesFor(reply.kind);
  } else {
    Status(&reply, 404);
  }
  Finish(&reply);
  return reply;
}

void AppAnswers::Finish(HttpReply* reply) {
  const HttpSwitches& w = reply->switches;
  if (w.status != 200 && reply->status == 200) Status(reply, w.status);
  if (w.malformedJson && !reply->body.empty()) reply->body.resize(reply->body.size() / 2);
  if (w.emptyBody) reply->body.clear();
}

}  // namespace headend
