// Home-network players against the add-on's media server: discovery and
// announcements, the descriptions, the Browse of the line-up, images and
// the channel file, the heads players rely on (minidlna's beside ours), slow
// clients and stops.
#include <arpa/inet.h>
#include <poll.h>
#include <rapidjson/document.h>
#include <strings.h>
#include <sys/socket.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <iostream>
#include <set>
#include <thread>

#include "E2eFixture.h"
#include "E2eProbes.h"
#include "common/Socket.h"

namespace e2e {
namespace {

using namespace std::chrono_literals;

const std::string kClient =
    std::string("python3 ") + QUORVINA_SOURCE_DIR "/tests/e2e/upnp_client.py ";
const std::string kLocation = "http://172.26.22.23:4243/device.xml";
const std::string kUuid = "uuid:8cbe6710-50a2-11e4-916c-0800200c9a66";
const std::string kServer = "Server: iptvquorvina UPnP/1.0 Brastoket TV\r\n";
const std::string kNotFound = "HTTP/1.1 404 not found\r\n" + kServer + "\r\n";
const char* const kTargets[] = {"upnp:rootdevice", "urn:schemas-upnp-org:device:MediaServer:1",
                                "urn:schemas-upnp-org:service:ContentDirectory:1",
                                "urn:schemas-upnp-org:service:ConnectionManager:1"};

// Sends `request` on a new connection and returns all that came before the
// close (or the time-out).
std::string Http(const std::string& request, int port = 4243, std::chrono::milliseconds time = 5s) {
  Socket s(socket(AF_INET, SOCK_STREAM, 0));
  sockaddr_in at{AF_INET, htons(static_cast<uint16_t>(port)), {inet_addr("172.26.22.23")}, {}};
  if (connect(s.fd(), reinterpret_cast<sockaddr*>(&at), sizeof(at)) != 0) return "refused";
  send(s.fd(), request.data(), request.size(), MSG_NOSIGNAL);
  std::string out;
  char buffer[65536];
  for (const auto end = Clock::now() + time; Clock::now() < end;) {
    pollfd p{s.fd(), POLLIN, 0};
    if (poll(&p, 1, 20) <= 0) continue;
    const ssize_t n = recv(s.fd(), buffer, sizeof(buffer), 0);
    if (n <= 0) break;
    out.append(buffer, static_cast<size_t>(n));
  }
  return out;
}
std::string Get(const std::string& path, const char* method = "GET") {
  return Http(std::string(method) + " " + path + " HTTP/1.1\r\nHost: a\r\n\r\n");
}
std::string Body(const std::string& reply) {
  const size_t end = reply.find("\r\n\r\n");
  return end == std::string::npos ? "no head: " + reply : reply.substr(end + 4);
}
std::string Browse(const std::string& action, const std::string& args) {
  const std::string body =
      "<?xml version=\"1.0\"?><s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\">"
      "<s:Body><u:Browse xmlns:u=\"urn:schemas-upnp-org:service:ContentDirectory:1\">" +
      args + "</u:Browse></s:Body></s:Envelope>";
  return Http("POST /serviceControl HTTP/1.1\r\nSOAPAction: \"" + action +
              "\"\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body);
}

// SSDP datagrams on the group, for `time`.
std::vector<std::string> Listen(int fd, std::chrono::milliseconds time) {
  std::vector<std::string> got;
  char buffer[2048];
  for (const auto end = Clock::now() + time; Clock::now() < end;) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 20) <= 0) continue;
    const ssize_t n = recv(fd, buffer, sizeof(buffer), 0);
    if (n > 0) got.emplace_back(buffer, static_cast<size_t>(n));
  }
  return got;
}
size_t Count(const std::vector<std::string>& all, const std::string& a, const std::string& b) {
  size_t n = 0;
  for (const auto& d : all) n += d.find(a) != std::string::npos && d.find(b) != std::string::npos;
  return n;
}

uint64_t Digest(const std::string& bytes) {
  uint64_t h = 14695981039346656037ull;
  for (unsigned char c : bytes) h = (h ^ c) * 1099511628211ull;
  return h;
}

class UpnpE2eTest : public E2eTest {
 protected:
  hostsim::Host& Start(const std::string& settings, const std::string& scenario = Scenario()) {
    if (!headend_) StartHeadend(scenario);
    std::filesystem::create_directories(userDir_);
    std::ofstream(userDir_ + "/settings.xml") << "<settings>" << settings << "</settings>";
    hostsim::Host& host = StartHost();
    EXPECT_TRUE(host.load().ok);
    EXPECT_TRUE(host.waitForChannels(30s));
    for (const auto end = Clock::now() + 5s; Get("/x") == "refused" && Clock::now() < end;)
      std::this_thread::sleep_for(50ms);
    return host;
  }
  const char* kOn = R"(<setting id="ActivarDLNA" value="true"/>)";
};

