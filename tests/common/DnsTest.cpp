// The DNS client of the operator's server: the query it builds and what it
// reads from a reply.
#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/Dns.h"

namespace {
using Bytes = std::vector<unsigned char>;

Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

Bytes Label(const std::string& dotted) {
  std::string name = dotted;
  ToDnsNameFormat(name);
  Bytes out(name.begin(), name.end());
  out.push_back(0);
  return out;
}

const Bytes kToQuestion = {0xC0, 0x0C};  // pointer to the question's name

Bytes Be16(size_t value) {
  return {static_cast<unsigned char>(value >> 8), static_cast<unsigned char>(value)};
}

// Class IN, time to live 3600.
Bytes Record(const Bytes& owner, uint16_t type, const Bytes& data) {
  return owner + Be16(type) + Be16(1) + Bytes{0, 0, 0x0E, 0x10} + Be16(data.size()) + data;
}

Bytes ARecord(const Bytes& owner, unsigned char last) {
  return Record(owner, 1, {10, 0, 0, last});
}

// A reply to a query: its header with the answer count, its question, then records.
Bytes Reply(const Bytes& query, int answers, const Bytes& records) {
  Bytes reply = query;
  reply[2] = 0x81;
  reply[3] = 0x80;
  reply[6] = Be16(answers)[0];
  reply[7] = Be16(answers)[1];
  return reply + records;
}

std::vector<std::string> Addresses(const hostent* entry) {
  std::vector<std::string> out;
  for (char** at = entry->h_addr_list; *at != nullptr; ++at) {
    char text[INET_ADDRSTRLEN];
    inet_ntop(AF_INET, *at, text, sizeof(text));
    out.push_back(text);
  }
  return out;
}

TEST(DnsQuery, NameGoesInLabelFormAfterTheHeader) {
  const Bytes expected = {0x12, 0x34, 0x01, 0, 0,   1, 0, 0, 0, 0, 0,
                          0,    1,    'a',  1, 'b', 0, 0, 1, 0, 1};
  EXPECT_EQ(BuildDnsQuery("a.b", 0x1234), expected);
  std::string name = "vod.quorvina.com";
  ToDnsNameFormat(name);
  EXPECT_EQ(name, std::string("\3vod\10quorvina\3com"));
  FromDnsNameFormat(name);
  EXPECT_EQ(name, "vod.quorvina.com");
}

TEST(DnsQuery, OneTrailingDotIsTheRootAndOtherEmptyLabelsAreRefused) {
  EXPECT_EQ(BuildDnsQuery("vod.quorvina.com.", 9), BuildDnsQuery("vod.quorvina.com", 9));
  EXPECT_EQ(BuildDnsQuery("a.", 9), BuildDnsQuery("a", 9));
  for (const std::string& bad : std::vector<std::string>{
           "", ".", "a..", "a..b", ".a", "vod.quorvina.com..", std::string(64, 'x') + ".com"}) {
    EXPECT_TRUE(BuildDnsQuery(bad, 1).empty()) << bad;
  }
  EXPECT_FALSE(BuildDnsQuery(std::string(63, 'x') + ".com", 1).empty());
}

TEST(DnsParseReply, KeepsAnswersOrFailsInsideTheMessage) {
  Bytes many;
  std::vector<std::string> twenty;
  for (int i = 0; i < 25; ++i) {
    many = many + ARecord(kToQuestion, static_cast<unsigned char>(i));
    if (i < kDnsMaxRecords) twenty.push_back("10.0.0." + std::to_string(i));
  }
  // Replies to the query for "vod.tv" (24 bytes: the answers start at 24).
  const Bytes cname = Record(kToQuestion, 5, Label("edge.tv"));  // its data starts at 36
  const struct {
    const char* what;
    int answers;
    Bytes records;
    std::vector<std::string> addresses;  // empty: the lookup fails
  } cases[] = {
      {"one A", 1, ARecord(kToQuestion, 1), {"10.0.0.1"}},
      {"CNAME then A", 2, cname + ARecord({0xC0, 36}, 2), {"101.100.103.101", "10.0.0.2"}},
      {"owner written out", 1, ARecord(Label("vod.tv"), 3), {"10.0.0.3"}},
      {"MX", 1, Record(kToQuestion, 15, Bytes{0, 10} + Label("mx.tv")), {"109.120.46.116"}},
      {"more than twenty", 25, many, twenty},
      {"no answers", 0, ARecord(kToQuestion, 1), {}},
      {"fewer records than counted", 2, ARecord(kToQuestion, 1), {}},
      {"fixed part cut", 1, {0xC0, 0x0C, 0, 1, 0, 1}, {}},
      {"data cut", 1, {0xC0, 0x0C, 0, 1, 0, 1, 0, 0, 0, 1, 0, 4, 10, 0}, {}},
      {"owner name loops", 1, ARecord({0xC0, 24}, 1), {}},
      {"CNAME data points outside", 1, Record(kToQuestion, 5, {0xC0, 0xF0}), {}},
  };
  const Bytes query = BuildDnsQuery("vod.tv", 7);
  for (const auto& c : cases) {
    const Bytes reply = Reply(query, c.answers, c.records);
    const DnsReply parsed = ParseDnsReply(reply.data(), reply.size(), query.size());
    EXPECT_EQ(parsed.ok, !c.addresses.empty()) << c.what << ": " << parsed.error;
    hostent* entry = HostEntryFromReply("vod.tv", parsed);
    EXPECT_EQ(entry != nullptr, !c.addresses.empty()) << c.what;
    if (entry == nullptr) continue;
    EXPECT_EQ(Addresses(entry), c.addresses) << c.what;
    EXPECT_STREQ(entry->h_name, "vod.tv");
    EXPECT_EQ(entry->h_aliases[0], nullptr);
    EXPECT_EQ(entry->h_addrtype, AF_INET);
    EXPECT_EQ(entry->h_length, 4);
    FreeHostEntry(entry);
  }
  const Bytes header(11, 0);
  EXPECT_FALSE(ParseDnsReply(header.data(), header.size(), query.size()));
}

}  // namespace
