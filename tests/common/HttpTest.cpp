// The HTTP client of the application server against a loopback server.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>
#include <vector>

#include "common/Globals.h"
#include "common/Http.h"
#include "support/InProcessHost.h"
#include "support/TinyHttpServer.h"

namespace {
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

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
  InProcessHost host_;
  TinyHttpServer server_;
};

TEST_F(HttpClient, TheBodyIsReturnedAsDeliveredOnlyFor200) {
  const std::string k2000(2000, 'b');
  const std::string longHead =
      "200 OK\r\nX-Pad: " + std::string(1600, 'p') + "\r\nContent-Length: 1";
  const struct {
    const char* name;
    std::vector<std::string> segments;
    std::string body;
  } cases[] = {
      {"by length", {Response("200 OK\r\nContent-Length: 4", "hola")}, "hola"},
      {"in later segments",
       {Response("200 OK\r\nContent-Length: 4500"), std::string(2500, 'x'), k2000},
       std::string(2500, 'x') + k2000},
      {"2000 bytes until close", {Response("200 OK", k2000)}, k2000},
      {"length 0 reads until close", {Response("200 OK\r\nContent-Length: 0", "ab"), "cd"}, "abcd"},
      {"chunked keeps its framing",
       {Response("200 OK\r\nTransfer-Encoding: chunked", "4\r\nWiki\r\n0\r\n\r\n")},
       "4\r\nWiki\r\n0\r\n\r\n"},
      {"not found", {Response("404 Not Found\r\nContent-Length: 2", "no")}, ""},
      {"redirect not followed", {Response("302 Found\r\nLocation: /y")}, ""},
      {"short status line", {"HTTP/1.1 20"}, ""},
      {"head split", {"HTTP/1.1 200 OK\r\nContent-Length: 4\r\n", "\r\nhola"}, ""},
      {"head over 1500 bytes", {Response(longHead, "z")}, ""},
  };
  for (const auto& c : cases) {
    server_.Answer("/x", c.segments);
    EXPECT_EQ(http().ObtenerStringhttp("127.0.0.1", server_.port(), "/x"), c.body) << c.name;
  }
  // Refused (-2) tells from unusable (-1): a head too long, a buffer too small.
  const struct {
    std::string response;
    int size;
    int result;
  } reads[] = {{Response("404 Not Found"), 2000, -2},
               {Response(longHead), 2000, -1},
               {Response("200 OK", "abc"), 1499, -1},
               {Response("200 OK", "abc"), 1500, 3}};
  for (const auto& r : reads) {
    server_.Answer("/r", {r.response});
    http client;
    ASSERT_TRUE(client.conectarhttp("127.0.0.1", server_.port(), "/r"));
    std::vector<char> buffer(r.size);
    EXPECT_EQ(client.Leerhttp(buffer.data(), r.size), r.result) << r.response.substr(0, 30);
  }
  EXPECT_TRUE(host_.Logged("Http ErrorHTTP/1.1 404 Not Found"));
  char buffer[2000];
  EXPECT_EQ(http().Leerhttp(buffer, sizeof(buffer)), -1);  // not connected
}

TEST_F(HttpClient, RequestCarriesHostThenTheFirstPieceOfTheFirstCookie) {
  server_.Answer("/a.do?x=1", {Response("200 OK\r\nSet-Cookie: JSESSIONID=abc; Path=/\r\n"
                                        "set-cookie: other=1\r\nContent-Length: 1",
                                        "k")});
  server_.AnswerOk("/b", "m");
  EXPECT_EQ(http().ObtenerStringhttp("127.0.0.1", server_.port(), "/a.do?x=1"), "k");
  EXPECT_EQ(httpSessionID.Get(), "Cookie:JSESSIONID=abc");
  EXPECT_EQ(http().ObtenerStringhttp("127.0.0.1", server_.port(), "/b"), "m");
  EXPECT_EQ(server_.Requests(),
            (std::vector<std::string>{
                "GET /a.do?x=1 HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n",
                "GET /b HTTP/1.1\r\nHost: 127.0.0.1\r\nCookie:JSESSIONID=abc\r\n\r\n"}));
}

TEST_F(HttpClient, AFileIsWrittenOnlyFor200) {
  const std::string body = std::string(3000, 'j') + "end";
  server_.Answer("/i", {Response("200 OK\r\nContent-Length: 3003", body)});
  server_.Answer("/j", {Response("404 Not Found", "gone")});
  const TempDir& dir = host_.user();
  EXPECT_TRUE(http().ObtenerFicherohttp("127.0.0.1", server_.port(), "/i", dir.file("i.jpg")));
  EXPECT_EQ(dir.Read("i.jpg"), body);
  EXPECT_FALSE(http().ObtenerFicherohttp("127.0.0.1", server_.port(), "/j", dir.file("j.jpg")));
  EXPECT_NE(access(dir.file("j.jpg").c_str(), F_OK), 0);
}

TEST_F(HttpClient, RefusedConnectionFailsAtSendAndUnacceptedOneAfterTwoSeconds) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof(address);
  const int listener = socket(AF_INET, SOCK_STREAM, 0);
  bind(listener, reinterpret_cast<sockaddr*>(&address), length);
  getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
  const int port = ntohs(address.sin_port);
  EXPECT_EQ(http().ObtenerStringhttp("127.0.0.1", port, "/"), "");  // bound, not listening
  EXPECT_TRUE(host_.Logged("send fallado 127.0.0.1"));

  // With its one-place queue full, a listener drops further handshakes.
  listen(listener, 0);
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

}  // namespace