TEST_F(UpnpE2eTest, DiscoveryAnnouncementsAndDescriptions) {
  UdpSocket group;
  ASSERT_TRUE(CrearClienteUdp(group, "239.255.255.250", 1900, 1 << 20, false));
  Start(std::string(kOn) + R"(<setting id="TranscodificarDLNA" value="true"/>)");
  EXPECT_NE(Browse("urn:schemas-upnp-org:service:ContentDirectory:1#Browse",
                   "<ObjectID>1007</ObjectID><BrowseFlag>BrowseMetadata</BrowseFlag>")
                .find("protocolInfo=\"http-get:*:video/x-matroska:*;"),
            std::string::npos);
  auto discover = std::async(std::launch::async, Shell,
                             "for t in upnp:rootdevice urn:schemas-upnp-org:device:MediaServer:1 "
                             "urn:schemas-upnp-org:service:ContentDirectory:1 "
                             "urn:schemas-upnp-org:service:ConnectionManager:1; do "
                             "gssdp-discover -i lo --timeout 5 --target $t & done; wait");
  // Alive rounds of 20 datagrams, 5 s apart at first.
  EXPECT_EQ(Count(Listen(group.fd(), 6s), "NTS: ssdp:alive", kUuid), 40u);
  const std::string found = discover.get();
  // The four run side by side: their lines may interleave.
  for (const char* t : kTargets)
    EXPECT_NE(found.find("USN:      " + kUuid + "::" + t + "\n"), std::string::npos) << found;
  EXPECT_GE(Count({found}, "  Location: " + kLocation + "\n", ""), 1u) << found;
  const std::string answer =
      "HTTP/1.1 200 OK\r\nCACHE-CONTROL: max-age=1800\r\nEXT:\r\nLOCATION: " + kLocation +
      "\r\nSERVER: UPnP/1.0 iptvquorvina Brastoket TV\r\nST: upnp:rootdevice\r\nUSN: " + kUuid +
      "::upnp:rootdevice\r\nCONTENT-LENGTH: 0\r\n\r\n";
  rapidjson::Document d;
  d.Parse(Shell(kClient + "msearch upnp:rootdevice").c_str());
  ASSERT_TRUE(d.IsArray());
  EXPECT_EQ(d.Size(), 8u);
  for (const auto& a : d.GetArray()) EXPECT_EQ(a.GetString(), answer);
  // Unanswered searches (30 for everything) leave the quota to the flood
  // that follows within the same second.
  d.Parse(Shell(kClient + "msearch ssdp:all --repeat 30 --timeout 0.2").c_str());
  EXPECT_EQ(d.Size(), 0u);
  // A flood of 200 searches, paced so that none is lost before it is read:
  // 20 answered in its second, 8 datagrams each.
  d.Parse(Shell(kClient + "msearch upnp:rootdevice --repeat 200 --timeout 1.2").c_str());
  EXPECT_EQ(d.Size(), 160u);
  EXPECT_TRUE(host_->journal().contains(hostsim::EntryKind::Log, "busquedas descartadas"));

  // Each document whole, byte for byte (its FNV-1a digest), under its exact head.
  const std::pair<const char*, uint64_t> documents[] = {
      {"/device.xml", 14993904565034060063ull},
      {"/contentDirectory.xml", 2424022927749026319ull},
      {"/connectionManager.xml", 16790590857169395346ull},
  };
  for (const auto& doc : documents) {
    const std::string reply = Get(doc.first), body = Body(reply);
    EXPECT_EQ(reply, "HTTP/1.1 200 OK\r\nCONTENT-LENGTH: " + std::to_string(body.size()) + "\r\n" +
                         kServer + "CONTENT-TYPE: text/xml;charset=\"utf-8\"\r\n\r\n" + body);
    EXPECT_EQ(Digest(body), doc.second) << doc.first << ":\n" << body;
  }

  // The heads players rely on (minidlna sends them), names without case;
  // both servers' heads are printed when minidlna is there to compare.
  rapidjson::Document ours;
  const std::string oursText = Shell(kClient + "headers " + kLocation);
  ours.Parse(oursText.c_str());
  ASSERT_TRUE(ours.IsObject()) << oursText;
  const std::pair<const char*, std::vector<std::string>> relied[] = {
      {"search", {"cache-control", "ext", "location", "server", "st", "usn"}},
      {"description", {"content-type", "content-length"}},
      {"browse", {"content-type", "content-length"}},
      {"stream", {"contentfeatures.dlna.org", "transfermode.dlna.org"}},
  };
  for (const auto& r : relied) {
    for (const std::string& name : r.second) {
      std::string value = "absent";
      for (const auto& h : ours[r.first].GetArray()) {
        if (strcasecmp(h[0].GetString(), name.c_str()) == 0) value = h[1].GetString();
      }
      EXPECT_NE(value, "absent") << r.first << ": " << name;
      if (name == "content-type") {
        EXPECT_NE(value.find("charset"), std::string::npos) << r.first;
      }
    }
  }
  std::cout << "ours: " << oursText << "\n";
  if (std::filesystem::exists("/opt/quorvina-peers/minidlna/usr/sbin/minidlnad")) {
    const std::string peer = Shell(std::string(QUORVINA_SOURCE_DIR) + "/scripts/netns-run.sh " +
                                   QUORVINA_SOURCE_DIR "/bench/minidlna_peer.sh 0 sh -c '" +
                                   kClient + "headers $MINIDLNA_LOCATION'");
    std::cout << "minidlna: " << peer << "\n";
    EXPECT_NE(peer.find("\"stream\": [["), std::string::npos) << peer;
  } else {
    std::cout << "minidlna: not unpacked (scripts/install-deps.sh)\n";
  }

  // Stopped with a client holding a connection: back within 3 s, no thread left.
  Socket held(socket(AF_INET, SOCK_STREAM, 0));
  sockaddr_in at{AF_INET, htons(4243), {inet_addr("172.26.22.23")}, {}};
  ASSERT_EQ(connect(held.fd(), reinterpret_cast<sockaddr*>(&at), sizeof(at)), 0);
  send(held.fd(), "GET /", 5, MSG_NOSIGNAL);
  std::this_thread::sleep_for(300ms);
  const auto stop = Clock::now();
  StopHost();
  EXPECT_LT(Clock::now() - stop, 3s);
  EXPECT_EQ(Threads("quorvina-upnp") + Threads("quorvina-ssdp"), 0);
  EXPECT_EQ(Count(Listen(group.fd(), 500ms), "NTS: ssdp:byebye", kUuid), 20u);
}

