#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

extern "C" {
#include <libavformat/avformat.h>
}

#include "FakeAddonFolder.h"
#include "core/Host.h"
#include "core/JsonRpcListener.h"
#include "core/Player.h"

namespace {

using hostsim::EntryKind;
using hostsim::Host;

// A client as small as the add-on's: connect, one send, read until `replies`
// objects came (at most 2 s), close.
std::string rpc(uint16_t port, const std::string& text, bool v6 = true, size_t replies = 1) {
  int fd = socket(v6 ? AF_INET6 : AF_INET, SOCK_STREAM, 0);
  sockaddr_in6 a6{};
  sockaddr_in a4{};
  a6.sin6_family = AF_INET6;
  a6.sin6_addr = in6addr_loopback;
  a6.sin6_port = htons(port);
  a4.sin_family = AF_INET;
  a4.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a4.sin_port = htons(port);
  int c = v6 ? connect(fd, reinterpret_cast<sockaddr*>(&a6), sizeof a6)
             : connect(fd, reinterpret_cast<sockaddr*>(&a4), sizeof a4);
  std::string reply;
  if (c == 0 && send(fd, text.data(), text.size(), 0) == static_cast<ssize_t>(text.size())) {
    for (int i = 0; i < 40 && replies > 0; ++i) {
      pollfd p{fd, POLLIN, 0};
      if (poll(&p, 1, 50) <= 0) continue;
      char chunk[4096];
      ssize_t n = recv(fd, chunk, sizeof chunk, 0);
      if (n <= 0) break;
      reply.append(chunk, static_cast<size_t>(n));
      std::string copy = reply;
      if (hostsim::JsonRpcListener::takeObjects(copy).size() >= replies) break;
    }
  }
  close(fd);
  return reply;
}

size_t indexOf(Host& host, const std::string& text) {
  auto entries = host.journal().entries();
  for (size_t i = 0; i < entries.size(); ++i)
    if (entries[i].text.find(text) != std::string::npos) return i;
  return SIZE_MAX;
}

// The request texts an add-on sends, byte for byte.
const char kActive[] = "{\"id\": 1,\"jsonrpc\":\"2.0\", \"method\": \"Player.GetActivePlayers\"}";
const char kNone[] = "{\"id\":1,\"jsonrpc\":\"2.0\",\"result\":[]}";
const char kOne[] =
    "{\"id\":1,\"jsonrpc\":\"2.0\",\"result\":[{\"playerid\":1,\"type\":\"video\"}]}";

class JsonRpcTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(host.load().ok);
    port = host.jsonRpc().port();
    ASSERT_NE(0, port);
  }
  hostsim_test::FakeAddonFolder folder;
  Host host{folder.options()};
  uint16_t port = 0;
};

TEST_F(JsonRpcTest, AnswersTheRequestsOfAnAddon) {
  struct Case {
    const char* request;
    const char* reply;
    bool v6;
    size_t replies;
  } cases[] = {
      {kActive, kNone, true, 1},
      {"{\"jsonrpc\":\"2.0\",\"method\":\"PVR.GetChannels\",\"params\":{\"channelgroupid\":"
       "\"alltv\",\"properties\":[\"channel\"]},\"id\":1}\r\n",
       "{\"id\":1,\"jsonrpc\":\"2.0\",\"result\":{\"channels\":["
       "{\"channel\":\"Canal 1\",\"channelid\":1,\"label\":\"Canal 1\"},"
       "{\"channel\":\"Canal 2\",\"channelid\":2,\"label\":\"Canal 2\"},"
       "{\"channel\":\"Canal 3\",\"channelid\":3,\"label\":\"Canal 3\"}],"
       "\"limits\":{\"end\":3,\"start\":0,\"total\":3}}}",
       false, 1},
      {"{\"jsonrpc\":\"2.0\",\"method\":\"VideoLibrary.Scan\",\"params\":{\"directory\":\"C:\\\\"
       "Series\"},\"id\":1}",
       "{\"id\":1,\"jsonrpc\":\"2.0\",\"result\":\"OK\"}", true, 1},
      {"{\"jsonrpc\":\"2.0\",\"method\":\"Player.Stop\",\"params\":{\"playerid\":1},\"id\":1}",
       "{\"id\":1,\"jsonrpc\":\"2.0\",\"error\":{\"code\":-32602,\"message\":\"Invalid params.\"}}",
       true, 1},
      {"{\"jsonrpc\":\"2.0\",\"method\":\"GUI.Fly\",\"id\":7}",
       "{\"id\":7,\"jsonrpc\":\"2.0\",\"error\":{\"code\":-32601,\"message\":\"Method not "
       "found.\"}}",
       true, 1},
      {"{\"method\": nope}",
       "{\"id\":null,\"jsonrpc\":\"2.0\",\"error\":{\"code\":-32700,\"message\":\"Parse error.\"}}",
       true, 1},
      // Two objects in one send, one of them without a line end.
      {"{\"id\":2,\"jsonrpc\":\"2.0\",\"method\":\"Player.GetActivePlayers\"}\n{\"id\":3,"
       "\"jsonrpc\":\"2.0\",\"method\":\"Player.GetActivePlayers\"}",
       "{\"id\":2,\"jsonrpc\":\"2.0\",\"result\":[]}{\"id\":3,\"jsonrpc\":\"2.0\",\"result\":[]}",
       true, 2},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.reply, rpc(port, c.request, c.v6, c.replies)) << c.request;
  EXPECT_TRUE(host.journal().contains(EntryKind::Host, "VideoLibrary.Scan C:\\Series"));
  EXPECT_EQ(3u, host.jsonRpc().count("Player.GetActivePlayers"));
}

