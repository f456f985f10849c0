// The DNS replies and the RTSP framing of the video server, byte for byte.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DnsAnswers.h"
#include "RtspMessage.h"

using namespace headend;

namespace {

std::vector<uint8_t> Query(const std::string& dotted) {
  std::vector<uint8_t> q = {0x12, 0x34, 0x01, 0, 0, 1, 0, 0, 0, 0, 0, 0};
  size_t from = 0;
  while (from <= dotted.size()) {
    size_t dot = dotted.find('.', from);
    if (dot == std::string::npos) dot = dotted.size();
    q.push_back(static_cast<uint8_t>(dot - from));
    q.insert(q.end(), dotted.begin() + static_cast<long>(from),
             dotted.begin() + static_cast<long>(dot));
    from = dot + 1;
  }
  q.insert(q.end(), {0, 0, 1, 0, 1});
  return q;
}

const std::vector<DnsRecordSetting> kRecords = {
    {"vod.quorvina.es", "172.26.24.10", ""},
    {"cdn.quorvina.es", "", "edge.cdn.quorvina.es"},
    {"edge.cdn.quorvina.es", "", "vod.quorvina.es"},
};

TEST(DnsReply, ChainsAreCompressedAndFaultsBreakTheReplyAsAsked) {
  struct Case {
    const char* name;
    DnsFault fault;
    std::vector<uint8_t> tail;  // the reply's bytes after the question
    int rcode;
    int answers;
    bool truncated;
  };
  const std::vector<Case> cases = {
      {.name = "VOD.quorvina.es",
       .tail = {0xC0, 12, 0, 1, 0, 1, 0, 0, 1, 0x2C, 0, 4, 172, 26, 24, 10},
       .answers = 1},
      // Each alias points at the name it shares a suffix with; the address last.
      {.name = "cdn.quorvina.es",
       .tail = {0xC0, 12,   0,  5, 0, 1, 0, 0, 1, 0x2C, 0,    7, 4, 'e', 'd', 'g', 'e', 0xC0,
                12,   0xC0, 45, 0, 5, 0, 1, 0, 0, 1,    0x2C, 0, 6, 3,   'v', 'o', 'd', 0xC0,
                16,   0xC0, 64, 0, 1, 0, 1, 0, 0, 1,    0x2C, 0, 4, 172, 26,  24,  10},
       .answers = 3},
      {.name = "nadie.quorvina.es", .rcode = 3},
      {.name = "vod.quorvina.es",
       .fault = DnsFault::Truncated,
       .tail = {0xC0, 12, 0, 1, 0, 1},
       .answers = 1,
       .truncated = true},
      {.name = "vod.quorvina.es",
       .fault = DnsFault::PointerLoop,
       .tail = {0xC0, 33, 0, 1, 0, 1, 0, 0, 1, 0x2C, 0, 4, 172, 26, 24, 10},
       .answers = 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<uint8_t> query = Query(c.name);
    DnsQuestion q;
    ASSERT_TRUE(ParseDnsQuestion(query.data(), query.size(), &q));
    std::string summary;
    const std::vector<uint8_t> reply = BuildDnsReply(query, q, kRecords, c.fault, &summary);
    ASSERT_GE(reply.size(), q.end);
    EXPECT_EQ(reply[0], 0x12);
    EXPECT_EQ(reply[3] & 0x0F, c.rcode);
    EXPECT_EQ(reply[7], c.answers);
    EXPECT_EQ((reply[2] & 0x02) != 0, c.truncated);
    EXPECT_EQ(std::vector<uint8_t>(reply.begin() + static_cast<long>(q.end), reply.end()), c.tail);
  }
}

TEST(RtspFraming, RequestsAreCutAtTheBlankLineAndTheirContentLength) {
  RtspRequestReader reader;
  RtspRequest r;
  std::string error;
  const std::string get =
      "GET_PARAMETER rtsp://h/v RTSP/1.0\r\nCSeq: 7\r\nContent-Length: 10\r\n\r\nposition\r\n";
  reader.Feed(get.data(), 30);
  EXPECT_EQ(reader.Next(&r, &error), RtspRequestReader::Result::NeedMore);
  reader.Feed(get.data() + 30, get.size() - 30);
  reader.Feed("OPTIONS * RTSP/1.0\r\nCSeq: 8\r\n\r\n", 31);
  ASSERT_EQ(reader.Next(&r, &error), RtspRequestReader::Result::Request);
  EXPECT_EQ(r.method, "GET_PARAMETER");
  EXPECT_EQ(r.cseq, 7);
  EXPECT_EQ(r.body, "position\r\n");
  EXPECT_EQ(r.raw, get);
  ASSERT_EQ(reader.Next(&r, &error), RtspRequestReader::Result::Request);
  EXPECT_EQ(r.url, "*");
  EXPECT_EQ(r.cseq, 8);

  const std::string endless(RtspRequestReader::kMaxHead + 1, 'x');
  reader.Feed(endless.data(), endless.size());
  EXPECT_EQ(reader.Next(&r, &error), RtspRequestReader::Result::Bad);
  EXPECT_EQ(RtspPath("rtsp://vod.quorvina.es:554/vod/1/ab"), "/vod/1/ab");
  EXPECT_EQ(RtspPath("http://x/y"), "");
}

}  // namespace