TEST_F(UpnpE2eTest, BrowseListsTheWholeLineUpWithItsLogos) {
  Start("");
  const std::string file = FileText(userDir_ + "/Canales/Canales.xml");
  std::map<std::string, std::pair<std::string, bool>> expected;  // id: name, HD
  const auto attr = [](const std::string& tag, const std::string& name) {
    const size_t at = tag.find(" " + name + "=\"");
    if (at == std::string::npos) return std::string();
    const size_t from = at + name.size() + 3;
    return tag.substr(from, tag.find('"', from) - from);
  };
  for (size_t at = file.find("<Canal "); at != std::string::npos;
       at = file.find("<Canal ", at + 1)) {
    const std::string tag = file.substr(at, file.find('>', at) - at);
    std::string name = attr(tag, "Nombre");
    for (size_t amp; (amp = name.find("&amp;")) != std::string::npos;) name.replace(amp, 5, "&");
    expected[attr(tag, "ID")] = {name, attr(tag, "ServiceType") == "25"};
  }
  ASSERT_GT(expected.size(), 90u);
  const size_t channels = expected.size();
  rapidjson::Document d;
  d.Parse(Shell(kClient + "list " + kLocation).c_str());
  ASSERT_TRUE(d.IsObject());
  std::set<std::string> seen;
  for (const auto& item : d["items"].GetArray()) {
    const std::string id = item["id"].GetString();
    seen.insert(id);
    ASSERT_TRUE(expected.count(id)) << id;
    EXPECT_EQ(item["title"].GetString(), expected[id].first);
    EXPECT_STREQ(item["resolution"].GetString(), expected[id].second ? "1920x1080" : "720x576");
    EXPECT_EQ(std::string(item["protocolInfo"].GetString())
                  .rfind("http-get:*:video/mpeg:DLNA.ORG_PN=MPEG_PS_NTSC;", 0),
              0u);
    EXPECT_EQ(item["res"].GetString(), "http://172.26.22.23:4242/canal=" + id + ".mpg");
    EXPECT_EQ(item["albumArtURI"].GetString(), "http://172.26.22.23:4243/logo=" + id + ".jpg");
  }
  EXPECT_EQ(seen.size(), expected.size());
  EXPECT_EQ(seen.count("2001"), 1u);  // a replaced twin
  EXPECT_EQ(seen.count("10000"), 0u);
  EXPECT_EQ(d["pages"].GetInt(), static_cast<int>(expected.size() + 9) / 10 + 1);
  EXPECT_EQ(Body(Get("/logo=1005.jpg")), FileText(userDir_ + "/Logos/1005.jpg"));

  const std::string kBrowse = "urn:schemas-upnp-org:service:ContentDirectory:1#Browse";
  const std::string total = std::to_string(channels);
  const struct {
    std::string action, object, flag, start, count, returned, matches;
  } browses[] = {
      {kBrowse, "0", "BrowseDirectChildren", "0", "0", total, total},
      {kBrowse, "0", "BrowseDirectChildren", "90", "0", std::to_string(channels - 90), total},
      {kBrowse, "canales", "BrowseDirectChildren", "0", "25", "10", total},
      {kBrowse, "1007", "BrowseMetadata", "0", "1", "1", "1"},
      {kBrowse, "7", "BrowseMetadata", "0", "1", "0", "0"},
      {"urn:schemas-upnp-org:service:ContentDirectory:1#GetSortCapabilities", "0", "", "", "", "",
       ""},
      {"urn:schemas-upnp-org:service:ConnectionManager:1#GetProtocolInfo", "0", "", "", "", "", ""},
  };
  for (const auto& b : browses) {
    const std::string reply =
        Browse(b.action, "<ObjectID>" + b.object + "</ObjectID><BrowseFlag>" + b.flag +
                             "</BrowseFlag><StartingIndex>" + b.start +
                             "</StartingIndex><RequestedCount>" + b.count + "</RequestedCount>");
    const std::string body = Body(reply);
    if (b.returned.empty()) {
      EXPECT_EQ(reply.substr(0, reply.size() - body.size()),
                "HTTP/1.1 401 Invalid Action\r\nCONTENT-LENGTH: 466\r\n" + kServer +
                    "CONTENT-TYPE: text/xml;charset=\"utf-8\"\r\n\r\n");
      EXPECT_EQ(body.size(), 466u);
      EXPECT_NE(body.find("<errorCode>401</errorCode>"), std::string::npos);
      continue;
    }
    EXPECT_EQ(reply.substr(0, reply.size() - body.size()),
              "HTTP/1.1 200 OK\r\nExt:\r\nContent-Length: " + std::to_string(body.size()) +
                  "\r\nContent-Type: text/xml; charset=\"utf-8\"\r\nConnection: close\r\nServer: "
                  "UPnP/1.0 iptvquorvina -Brastoket TV\r\n\r\n")
        << b.object;
    const size_t didl = body.find("&lt;DIDL-Lite");
    EXPECT_EQ(didl, 260u);
    EXPECT_EQ(body.find("&gt;", didl), didl + 211);
    EXPECT_NE(body.find("&lt;/DIDL-Lite&gt;</Result>\r\n<NumberReturned>" + b.returned +
                        "</NumberReturned>\r\n<TotalMatches>" + b.matches +
                        "</TotalMatches>\r\n<UpdateID>0</UpdateID>\r\n</u:BrowseResponse>\r\n"
                        "</s:Body>\r\n</s:Envelope>\r\n"),
              std::string::npos)
        << b.object << " " << b.start;
  }
}