TEST_F(JsonRpcTest, PlayerRequestsDriveThePlayer) {
  // As the add-on opens a channel: send, no reply read, disconnect.
  rpc(port,
      "{\"jsonrpc\":\"2.0\",\"method\":\"Player.Open\",\"params\":{\"item\":{\"channelid\":2}},"
      "\"id\":1}",
      true, 0);
  ASSERT_TRUE(
      host.journal().waitFor(EntryKind::Host, "OpenLiveStream 102", std::chrono::seconds(5)));
  EXPECT_EQ(kOne, rpc(port, kActive));
  EXPECT_EQ("{\"id\":1,\"jsonrpc\":\"2.0\",\"result\":{\"speed\":0}}",
            rpc(port,
                "{\"jsonrpc\":\"2.0\",\"method\":\"Player.PlayPause\",\"params\":{\"playerid\":1},"
                "\"id\":1}"));
  rpc(port,
      "{\"jsonrpc\":\"2.0\",\"method\":\"Player.SetSpeed\",\"params\":{\"playerid\":1,\"speed\":1},"
      "\"id\":1}");
  rpc(port,
      "{\"jsonrpc\":\"2.0\",\"method\":\"Player.Stop\",\"params\":{\"playerid\":1},\"id\":1}");
  ASSERT_TRUE(host.journal().waitFor(EntryKind::Host, "CloseLiveStream", std::chrono::seconds(5)));
  EXPECT_EQ(kNone, rpc(port, kActive));
  // Pause and resume in the host's order.
  size_t pause = indexOf(host, "fake: PauseStream true"), zero = indexOf(host, "fake: SetSpeed 0");
  size_t resume = indexOf(host, "fake: PauseStream false");
  size_t normal = indexOf(host, "fake: SetSpeed 1000");
  EXPECT_LT(pause, zero);
  EXPECT_LT(zero, resume);
  EXPECT_LT(resume, normal);
  EXPECT_LT(normal, indexOf(host, "CloseLiveStream"));
  EXPECT_EQ(102u, host.playback().report().channelUid);
}

TEST_F(JsonRpcTest, PlayWritesEveryPacketAndReportsGapsAndTimes) {
  host.fetchChannels();
  hostsim::PlayOptions o;
  o.duration = std::chrono::seconds(2);
  o.outFile = folder.root() + "/out.ts";
  o.timeline = {{0.05, hostsim::TimelineStep::Pause}, {0.3, hostsim::TimelineStep::Resume}};
  hostsim::PlayResult r = hostsim::Player(host).play(101, o);
  ASSERT_TRUE(r.opened) << r.message;
  EXPECT_EQ(100u, r.packets);
  EXPECT_EQ(100u, r.written);
  ASSERT_EQ(2u, r.gaps.size());          // the fake's two-second jump, once per stream
  EXPECT_EQ(1180000, r.gaps[0].fromUs);  // stream 1, packet 59
  EXPECT_EQ(1000, r.times.playing);
  ASSERT_EQ(3u, r.events.size());
  EXPECT_NE(std::string::npos, r.events[0].find(": stream change"));
  EXPECT_NE(std::string::npos, r.events[1].find(": pause"));
  EXPECT_NE(std::string::npos, r.events[2].find(": resume"));
  EXPECT_EQ("720x576 spa", std::to_string(r.streams[0].width) + "x" +
                               std::to_string(r.streams[0].height) + " " + r.streams[1].language);

  AVFormatContext* in = nullptr;
  ASSERT_EQ(0, avformat_open_input(&in, o.outFile.c_str(), nullptr, nullptr));
  ASSERT_GE(avformat_find_stream_info(in, nullptr), 0);
  ASSERT_EQ(2u, in->nb_streams);
  EXPECT_EQ(AV_CODEC_ID_MPEG2VIDEO, in->streams[0]->codecpar->codec_id);
  EXPECT_EQ(AVMEDIA_TYPE_AUDIO,
            in->streams[1]->codecpar->codec_type);  // the fake's bytes are no frames
  AVDictionaryEntry* language = av_dict_get(in->streams[1]->metadata, "language", nullptr, 0);
  EXPECT_STREQ("spa", language ? language->value : "");
  avformat_close_input(&in);
}

TEST(JsonRpcListener, CutsTheByteStreamIntoObjects) {
  std::string buffer = " {\"a\":\"}{\\\"\"} x{\"b\":[{}]}\r\n{\"c\":";
  std::vector<std::string> objects = hostsim::JsonRpcListener::takeObjects(buffer);
  ASSERT_EQ(2u, objects.size());
  EXPECT_EQ("{\"a\":\"}{\\\"\"}", objects[0]);
  EXPECT_EQ("{\"b\":[{}]}", objects[1]);
  EXPECT_EQ("{\"c\":", buffer);
}

}  // namespace
