// The client of the host's JSON-RPC interface against a loopback server of
// the test's own: the request texts, the connect rule and the reply reading.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "services/tcpJSON.h"
#include "support/InProcessHost.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Answers each connection's first message with the next reply (none when
// the replies are used up), keeps the connection until the client closes
// it, and records every message.
class JsonServer {
 public:
  JsonServer(int family, std::vector<std::string> replies) : replies_(std::move(replies)) {
    fd_ = socket(family, SOCK_STREAM, 0);
    sockaddr_storage address{};
    socklen_t size = 0;
    if (family == AF_INET6) {
      auto* a6 = reinterpret_cast<sockaddr_in6*>(&address);
      a6->sin6_family = AF_INET6;
      a6->sin6_addr = in6addr_loopback;
      size = sizeof(*a6);
    } else {
      auto* a4 = reinterpret_cast<sockaddr_in*>(&address);
      a4->sin_family = AF_INET;
      a4->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      size = sizeof(*a4);
    }
    bind(fd_, reinterpret_cast<sockaddr*>(&address), size);
    listen(fd_, 4);
    getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size);
    port_ = ntohs(family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&address)->sin6_port
                                     : reinterpret_cast<sockaddr_in*>(&address)->sin_port);
    thread_ = std::thread([this] { Serve(); });
  }
  ~JsonServer() {
    stop_ = true;
    thread_.join();
    close(fd_);
  }
  int port() const { return port_; }
  std::vector<std::string> Messages() {
    std::lock_guard<std::mutex> lock(mutex_);
    return messages_;
  }

 private:
  void Serve() {
    size_t next = 0;
    while (!stop_) {
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, 50) <= 0) continue;
      const int client = accept(fd_, nullptr, nullptr);
      bool answered = false;
      for (char buffer[8192]; !stop_;) {
        pollfd c{client, POLLIN, 0};
        if (poll(&c, 1, 50) <= 0) continue;
        const ssize_t n = recv(client, buffer, sizeof(buffer), 0);
        if (n <= 0) break;
        {
          std::lock_guard<std::mutex> lock(mutex_);
          messages_.emplace_back(buffer, static_cast<size_t>(n));
        }
        if (!answered && next < replies_.size()) {
          send(client, replies_[next].data(), replies_[next].size(), MSG_NOSIGNAL);
          ++next;
        }
        answered = true;
      }
      close(client);
    }
  }

  int fd_ = -1;
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
  JsonServer server(AF_INET6, {players, players, channels, ""});
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

TEST(TcpJsonTest, AnswersOfAnotherShapeFindNothing) {
  const struct {
    const char* reply;
    std::optional<int> player;
    uint32_t channel;
  } cases[] = {
      {"", std::nullopt, 0},
      {"not json", std::nullopt, 0},
      {R"({"result":[]})", std::nullopt, 0},
      {R"({"result":{"channels":"x"}})", std::nullopt, tcpJSON::kSinCanal},
      {R"({"result":[{"playerid":"1"}]})", std::nullopt, 0},
      {R"({"result":{"channels":[{"channel":5,"channelid":1},{"channel":"v.o.d"}]}})", std::nullopt,
       tcpJSON::kSinCanal},
      {R"({"result":{"channels":[{"channel":"V.O.D","channelid":-1},)"
       R"({"channel":"V.o.D","channelid":9}]}})",
       std::nullopt, 9},
      {R"([{"playerid":1}])", std::nullopt, 0},
      {R"({"result":[{"playerid":1}]})", 1, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(tcpJSON::PlayerActivo(c.reply), c.player) << c.reply;
    EXPECT_EQ(tcpJSON::CanalEnRespuesta(c.reply, "V.O.D"), c.channel) << c.reply;
  }
}

TEST(TcpJsonTest, WithoutAnIpv6ServerRequestsFailWithoutTryingIpv4) {
  InProcessHost host;
  JsonServer ipv4(AF_INET, {"{}"});
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
    JsonServer server(AF_INET6, {std::string(c.size, 'x')});
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