TEST_F(UpnpE2eTest, ImagesChannelFileAndStreams) {
  Start("", Scenario(R"({"guide":{"days":1}})"));
  const std::string logo = FileText(userDir_ + "/Logos/1003.jpg");
  const std::string jpeg = "HTTP/1.1 200 OK\r\n" + kServer + "CONTENT-TYPE: image/jpeg\r\n\r\n";
  EXPECT_EQ(Get("/logo=1003.jpg"),
            "HTTP/1.1 200 OK\r\nCONTENT-LENGTH: " + std::to_string(logo.size()) + "\r\n" + kServer +
                "CONTENT-TYPE: image/jpeg\r\n\r\n" + logo);
  EXPECT_EQ(Get("/logo=1003.jpg", "HEAD"), jpeg);
  EXPECT_EQ(Get("/logo=999.jpg"), kNotFound);
  EXPECT_EQ(Get("/logo=999.jpg", "HEAD"), jpeg);
  EXPECT_EQ(Get("/epg=1003"), kNotFound);
  const std::string canales = FileText(userDir_ + "/Canales/Canales.xml");
  EXPECT_EQ(Body(Get("/canales.xml")), canales);

  // A programme of the guide: channel x 100000 + (day mod 100) x 1000 + slot.
  std::string image, path;
  for (int day = 0; day < 100 && image.empty(); ++day) {
    const int id = 1003 * 100000 + day * 1000;
    path = "/appclient/incoming/covers/programmeImages/landscape/big/" +
           std::to_string(id / 10000) + "/" + std::to_string(id) + ".jpg";
    const std::string reply = Http("GET " + path + " HTTP/1.1\r\nHost: a\r\n\r\n", 2001);
    if (reply.rfind("HTTP/1.1 200", 0) == 0) image = std::to_string(id), path = reply;
  }
  ASSERT_FALSE(image.empty());
  const struct {
    const char* name;
    const char* switches;
    bool relayed;
  } faults[] = {
      {"served", "", true},
      {"404", R"("programmeImage":{"status":404})", false},
      {"closed", R"("programmeImage":{"noAnswer":"close"})", false},
      {"held", R"("programmeImage":{"noAnswer":"hold","holdMs":8000})", false},
  };
  for (const auto& f : faults) {
    if (*f.switches)
      StartHeadend(Scenario(std::string(R"({"guide":{"days":1},"appServer":{"switches":{)") +
                            f.switches + "}}}"));
    const std::string reply =
        Http("GET /logoprograma=" + image + ";1003 HTTP/1.1\r\n\r\n", 4243, 8s);
    if (f.relayed) {
      EXPECT_EQ(Body(reply), Body(path)) << f.name;
    } else {
      EXPECT_EQ(Body(reply), logo) << f.name;
    }
  }
  for (const char* channel : {"1003", "2003"}) {
    const std::string out = Shell(std::string("timeout 20 ffprobe -v error -show_entries "
                                              "stream=codec_type -of csv=p=0 "
                                              "http://172.26.22.23:4242/canal=") +
                                  channel + ".mpg");
    EXPECT_NE(out.find("video"), std::string::npos) << channel << out;
    EXPECT_NE(out.find("audio"), std::string::npos) << channel << out;
  }
}

