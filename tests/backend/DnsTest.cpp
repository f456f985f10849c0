#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "backend/Dns.h"

namespace {
using namespace std::chrono_literals;
using Bytes = std::vector<unsigned char>;

const char kDnsServer[] = "172.26.23.3";

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
  // The label form of the name, 17 bytes, plus 17.
  EXPECT_EQ(BuildDnsQuery("www.quorvina.com", 1).size(), 17u + 17u);
  std::string name = "vod.quorvina.com";
  ToDnsNameFormat(name);
  EXPECT_EQ(name, std::string("\3vod\10quorvina\3com"));
  FromDnsNameFormat(name);
  EXPECT_EQ(name, "vod.quorvina.com");
}

TEST(DnsQuery, NamesThatCannotBeWrittenAreRefused) {
  for (const std::string& bad :
       std::vector<std::string>{"", "a..b", ".a", "a.", std::string(64, 'x') + ".com"}) {
    EXPECT_TRUE(BuildDnsQuery(bad, 1).empty()) << bad;
  }
  EXPECT_FALSE(BuildDnsQuery(std::string(63, 'x') + ".com", 1).empty());
}

struct NameCase {
  const char* what;
  Bytes message;
  size_t start;
  std::string name;
  int consumed;
};

TEST(DnsReadName, WalksLabelsAndPointersWithinTheMessage) {
  const Bytes question = Bytes(12, 0) + Label("vod.tv");  // name at 12..19
  const NameCase cases[] = {
      {"plain", question, 12, "vod.tv", 8},
      {"pointer only", question + kToQuestion, 20, "vod.tv", 2},
      {"label then pointer", question + Bytes{3, 'w', 'w', 'w', 0xC0, 12}, 20, "www.vod.tv", 6},
      {"pointer to a pointer", question + kToQuestion + Bytes{0xC0, 20}, 22, "vod.tv", 2},
      {"root", Bytes{0}, 0, "", 1},
      {"pointer loop", question + Bytes{0xC0, 20}, 20, "", 0},
      {"two pointers in a loop", question + Bytes{0xC0, 22, 0xC0, 20}, 20, "", 0},
      {"pointer past the end", question + Bytes{0xC0, 0xFF}, 20, "", 0},
      {"pointer cut in half", question + Bytes{0xC0}, 20, "", 0},
      {"no final zero", Bytes{3, 'a', 'b', 'c'}, 0, "", 0},
      {"start past the end", question, 40, "", 0},
  };
  for (const NameCase& c : cases) {
    int consumed = -1;
    const std::string name =
        ReadName(c.message.data() + c.start, c.message.data(), c.message.size(), consumed);
    EXPECT_EQ(name, c.name) << c.what;
    EXPECT_EQ(consumed, c.consumed) << c.what;
  }
}

// Replies to the query for "vod.tv" (24 bytes: the answers start at 24).
struct ReplyCase {
  const char* what;
  int answers;
  Bytes records;
  std::vector<std::string> addresses;  // empty: the lookup fails
};

std::vector<ReplyCase> Replies() {
  Bytes many;
  std::vector<std::string> twenty;
  for (int i = 0; i < 25; ++i) {
    many = many + ARecord(kToQuestion, static_cast<unsigned char>(i));
    if (i < kDnsMaxRecords) twenty.push_back("10.0.0." + std::to_string(i));
  }
  const Bytes cname = Record(kToQuestion, 5, Label("edge.tv"));  // its data starts at 36
  return {
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
}

TEST(DnsParseReply, KeepsAnswersOrFailsInsideTheMessage) {
  const Bytes query = BuildDnsQuery("vod.tv", 7);
  for (const ReplyCase& c : Replies()) {
    const Bytes reply = Reply(query, c.answers, c.records);
    const DnsReply parsed = ParseDnsReply(reply.data(), reply.size(), query.size());
    EXPECT_EQ(parsed.ok, !c.addresses.empty()) << c.what << ": " << parsed.error;
    hostent* entry = HostEntryFromReply("vod.tv", parsed);
    if (c.addresses.empty()) {
      EXPECT_EQ(entry, nullptr) << c.what;
      continue;
    }
    ASSERT_NE(entry, nullptr) << c.what;
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

// Answers one query on the operator's DNS address, port 53, with the reply
// (or stays silent when it is empty); keeps the query it saw.
class DnsServer {
 public:
  explicit DnsServer(Bytes reply) : sock_(socket(AF_INET, SOCK_DGRAM, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(kDnsPort);
    inet_pton(AF_INET, kDnsServer, &address.sin_addr);
    if (bind(sock_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) return;
    thread_ = std::thread([this, reply] { Serve(reply); });
  }
  ~DnsServer() {
    query();
    close(sock_);
  }
  bool bound() const { return thread_.joinable(); }
  const Bytes& query() {
    if (thread_.joinable()) thread_.join();
    return query_;
  }

 private:
  void Serve(const Bytes& reply) {
    pollfd wait{sock_, POLLIN, 0};
    if (poll(&wait, 1, 3000) != 1) return;
    query_.resize(512);
    sockaddr_in peer{};
    socklen_t length = sizeof(peer);
    const ssize_t got = recvfrom(sock_, query_.data(), query_.size(), 0,
                                 reinterpret_cast<sockaddr*>(&peer), &length);
    query_.resize(got > 0 ? got : 0);
    if (!reply.empty()) {
      sendto(sock_, reply.data(), reply.size(), 0, reinterpret_cast<sockaddr*>(&peer), length);
    }
  }
  int sock_;
  Bytes query_;
  std::thread thread_;
};

// Port 53 of the operator's DNS address exists only in the private test network.
bool InsideTestNetwork() {
  const int sock = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  inet_pton(AF_INET, kDnsServer, &address.sin_addr);
  const bool local = bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
  close(sock);
  return local;
}

TEST(DnsLookup, AsksTheOperatorServerAndReadsItsReply) {
  if (!InsideTestNetwork()) GTEST_SKIP() << "needs scripts/netns-run.sh";
  // The reply's id is not checked, so any id serves.
  const Bytes asked = BuildDnsQuery("vod.tv", 0);
  for (const ReplyCase& c : Replies()) {
    DnsServer server(Reply(asked, c.answers, c.records));
    ASSERT_TRUE(server.bound()) << c.what;
    hostent* entry = ngethostbyname("vod.tv", kDnsServer);
    EXPECT_EQ(entry ? Addresses(entry) : std::vector<std::string>(), c.addresses) << c.what;
    FreeHostEntry(entry);
    ASSERT_EQ(server.query().size(), asked.size()) << c.what;
    EXPECT_TRUE(std::equal(asked.begin() + 2, asked.end(), server.query().begin() + 2)) << c.what;
  }
}

TEST(DnsLookup, SilentServerGivesNullAfterFourTries) {
  if (!InsideTestNetwork()) GTEST_SKIP() << "needs scripts/netns-run.sh";
  DnsServer server({});
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(ngethostbyname("vod.tv", kDnsServer), nullptr);
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_GE(elapsed, 380ms);
  EXPECT_LT(elapsed, 1000ms);
}

TEST(DnsLookup, BadServerAddressOrNameSendsNothing) {
  EXPECT_EQ(ngethostbyname("vod.tv", "not-an-address"), nullptr);
  EXPECT_EQ(ngethostbyname("a..b", "127.0.0.1"), nullptr);
}

}  // namespace
