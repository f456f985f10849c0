// The client of the host's JSON-RPC interface against a loopback server of
// the test's own: the request texts, the connect rule and the reply reading.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "common/Socket.h"
#include "services/tcpJSON.h"
#include "support/InProcessHost.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

bool Ready(int fd) {
  pollfd p{fd, POLLIN, 0};
  return poll(&p, 1, 50) > 0;
}

// Serves one connection at a time, records every message and answers the
// first of each connection with the next reply.
class JsonServer {
 public:
  JsonServer(bool ipv6, std::vector<std::string> replies) : replies_(std::move(replies)) {
    sockaddr_in6 address{AF_INET6, 0, 0, in6addr_loopback, 0};
    socklen_t size = sizeof(address);
    if (!ipv6) AbrirListenSocket(listen_, 0);  // IPv4 only
    if (ipv6) listen_.reset(socket(AF_INET6, SOCK_STREAM, 0));
    if (ipv6) bind(listen_.fd(), reinterpret_cast<sockaddr*>(&address), size);
    listen(listen_.fd(), 4);
    getsockname(listen_.fd(), reinterpret_cast<sockaddr*>(&address), &size);
    port_ = ntohs(address.sin6_port);  // where both families keep it
    thread_ = std::thread([this] {
      for (size_t next = 0; !stop_;) {
        Socket client(Ready(listen_.fd()) ? accept(listen_.fd(), nullptr, nullptr) : -1);
        for (bool first = true; client.valid() && !stop_;) {
          char buffer[8192];
          const ssize_t n = Ready(client.fd()) ? recv(client.fd(), buffer, sizeof(buffer), 0) : -2;
          if (n == -2) continue;
          if (n <= 0) break;
          std::lock_guard<std::mutex> lock(mutex_);
          messages_.emplace_back(buffer, static_cast<size_t>(n));
          if (!std::exchange(first, false) || next == replies_.size()) continue;
          send(client.fd(), replies_[next].data(), replies_[next].size(), 0);
          ++next;
        }
      }
    });
  }
  ~JsonServer() {
    stop_ = true;
    thread_.join();
  }
  int port() const { return port_; }
  std::vector<std::string> Messages() {
    std::lock_guard<std::mutex> lock(mutex_);
    return messages_;
  }

 private:
  Socket listen_;
  int port_ = 0;
  std::vector<std::string> replies_;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::vector<std::string> messages_;
  std::thread thread_;
};

TEST(TcpJsonTest, PlayerActionsAndChannelRequestsSendTheHostsTexts) {
  InProcessHost host;
  const std::string players =
      R"({"id":1,"jsonrpc":"2.0","result":[{"playerid":7,"type":"video"}]})";
  const std::string channels =
      R"({"id":1,"jsonrpc":"2.0","result":{"channels":[{"channel":"Uno","channelid":3},)"
      R"({"channel":"v.O.d","channelid":42}]}})";
  JsonServer server(true, {players, players, channels, ""});
  tcpJSON json(server.port(), 1);
  EXPECT_TRUE(json.PEstablecerVelocidad(1));
  EXPECT_TRUE(json.PararCanalPVR());
  EXPECT_EQ(json.ObtenerCanalporNombre("V.O.D"), 42u);
  EXPECT_TRUE(json.EstablecerCanalPVR(42));
  json.Actualizarbiblioteca("C:\\grabaciones/series");
  std::this_thread::sleep_for(200ms);
  const std::vector<std::string> expected = {
      R"({"id": 1,"jsonrpc":"2.0", "method": "Player.GetActivePlayers"})",
      R"({"jsonrpc":"2.0","method":"Player.SetSpeed","params":{"playerid":7,"speed":1},"id":1})",
      R"({"id": 1,"jsonrpc":"2.0", "method": "Player.GetActivePlayers"})",
      R"({"jsonrpc":"2.0","method":"Player.Stop","params":{"playerid":7},"id":1})",
      R"({"jsonrpc":"2.0","method":"PVR.GetChannels","params":{"channelgroupid":"alltv",)"
      R"("properties":["channel"]},"id":1})"
      "\r\n",
      R"({"jsonrpc":"2.0","method":"Player.Open","params":{"item":{"channelid":42}},"id":1})",
      R"({"jsonrpc":"2.0","method":"VideoLibrary.Scan","params":{"directory":)"
      R"("C:\\grabaciones/series"},"id":1})"};
  EXPECT_EQ(server.Messages(), expected);
}

TEST(TcpJsonTest, WithoutAnIpv6ServerRequestsFailWithoutTryingIpv4) {
  InProcessHost host;
  JsonServer ipv4(false, {"{}"});
  tcpJSON json(ipv4.port(), 1);
  EXPECT_FALSE(json.conectarJSONRPC());
  EXPECT_EQ(json.ObtenerCanalporNombre("V.O.D"), tcpJSON::kSinCanal);
  EXPECT_TRUE(json.PEstablecerVelocidad(1)) << "nothing to do is no failure";
  EXPECT_TRUE(json.EstablecerVelocidad(1, true));
  json.StopThread(3000);
  std::this_thread::sleep_for(100ms);
  EXPECT_TRUE(ipv4.Messages().empty());
}

TEST(TcpJsonTest, AFull4096ByteReplyWaitsForTheNextReceiveToTimeOut) {
  InProcessHost host;
  const struct {
    size_t size;
    bool waits;
  } cases[] = {{4095, false}, {4096, true}, {5000, false}};
  for (const auto& c : cases) {
    JsonServer server(true, {std::string(c.size, 'x')});
    tcpJSON json(server.port(), 1);
    ASSERT_TRUE(json.conectarJSONRPC());
    const auto start = Clock::now();
    const std::string reply = json.EnviarMsgJSONRPC("{}", true, true);
    const auto took = Clock::now() - start;
    EXPECT_EQ(reply.size(), c.size);
    EXPECT_EQ(took >= 900ms, c.waits) << c.size;
  }
}

}  // namespace