TEST_F(UpnpE2eTest, SlowClientsStopsAndDlnaOff) {
  UdpSocket group;
  ASSERT_TRUE(CrearClienteUdp(group, "239.255.255.250", 1900, 1 << 20, false));
  Start("");
  // Off: nothing announced or answered, but the HTTP side serves.
  rapidjson::Document d;
  d.Parse(Shell(kClient + "msearch upnp:rootdevice").c_str());
  EXPECT_EQ(d.Size(), 0u);
  EXPECT_EQ(Count(Listen(group.fd(), 100ms), "NOTIFY", kUuid), 0u);
  EXPECT_EQ(Get("/device.xml").rfind("HTTP/1.1 200 OK\r\n", 0), 0u);

  // One byte a second: dropped after 5 s; the client behind it is served.
  Socket slow(socket(AF_INET, SOCK_STREAM, 0));
  sockaddr_in at{AF_INET, htons(4243), {inet_addr("172.26.22.23")}, {}};
  ASSERT_EQ(connect(slow.fd(), reinterpret_cast<sockaddr*>(&at), sizeof(at)), 0);
  const auto start = Clock::now();
  auto next = std::async(std::launch::async, [] {
    return Http("GET /device.xml HTTP/1.1\r\n\r\n", 4243, 10s);  // waits its turn
  });
  bool closed = false;
  for (int i = 0; i < 8 && !closed; ++i) {
    closed = send(slow.fd(), "G", 1, MSG_NOSIGNAL) < 0;
    std::this_thread::sleep_for(1s);
    char c;
    closed = closed || recv(slow.fd(), &c, 1, MSG_DONTWAIT) == 0;
  }
  EXPECT_TRUE(closed);
  EXPECT_LT(Clock::now() - start, 7s);
  EXPECT_EQ(next.get().rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
  EXPECT_TRUE(host_->journal().contains(hostsim::EntryKind::Log, "Upnp http: cabecera"));

  // Stopped with DLNA off and a client holding a connection.
  Socket held(socket(AF_INET, SOCK_STREAM, 0));
  ASSERT_EQ(connect(held.fd(), reinterpret_cast<sockaddr*>(&at), sizeof(at)), 0);
  send(held.fd(), "GET /", 5, MSG_NOSIGNAL);
  std::this_thread::sleep_for(300ms);
  const auto stop = Clock::now();
  StopHost();
  EXPECT_LT(Clock::now() - stop, 3s);
  EXPECT_EQ(Threads("quorvina-upnp") + Threads("quorvina-ssdp"), 0);
}

}  // namespace
}  // namespace e2e
