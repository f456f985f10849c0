// The web relay's rules on their own: what each request gets back, and how
// datagrams become chunks of the client's stream.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <chrono>
#include <string>
#include <thread>

#include "services/HttpTranscode.h"
#include "services/WebRelay.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const std::string kHead200 =
    "HTTP/1.1 200 OK\r\nContentFeatures.DLNA.ORG: DLNA.ORG_PN=MPEG_PS_PAL;DLNA.ORG_OP=01;"
    "DLNA.ORG_CI=0;DLNA.ORG_FLAGS=01500000000000000000000000000000\r\nTransferMode.dlna.org: "
    "Streaming\r\nContent-Type: application/octet-stream\r\nConnection: close\r\nServer: "
    "iptvquorvina\r\n\r\n";
const std::string kHead500 = "HTTP/1.1 500 Internal server error\r\n\r\n";

TEST(WebRelayTest, EachRequestGetsItsHeadOrNothing) {
  const struct {
    std::string request;
    bool full;    // 32 workers run already
    bool hangUp;  // the client closes after sending
    std::string reply;
    bool stream;
  } cases[] = {
      {"GET /canal=5.mpg&id=a HTTP/1.1\r\nHost: a\r\n\r\n", false, false, kHead200, true},
      {"HEAD /canal=5.mpg HTTP/1.1\r\n\r\n", false, false, kHead200},
      {"HEAD /canal=5.mpg HTTP/1.1\r\n\r\n", true, false, kHead200},
      {"GET /canal=999.mpg HTTP/1.1\r\n\r\n"},  // unknown
      {"GET /canal=9.mpg HTTP/1.1\r\n\r\n"},    // port 0
      {"POST /canal=5.mpg HTTP/1.1\r\n\r\n", false, false, kHead500},
      {"CONNECT a:443 HTTP/1.1\r\n\r\n", false, false, kHead500},
      {"GET http://a/canal=5.mpg HTTP/1.1\r\n\r\n", false, false, kHead500},
      {"GET /index.html HTTP/1.1\r\n\r\n", false, false, kHead500},
      {"GET /canal=5.mpg HTTP/1.1\r\nHost: a\r\n", false, true, kHead500},  // cut short
      {"GET /canal=5.mpg HTTP/1.1\r\nX: " + std::string(9000, 'x'), false, false, kHead500},
  };
  const ChannelMap channels = {{5, Canal{5, 1, "c", "", "", "239.9.9.5", 8208}},
                               {9, Canal{9, 1, "c", "", "", "239.9.9.9", 0}}};
  for (const auto& c : cases) {
    int pair[2];
    socketpair(AF_UNIX, SOCK_STREAM, 0, pair);
    send(pair[0], c.request.data(), c.request.size(), MSG_NOSIGNAL);
    if (c.hangUp) shutdown(pair[0], SHUT_WR);
    std::string request;
    WebRelay::LeerPeticion(pair[1], request);
    WebRelay::Parametros parametros;
    int canal = 0;
    const bool stream = WebRelay::ParsearGET(
        request, pair[1], channels, [&c](const WebRelay::Parametros&) { return !c.full; },
        parametros, canal);
    std::string reply(512, '\0');
    reply.resize(std::max<ssize_t>(0, recv(pair[0], &reply[0], reply.size(), MSG_DONTWAIT)));
    EXPECT_EQ(stream, c.stream) << c.request.substr(0, 40);
    EXPECT_EQ(reply, c.reply) << c.request.substr(0, 40);
    EXPECT_EQ(canal, c.reply == kHead200 ? 5 : -1) << c.request.substr(0, 40);
    close(pair[0]);
    close(pair[1]);
  }
}

std::string Rtp(const std::string& payload, int csrc = 0) {
  std::string header = {char(0x80 | csrc), 33, 0, 1, 0, 0, 0, 0, 0, 0, 0, 1};
  return header + payload;
}

std::string Packets(int count, char fill) {
  std::string ts;
  for (int i = 0; i < count; ++i) ts += std::string(1, 0x47) + std::string(187, fill);
  return ts;
}

// Datagrams to a group of the test's network, read back chunk by chunk.
TEST(WebRelayTest, ChunksCarryWholePacketsAndSpillIntoTheNext) {
  int pair[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
  HttpTranscode worker(Socket(pair[1]), 5, "239.9.9.5", 8208, "t");
  StructDatosSock input;
  ASSERT_TRUE(CrearClienteUdp(input.Socket, "239.9.9.5", 8208, 0, false));
  input.Abierto = true;
  Socket sender(socket(AF_INET, SOCK_DGRAM, 0));
  sockaddr_in group{AF_INET, htons(8208), {inet_addr("239.9.9.5")}, {}};
  const std::string datagrams[] = {
      Rtp(Packets(7, 'a')),      // 1328 bytes: spills past the 1000-byte chunk
      "",                        // empty
      std::string(11, 'z'),      // shorter than an RTP header
      Rtp(Packets(2, 'b'), 15),  // 316 bytes after 15 CSRCs: no whole packets
      Packets(7, 'c'),           // raw transport stream
      std::string(200, 0x47),    // not whole packets
  };
  for (const auto& d : datagrams) {
    sendto(sender.fd(), d.data(), d.size(), 0, reinterpret_cast<sockaddr*>(&group), sizeof(group));
  }
  // The client hangs up a second later, the group gone silent meanwhile:
  // the reads end at their next step.
  std::thread hangUp([&] {
    std::this_thread::sleep_for(1s);
    shutdown(pair[0], SHUT_RDWR);
  });
  const auto start = Clock::now();
  std::string out;
  char chunk[1000];
  for (int n; (n = worker.LeerSockEntrada(input, chunk, sizeof(chunk))) > 0;) {
    EXPECT_LE(n, 1000);
    out.append(chunk, n);
  }
  EXPECT_LT(Clock::now() - start, 1300ms);
  hangUp.join();
  close(pair[0]);
  EXPECT_EQ(out, Packets(7, 'a') + Packets(7, 'c'));
}

}  // namespace
