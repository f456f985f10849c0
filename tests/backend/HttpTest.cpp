#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>
#include <vector>

#include "backend/Http.h"
#include "common/Globals.h"
#include "support/FakeHost.h"

namespace {
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

sockaddr_in Loopback(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

int ListenLoopback(int backlog, int& port) {
  const int sock = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address = Loopback(0);
  socklen_t length = sizeof(address);
  bind(sock, reinterpret_cast<sockaddr*>(&address), length);
  listen(sock, backlog);
  getsockname(sock, reinterpret_cast<sockaddr*>(&address), &length);
  port = ntohs(address.sin_port);
  return sock;
}

// One connection on 127.0.0.1: records the request head, sends each segment
// alone (a pause between them), then closes, or first waits up to holdOpenMs
// for the client to close.
class LoopbackServer {
 public:
  explicit LoopbackServer(std::vector<std::string> segments, int holdOpenMs = 0)
      : listener_(ListenLoopback(1, port_)),
        thread_([this, segments, holdOpenMs] { Serve(segments, holdOpenMs); }) {}
  ~LoopbackServer() {
    request();
    close(listener_);
  }
  int port() const { return port_; }
  // The request as received, once the connection has ended.
  const std::string& request() {
    if (thread_.joinable()) thread_.join();
    return request_;
  }

 private:
  void Serve(const std::vector<std::string>& segments, int holdOpenMs) {
    pollfd wait{listener_, POLLIN, 0};
    if (poll(&wait, 1, 15000) != 1) return;
    const int peer = accept(listener_, nullptr, nullptr);
    pollfd in{peer, POLLIN, 0};
    char buffer[4096];
    for (ssize_t got; request_.find("\r\n\r\n") == std::string::npos && poll(&in, 1, 2000) == 1 &&
                      (got = recv(peer, buffer, sizeof(buffer), 0)) > 0;) {
      request_.append(buffer, got);
    }
    for (const std::string& segment : segments) {
      send(peer, segment.data(), segment.size(), MSG_NOSIGNAL);
      std::this_thread::sleep_for(100ms);
    }
    if (holdOpenMs > 0 && poll(&in, 1, holdOpenMs) == 1) recv(peer, buffer, sizeof(buffer), 0);
    close(peer);
  }

  int port_ = 0;
  int listener_;
  std::string request_;
  std::thread thread_;
};

std::string Response(const std::string& head, const std::string& body = "") {
  return "HTTP/1.1 " + head + "\r\n\r\n" + body;
}

class HttpClient : public ::testing::Test {
 protected:
  void SetUp() override {
    ModoDebug = true;
    httpSessionID.Clear();
  }
  void TearDown() override {
    ModoDebug = false;
    httpSessionID.Clear();
  }
  FakeHost host_;
};

struct BodyCase {
  const char* name;
  std::vector<std::string> segments;
  std::string body;
};
class HttpBody : public HttpClient, public ::testing::WithParamInterface<BodyCase> {};

TEST_P(HttpBody, ObtenerStringhttpReturnsBodyAsDelivered) {
  LoopbackServer server(GetParam().segments);
  EXPECT_EQ(http().ObtenerStringhttp("127.0.0.1", server.port(), "/x"), GetParam().body);
}

const std::string k2000(2000, 'b');
const std::string kLongHead =
    "200 OK\r\nX-Pad: " + std::string(1600, 'p') + "\r\nContent-Length: 1";
INSTANTIATE_TEST_SUITE_P(
    Responses, HttpBody,
    ::testing::Values(
        BodyCase{"ByLength", {Response("200 OK\r\nContent-Length: 4", "hola")}, "hola"},
        BodyCase{"BodyInLaterSegments",
                 {Response("200 OK\r\nContent-Length: 4500"), std::string(2500, 'x'), k2000},
                 std::string(2500, 'x') + k2000},
        BodyCase{
            "Exactly2000WithLength", {Response("200 OK\r\nContent-Length: 2000", k2000)}, k2000},
        BodyCase{"Exactly2000UntilClose", {Response("200 OK", k2000)}, k2000},
        BodyCase{"ZeroLengthReadsUntilClose",
                 {Response("200 OK\r\nContent-Length: 0", "ab"), "cd"},
                 "abcd"},
        BodyCase{"ChunkedKeepsFraming",
                 {Response("200 OK\r\nTransfer-Encoding: chunked", "4\r\nWiki\r\n0\r\n\r\n")},
                 "4\r\nWiki\r\n0\r\n\r\n"},
        BodyCase{"NotFound", {Response("404 Not Found\r\nContent-Length: 2", "no")}, ""},
        BodyCase{"RedirectNotFollowed", {Response("302 Found\r\nLocation: /y")}, ""},
        BodyCase{"ShortStatusLine", {"HTTP/1.1 20"}, ""},
        BodyCase{"HeadSplit", {"HTTP/1.1 200 OK\r\nContent-Length: 4\r\n", "\r\nhola"}, ""},
        BodyCase{"HeadOver1500Bytes", {Response(kLongHead, "z")}, ""}),
    [](const ::testing::TestParamInfo<BodyCase>& info) { return std::string(info.param.name); });

TEST_F(HttpClient, LeerhttpTellsRefusedFromUnusable) {
  const struct {
    std::string response;
    int size;
    int result;
  } cases[] = {{Response("404 Not Found"), 2000, -2},
               {Response(kLongHead), 2000, -1},
               {Response("200 OK", "abc"), 1499, -1},
               {Response("200 OK", "abc"), 1500, 3}};
  for (const auto& c : cases) {
    LoopbackServer server({c.response});
    http client;
    ASSERT_TRUE(client.conectarhttp("127.0.0.1", server.port(), "/"));
    std::vector<char> buffer(c.size);
    EXPECT_EQ(client.Leerhttp(buffer.data(), c.size), c.result) << c.response.substr(0, 30);
  }
  EXPECT_TRUE(host_.Logged("Http ErrorHTTP/1.1 404 Not Found"));
  char buffer[2000];
  EXPECT_EQ(http().Leerhttp(buffer, sizeof(buffer)), -1);  // not connected
}

TEST_F(HttpClient, RequestCarriesHostThenTheFirstPieceOfTheFirstCookie) {
  LoopbackServer first({Response(
      "200 OK\r\nSet-Cookie: JSESSIONID=abc; Path=/\r\nset-cookie: other=1\r\nContent-Length: 1",
      "k")});
  EXPECT_EQ(http().ObtenerStringhttp("127.0.0.1", first.port(), "/a.do?x=1"), "k");
  EXPECT_EQ(first.request(), "GET /a.do?x=1 HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
  EXPECT_EQ(httpSessionID.Get(), "Cookie:JSESSIONID=abc");

  LoopbackServer second({Response("200 OK\r\nContent-Length: 1", "m")});
  EXPECT_EQ(http().ObtenerStringhttp("127.0.0.1", second.port(), "/b"), "m");
  EXPECT_EQ(second.request(),
            "GET /b HTTP/1.1\r\nHost: 127.0.0.1\r\nCookie:JSESSIONID=abc\r\n\r\n");
}

TEST_F(HttpClient, SuccessLogsEachStepKeepsHeadersAndLearnsLocalAddress) {
  IPAdaptador.Clear();
  LoopbackServer server({Response(
      "200 OK\r\nContent-Type:  text/json\r\nX-Dup: one\r\nx-dup: two\r\nnocolon\r\n:v\r\n"
      "Content-Length: 2",
      "ok")});
  http client;
  ASSERT_EQ(client.ObtenerStringhttp("127.0.0.1", server.port(), "/"), "ok");
  const std::string port = std::to_string(server.port());
  const std::vector<std::string> expected = {"conectarhttp 127.0.0.1-" + port,
                                             "gethostbyname:127.0.0.1",
                                             "connect:127.0.0.1",
                                             "conectado:127.0.0.1",
                                             "SetBlocking",
                                             "GET",
                                             "send completado 127.0.0.1",
                                             "Http",
                                             "desconectar."};
  std::vector<std::string> lines;
  for (const FakeHost::Line& line : host_.Logs()) lines.push_back(line.text);
  EXPECT_EQ(lines, expected);
  const HttpHeaders headers = {
      {"content-type", "text/json"}, {"x-dup", "one"}, {"content-length", "2"}};
  EXPECT_EQ(client.headers(), headers);
  EXPECT_EQ(IPAdaptador.Get(), "127.0.0.1");
  IPAdaptador.Clear();
}

TEST_F(HttpClient, ObtenerFicherohttpWritesTheBodyOnlyFor200) {
  TempDir dir;
  const std::string body = std::string(3000, 'j') + "end";
  LoopbackServer good({Response("200 OK\r\nContent-Length: 3003", body)});
  EXPECT_TRUE(http().ObtenerFicherohttp("127.0.0.1", good.port(), "/i", dir.file("i.jpg")));
  EXPECT_EQ(dir.Read("i.jpg"), body);

  LoopbackServer missing({Response("404 Not Found", "gone")});
  EXPECT_FALSE(http().ObtenerFicherohttp("127.0.0.1", missing.port(), "/j", dir.file("j.jpg")));
  EXPECT_NE(access(dir.file("j.jpg").c_str(), F_OK), 0);
}

TEST_F(HttpClient, ReenviarFicherohttpRelaysTheWholeResponse) {
  const std::string response = Response("200 OK\r\nContent-Length: 2500", std::string(2500, 'r'));
  LoopbackServer good({response});
  int pair[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
  EXPECT_TRUE(http().ReenviarFicherohttp("127.0.0.1", good.port(), "/p", pair[0]));
  close(pair[0]);
  std::string relayed;
  char buffer[4096];
  for (ssize_t got; (got = recv(pair[1], buffer, sizeof(buffer), 0)) > 0;)
    relayed.append(buffer, got);
  close(pair[1]);
  EXPECT_EQ(relayed, response);

  LoopbackServer missing({Response("404 Not Found")});
  EXPECT_FALSE(http().ReenviarFicherohttp("127.0.0.1", missing.port(), "/q", -1));
}

TEST_F(HttpClient, RefusedConnectionFailsAtSendAndUnacceptedOneAfterTwoSeconds) {
  int port = 0;
  close(ListenLoopback(1, port));  // free a moment ago, nobody listens now
  EXPECT_EQ(http().ObtenerStringhttp("127.0.0.1", port, "/"), "");
  EXPECT_TRUE(host_.Logged("send fallado 127.0.0.1"));

  // With its one-place queue full, a listener drops further handshakes.
  const int listener = ListenLoopback(0, port);
  const sockaddr_in address = Loopback(port);
  int queued[2];
  for (int& sock : queued) {
    sock = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    connect(sock, reinterpret_cast<const sockaddr*>(&address), sizeof(address));
  }
  std::this_thread::sleep_for(100ms);
  const auto start = Clock::now();
  EXPECT_FALSE(http().conectarhttp("127.0.0.1", port, "/"));
  EXPECT_GE(Clock::now() - start, 1900ms);
  EXPECT_LT(Clock::now() - start, 3500ms);
  EXPECT_TRUE(host_.Logged("timeout:127.0.0.1"));
  for (int sock : queued) close(sock);
  close(listener);
}

TEST_F(HttpClient, BodyWithoutLengthOnOpenConnectionEndsAtReceiveTimeOut) {
  LoopbackServer server({Response("200 OK", "parcial")}, 15000);
  const auto start = Clock::now();
  EXPECT_EQ(http().ObtenerStringhttp("127.0.0.1", server.port(), "/"), "parcial");
  EXPECT_GE(Clock::now() - start, 9500ms);
  EXPECT_LT(Clock::now() - start, 13s);
}

TEST_F(HttpClient, UnresolvedNameIsRetriedOnlyForTheApplicationServer) {
  // Only the private test network (operator addresses on lo) keeps the
  // lookups of made-up names on this machine.
  const int probe = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in operatorAddress = Loopback(0);
  inet_pton(AF_INET, "172.26.23.3", &operatorAddress.sin_addr);
  const bool inside =
      bind(probe, reinterpret_cast<sockaddr*>(&operatorAddress), sizeof(operatorAddress)) == 0;
  close(probe);
  if (!inside) GTEST_SKIP() << "needs scripts/netns-run.sh";

  EXPECT_FALSE(http().conectarhttp("nohost.invalid", 80, "/"));
  EXPECT_TRUE(host_.Logged("gethostbyname:nohost.invalid"));
  EXPECT_FALSE(host_.Logged("connect:"));

  const std::string saved[] = {httpHostQuorvina, httpHostQuorvinaConfiguracion};
  httpHostQuorvina = "appserver.invalid";
  httpHostQuorvinaConfiguracion = "127.0.0.1";
  LoopbackServer server({Response("200 OK\r\nContent-Length: 2", "si")});
  EXPECT_EQ(http().ObtenerStringhttp("appserver.invalid", server.port(), "/"), "si");
  EXPECT_TRUE(host_.Logged("gethostbyname no resuelto cambiando a IP:127.0.0.1"));
  EXPECT_EQ(server.request(), "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
  httpHostQuorvina = saved[0];
  httpHostQuorvinaConfiguracion = saved[1];
}

}  // namespace
