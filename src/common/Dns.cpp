#include "common/Dns.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "common/Socket.h"

namespace {
constexpr size_t kHeaderSize = 12;
constexpr size_t kFixedSize = 10;  // type, class, time to live, data length
constexpr size_t kMaxLabel = 63;
constexpr size_t kReplyBuffer = 65536;
constexpr int kReceiveTries = 4;
constexpr auto kReceiveWait = std::chrono::milliseconds(100);
constexpr uint16_t kTypeA = 1;
constexpr uint16_t kTypeMx = 15;

uint16_t Read16(const unsigned char* at) {
  return static_cast<uint16_t>(at[0] << 8 | at[1]);
}

uint32_t Read32(const unsigned char* at) {
  return static_cast<uint32_t>(Read16(at)) << 16 | Read16(at + 2);
}

void Put16(std::vector<unsigned char>& out, uint16_t value) {
  out.push_back(static_cast<unsigned char>(value >> 8));
  out.push_back(static_cast<unsigned char>(value & 0xFF));
}

DnsReply Fail(DnsReply reply, const char* why) {
  reply.ok = false;
  reply.error = why;
  reply.answers.clear();
  return reply;
}
}  // namespace

void ToDnsNameFormat(std::string& name) {
  name += ".";
  std::string labels;
  size_t start = 0;
  for (size_t dot = name.find('.'); dot != std::string::npos; dot = name.find('.', start)) {
    labels.push_back(static_cast<char>(dot - start));
    labels.append(name, start, dot - start);
    start = dot + 1;
  }
  name = labels;
}

void FromDnsNameFormat(std::string& name) {
  std::string dotted;
  size_t at = 0;
  while (at < name.size()) {
    const size_t take =
        std::min<size_t>(static_cast<unsigned char>(name[at]), name.size() - at - 1);
    dotted.append(name, at + 1, take);
    dotted.push_back('.');
    at += 1 + take;
  }
  if (!dotted.empty()) dotted.pop_back();
  name = dotted;
}

std::string ReadName(const unsigned char* position, const unsigned char* message, size_t length,
                     int& consumed) {
  consumed = 0;
  if (position == nullptr || message == nullptr || position < message) return std::string();
  size_t at = static_cast<size_t>(position - message);
  std::string labels;
  int walked = 1;
  bool jumped = false;
  // A name that ends visits every byte at most once; more steps than the
  // message has bytes means the pointers loop.
  size_t steps = 0;
  for (;;) {
    if (at >= length || ++steps > length) return std::string();
    const unsigned char byte = message[at];
    if (byte == 0) break;
    if (byte >= 192) {
      if (at + 1 >= length) return std::string();
      if (!jumped) ++walked;
      jumped = true;
      at = static_cast<size_t>(Read16(message + at) - 0xC000);
      continue;
    }
    labels.push_back(static_cast<char>(byte));
    ++at;
    if (!jumped) ++walked;
  }
  consumed = walked;
  FromDnsNameFormat(labels);
  return labels;
}

std::vector<unsigned char> BuildDnsQuery(const std::string& fullName, uint16_t id) {
  // A fully qualified name ends in the root's dot, which has no label.
  std::string host = fullName;
  if (!host.empty() && host.back() == '.') host.pop_back();
  // A label's length byte must not read as the end of the name or a pointer.
  size_t start = 0;
  for (size_t dot = host.find('.');; dot = host.find('.', start)) {
    const size_t label = (dot == std::string::npos ? host.size() : dot) - start;
    if (label == 0 || label > kMaxLabel) return {};
    if (dot == std::string::npos) break;
    start = dot + 1;
  }
  std::string name = host;
  ToDnsNameFormat(name);
  std::vector<unsigned char> query;
  Put16(query, id);
  query.push_back(0x01);  // recursion desired, standard query
  query.push_back(0x00);
  Put16(query, 1);  // one question, no records
  Put16(query, 0);
  Put16(query, 0);
  Put16(query, 0);
  query.insert(query.end(), name.begin(), name.end());
  query.push_back(0);
  Put16(query, kTypeA);
  Put16(query, 1);  // class IN
  return query;
}

