#include "ServerChecks.h"

#include <rapidjson/document.h>

#include <atomic>
#include <thread>

#include "JpegCheck.h"

namespace probe {

ServerChecks::ServerChecks(Checks& checks, std::string host, int port)
    : c_(checks), host_(std::move(host)), port_(port) {}

HttpResult ServerChecks::Get(const std::string& target, const std::string& cookie, int timeoutMs) {
  return HttpFetch::Get(host_, port_, target, cookie, timeoutMs);
}

bool ServerChecks::WellFramed(const HttpResult& r, const std::string& what) {
  bool ok = c_.Expect(r.status == 200, what + ": status 200, got " + std::to_string(r.status));
  ok = c_.Expect(r.Header("content-length") == std::to_string(r.body.size()),
                 what + ": Content-Length " + r.Header("content-length") + " for " +
                     std::to_string(r.body.size()) + " body bytes") &&
       ok;
  return ok;
}

bool ServerChecks::Profiles(Profile* out) {
  HttpResult client = Get(kClientProfile);
  if (!WellFramed(client, "client profile")) return false;
  c_.Expect(client.Header("content-type").find("application/json") == 0,
            "client profile is JSON: " + client.Header("content-type"));
  std::string cookie = client.Header("set-cookie");
  c_.Expect(cookie.compare(0, 11, "JSESSIONID=") == 0 && cookie.size() > 20,
            "client profile opens a session: " + cookie);
  out->cookie = cookie.substr(0, cookie.find(';'));
  rapidjson::Document doc;
  doc.Parse(client.body.c_str());
  if (!c_.Expect(!doc.HasParseError() && doc.IsObject() && doc.HasMember("resultData") &&
                     doc["resultData"].IsObject(),
                 "client profile has an object resultData: " + client.body))
    return false;
  const auto& data = doc["resultData"];
  c_.Expect(doc.HasMember("resultCode") && doc["resultCode"].IsInt() && doc["resultCode"] == 0,
            "resultCode 0");
  bool typed = data.HasMember("tvPackages") && data["tvPackages"].IsString() &&
               data.HasMember("gmtOffset") && data["gmtOffset"].IsInt() &&
               data.HasMember("demarcation") && data["demarcation"].IsInt() &&
               data.HasMember("hdtv") && data["hdtv"].IsInt();
  if (!c_.Expect(typed, "tvPackages string, gmtOffset, demarcation and hdtv integers"))
    return false;
  out->packages = data["tvPackages"].GetString();
  out->demarcation = data["demarcation"].GetInt();
  c_.Expect(data["gmtOffset"].GetInt() == 1, "gmtOffset 1");
  c_.Expect(data["hdtv"].GetInt() == 1, "hdtv 1");

  HttpResult platform = Get(kPlatformProfile, out->cookie);
  if (!WellFramed(platform, "platform profile")) return false;
  doc.Parse(platform.body.c_str());
  bool shaped = !doc.HasParseError() && doc.IsObject() && doc.HasMember("resultData") &&
                doc["resultData"].IsObject() && doc["resultData"].HasMember("dvbConfig") &&
                doc["resultData"]["dvbConfig"].IsObject() &&
                doc["resultData"]["dvbConfig"].HasMember("dvbEntryPoint") &&
                doc["resultData"]["dvbConfig"]["dvbEntryPoint"].IsString();
  if (!c_.Expect(shaped,
                 "platform profile has resultData.dvbConfig.dvbEntryPoint: " + platform.body))
    return false;
  std::string entry = doc["resultData"]["dvbConfig"]["dvbEntryPoint"].GetString();
  size_t colon = entry.find(':');
  if (!c_.Expect(colon != std::string::npos, "entry point is address:port: " + entry)) return false;
  out->entryAddress = entry.substr(0, colon);
  out->entryPort = std::atoi(entry.c_str() + colon + 1);
  return true;
}

void ServerChecks::SessionKept(const Profile& profile) {
  HttpResult again = Get(kClientProfile, profile.cookie);
  WellFramed(again, "client profile with a session");
  c_.Expect(!again.HasHeader("set-cookie"), "no new session when the request brings one");
}

void ServerChecks::UnknownPaths() {
  for (const char* target : {"/", "/appserver/other.do", "/appserver/bktv.do?action=nothing",
                             "/appclient/incoming/epg/big/MAY_1/imSer/none.jpg"}) {
    HttpResult r = Get(target);
    c_.Expect(r.status == 404, std::string(target) + ": 404, got " + std::to_string(r.status));
    c_.Expect(r.Header("content-length") == std::to_string(r.body.size()),
              std::string(target) + ": framed");
  }
}

void ServerChecks::Logos(const std::vector<std::string>& names) {
  int decoded = 0;
  for (const auto& name : names) {
    HttpResult r = Get(kLogos + name);
    if (!WellFramed(r, "logo " + name)) continue;
    c_.Expect(r.Header("content-type") == "image/jpeg", "logo " + name + " is image/jpeg");
    int width = 0;
    int height = 0;
    std::string error;
    if (c_.Expect(JpegCheck::Decode(r.body, &width, &height, &error),
                  "logo " + name + " decodes: " + error) &&
        c_.Expect(width > 0 && height > 0, "logo " + name + " has a size"))
      ++decoded;
  }
  c_.Note(std::to_string(decoded) + " logos decoded");
}

void ServerChecks::ManyClients(int clients, int requestsEach) {
  std::atomic<int> good{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < clients; ++i)
    threads.emplace_back([&] {
      for (int k = 0; k < requestsEach; ++k) {
        HttpResult r = Get(kClientProfile);
        if (r.status == 200 && r.Header("content-length") == std::to_string(r.body.size())) ++good;
      }
    });
  for (auto& t : threads) t.join();
  c_.Expect(good == clients * requestsEach, std::to_string(good) + " of " +
                                                std::to_string(clients * requestsEach) +
                                                " concurrent requests answered");
}

}  // namespace probe
