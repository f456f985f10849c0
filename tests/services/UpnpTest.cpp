// The media server's handling of what other devices send: search datagrams
// of every shape, and HTTP requests cut, oversized or malformed.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>

#include <string>
#include <thread>

#include "common/StorageLayout.h"
#include "common/XMLNode.h"
#include "services/upnp.h"
#include "services/upnphttp.h"
#include "support/InProcessHost.h"

namespace {

std::string Search(const std::string& lines) {
  return "M-SEARCH * HTTP/1.1\r\n" + lines + "\r\n";
}

TEST(UpnpTest, OnlyWellFormedSearchesForOurTargetsAreAnswered) {
  const std::string root = "upnp:rootdevice";
  const struct {
    std::string datagram;
    size_t answers;  // each sent twice
  } cases[] = {
      {"", 0},
      {std::string(1500, '\xFF'), 0},
      {Search("ST: " + root + "\r\n"), 4},
      {Search("MAN: " + root + "\r\n"), 0},                          // no ST line
      {Search("ST: " + root + std::string(1400, 'x') + "\r\n"), 0},  // ST too long
      {"M-SEARCH * HTTP/1.1\r\nST: " + root, 0},                     // no line end
      {"NOTIFY * HTTP/1.1\r\nNT: " + root + "\r\nNTS: ssdp:alive\r\n\r\n", 0},
      {Search(std::string("X: \0\r\nST: ", 10) + root + "\r\n"), 4},  // a NUL inside
      {Search("ST: urn:schemas-upnp-org:device:MediaServer:1\r\nX: " + root +
              " urn:schemas-upnp-org:service:ContentDirectory:1 "
              "urn:schemas-upnp-org:service:ConnectionManager:1\r\n"),
       16},
  };
  for (const auto& c : cases) {
    const auto answers = upnp::Respuestas(c.datagram, "10.0.0.2", 4243);
    EXPECT_EQ(answers.size(), c.answers) << c.datagram.substr(0, 60);
    for (const std::string& a : answers) {
      EXPECT_EQ(a.find("\r\n\r\n"), a.size() - 4) << a;
    }
  }
}

// The reply to `request` sent through a socket pair, and whether the
// server read it whole.
std::string Exchange(upnphttp& server, const std::string& request, bool hangUp) {
  int pair[2];
  socketpair(AF_UNIX, SOCK_STREAM, 0, pair);
  std::thread client([&] {
    send(pair[0], request.data(), request.size(), MSG_NOSIGNAL);
    if (hangUp) shutdown(pair[0], SHUT_WR);
  });
  server.ProcesarPeticionHttp(pair[1]);
  client.join();
  close(pair[1]);
  std::string reply(1 << 16, '\0');
  reply.resize(std::max<ssize_t>(0, recv(pair[0], &reply[0], reply.size(), MSG_DONTWAIT)));
  close(pair[0]);
  return reply;
}

TEST(UpnpTest, MalformedRequestsAreClosedWithALogLineOrAFault) {
  InProcessHost host;
  upnphttp server([] { return std::make_shared<const LineUp>(); });
  // A channel file a client that never reads cannot take whole.
  host.user().Write("big.xml", std::string(4 << 20, 'x'));
  PathCompletoCanales = host.user().file("big.xml");
  const std::string browse =
      "POST /serviceControl HTTP/1.1\r\nSOAPAction: "
      "\"urn:schemas-upnp-org:service:ContentDirectory:1#Browse\"\r\n";
  const auto soap = [&](const std::string& body) {
    return browse + "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
  };
  const auto args = [&](const std::string& inner) {
    return soap("<s:Envelope><s:Body><u:Browse>" + inner + "</u:Browse></s:Body></s:Envelope>");
  };
  const std::string kCut = "Upnp http: cuerpo cortado", kHead = "Upnp http: cabecera";
  const std::string kLength = "Upnp http: Content-Length no valido";
  const std::string kSendCut = "Upnp http: envio cortado";
  const struct {
    std::string request;
    bool hangUp;
    std::string replyStart;  // empty: nothing sent
    std::string log;
  } cases[] = {
      {"GET /device.xml HTTP/1.1\r\nX: " + std::string(9000, 'x') + "\r\n\r\n", false, "", kHead},
      {"GET /device.xml HTTP/1.1", true, "", kHead},
      {browse + "Content-Length: 99999999999\r\n\r\n", false, "", kLength},
      {browse + "Content-Length: -5\r\n\r\n", false, "", kLength},
      {browse + "Content-Length: many\r\n\r\n", false, "", kLength},
      {browse + "Content-Length: 100\r\n\r\n<s:Envelope>", true, "", kCut},
      {soap("not xml"), false, "HTTP/1.1 500 Internal Server Error", "<errorCode>402<"},
      {soap(std::string(30000, '<') + "a>"), false, "HTTP/1.1 500", "<errorCode>402<"},
      {soap([] {
         std::string deep;
         for (int i = 0; i < 10000; ++i) deep += "<a>";
         return deep;
       }()),
       false, "HTTP/1.1 500", "<errorCode>402<"},
      {args("<StartingIndex>-1</StartingIndex>"), false, "HTTP/1.1 500", "<errorCode>402<"},
      {args("<RequestedCount>ten</RequestedCount>"), false, "HTTP/1.1 500", "<errorCode>402<"},
      {args("<ObjectID>7</ObjectID><BrowseFlag>BrowseDirectChildren</BrowseFlag>"), false,
       "HTTP/1.1 500", "<errorCode>701<"},
      {"GET /logoprograma=77 HTTP/1.1\r\n\r\n", false, "HTTP/1.1 404 not found\r\n", ""},
      {"GET /canales.xml HTTP/1.1\r\n\r\n", false, "HTTP/1.1 200 OK", kSendCut},
      {"GET /index.html HTTP/1.1\r\n\r\n", false, "", ""},
  };
  for (const auto& c : cases) {
    const auto start = std::chrono::steady_clock::now();
    const size_t logged = host.journal().countContaining(hostsim::EntryKind::Log, c.log);
    const std::string reply = Exchange(server, c.request, c.hangUp);
    // Reading and sending share one 5 s deadline.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(5600));
    EXPECT_EQ(reply.substr(0, c.replyStart.size()), c.replyStart) << c.request.substr(0, 70);
    if (c.replyStart.empty()) {
      EXPECT_EQ(reply, "") << c.request.substr(0, 70);
    }
    if (c.log.rfind("Upnp", 0) == 0) {
      EXPECT_EQ(host.journal().countContaining(hostsim::EntryKind::Log, c.log), logged + 1)
          << c.request.substr(0, 70);
    } else {
      EXPECT_NE(reply.find(c.log), std::string::npos) << c.request.substr(0, 70);
    }
  }
}

// A player's view of a Browse answer: Result's text holds DIDL-Lite, whose
// title text is the channel's name.
TEST(UpnpTest, LongNamesOfMarkupCharactersSurviveBrowse) {
  const std::string name = std::string(150, '&') + std::string(150, '<');
  LineUp lineUp;
  lineUp.fullChannels[7].id = 7;
  lineUp.fullChannels[7].nombre = name;
  lineUp.order[1] = 7;
  const std::string answer = upnphttp::DirectorioCanales(lineUp, 0, 10, "10.0.0.2");
  const XMLNode result = XMLNode::parseString(answer.c_str(), "s:Envelope")
                             .getChildNode("s:Body")
                             .getChildNode("u:BrowseResponse")
                             .getChildNode("Result");
  ASSERT_FALSE(result.isEmpty());
  const XMLNode title = XMLNode::parseString(result.getText(), "DIDL-Lite")
                            .getChildNode("item")
                            .getChildNode("dc:title");
  ASSERT_FALSE(title.isEmpty());
  EXPECT_EQ(std::string(title.getText()), name);
}

}  // namespace