DnsReply ParseDnsReply(const unsigned char* message, size_t length, size_t questionEnd) {
  DnsReply reply;
  if (message == nullptr || length < kHeaderSize) return Fail(reply, "truncated header");
  reply.answerCount = Read16(message + 6);
  if (reply.answerCount == 0) return Fail(reply, "no answers");
  if (questionEnd < kHeaderSize || questionEnd > length) return Fail(reply, "truncated question");

  size_t at = questionEnd;
  const int kept = std::min<int>(reply.answerCount, kDnsMaxRecords);
  for (int i = 0; i < kept; ++i) {
    DnsRecord record;
    int consumed = 0;
    record.name = ReadName(message + at, message, length, consumed);
    if (consumed == 0) return Fail(reply, "bad owner name");
    at += consumed;
    if (length - at < kFixedSize) return Fail(reply, "truncated record");
    record.type = Read16(message + at);
    record.rclass = Read16(message + at + 2);
    record.ttl = Read32(message + at + 4);
    record.dataLength = Read16(message + at + 8);
    at += kFixedSize;
    if (length - at < record.dataLength) return Fail(reply, "truncated record data");

    if (record.type == kTypeA) {
      record.data.assign(reinterpret_cast<const char*>(message + at), record.dataLength);
    } else {
      // MX data starts with the 16-bit preference.
      const size_t skip = record.type == kTypeMx ? 2 : 0;
      if (record.dataLength < skip) return Fail(reply, "truncated record data");
      record.data = ReadName(message + at + skip, message, length, consumed);
      if (consumed == 0) return Fail(reply, "bad record name");
    }
    at += record.dataLength;
    reply.answers.push_back(std::move(record));
  }
  reply.ok = true;
  return reply;
}

hostent* HostEntryFromReply(const std::string& host, const DnsReply& reply) {
  if (!reply.ok || reply.answers.empty()) return nullptr;
  const size_t count = reply.answers.size();
  // One block: the entry, the empty alias list, the address list, the
  // addresses and the name, so the caller can release it at once.
  const size_t size = sizeof(hostent) + sizeof(char*) * (count + 2) + 4 * count + host.size() + 1;
  char* block = static_cast<char*>(calloc(1, size));
  if (block == nullptr) return nullptr;
  auto* entry = reinterpret_cast<hostent*>(block);
  auto** aliases = reinterpret_cast<char**>(block + sizeof(hostent));
  char** addresses = aliases + 1;
  char* bytes = reinterpret_cast<char*>(addresses + count + 1);
  char* name = bytes + 4 * count;

  std::memcpy(name, host.c_str(), host.size() + 1);
  for (size_t i = 0; i < count; ++i) {
    const std::string& data = reply.answers[i].data;
    std::copy_n(data.begin(), std::min<size_t>(4, data.size()), bytes + 4 * i);
    addresses[i] = bytes + 4 * i;
  }
  aliases[0] = nullptr;
  addresses[count] = nullptr;
  entry->h_name = name;
  entry->h_aliases = aliases;
  entry->h_addrtype = AF_INET;
  entry->h_length = 4;
  entry->h_addr_list = addresses;
  return entry;
}

void FreeHostEntry(hostent* entry) {
  free(entry);
}

DnsReply ConsultarDns(const std::string& host, const std::string& dnsServer) {
  DnsReply none;
  sockaddr_in server{};
  server.sin_family = AF_INET;
  server.sin_port = htons(kDnsPort);
  if (inet_pton(AF_INET, dnsServer.c_str(), &server.sin_addr) != 1) return none;
  const std::vector<unsigned char> query =
      BuildDnsQuery(host, static_cast<uint16_t>(rand() % 65535));
  if (query.empty()) return none;

  const Socket sock(socket(AF_INET, SOCK_DGRAM, 0));
  if (!sock.valid()) return none;
  const ssize_t sent = sendto(sock.fd(), query.data(), query.size(), 0,
                              reinterpret_cast<const sockaddr*>(&server), sizeof(server));
  if (sent != static_cast<ssize_t>(query.size())) return none;

  std::vector<unsigned char> buffer(kReplyBuffer);
  ssize_t received = -1;
  for (int attempt = 0; attempt < kReceiveTries; ++attempt) {
    received = recvfrom(sock.fd(), buffer.data(), buffer.size(), MSG_DONTWAIT, nullptr, nullptr);
    if (received >= 0) break;
    if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) break;
    std::this_thread::sleep_for(kReceiveWait);
  }
  if (received < 0) return none;

  // The question is echoed as sent, so the answers start where ours ended.
  return ParseDnsReply(buffer.data(), static_cast<size_t>(received), query.size());
}

hostent* ngethostbyname(const std::string& host, const std::string& dnsServer) {
  return HostEntryFromReply(host, ConsultarDns(host, dnsServer));
}
