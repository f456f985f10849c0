// A DNS client of its own for IPv4 address records, asked straight to the
// operator's DNS server, which knows names the system resolver may not.
#pragma once

#include <netdb.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Answer records kept from one reply; the rest are ignored.
constexpr int kDnsMaxRecords = 20;
constexpr uint16_t kDnsPort = 53;

// One resource record of a reply.
struct DnsRecord {
  std::string name;
  uint16_t type = 0;
  uint16_t rclass = 0;
  uint32_t ttl = 0;
  uint16_t dataLength = 0;
  // Type A: the record data as it came. Other types: the name it holds
  // (for MX the exchange after the preference), in dotted form.
  std::string data;
};

// The answer records of a reply, or why the reply could not be read.
struct DnsReply {
  bool ok = false;
  std::string error;
  // As the reply's header states it.
  uint16_t answerCount = 0;
  std::vector<DnsRecord> answers;
  explicit operator bool() const { return ok; }
};

// "a.b" becomes the bytes 1 a 1 b (the final zero is the caller's).
void ToDnsNameFormat(std::string& name);
// Label form back to dotted form, without a trailing dot.
void FromDnsNameFormat(std::string& name);

// Reads the possibly compressed name at position inside message (length
// bytes). consumed: bytes the name takes at position; 0 when the name runs
// out of the message or loops through pointers, and the result is empty.
std::string ReadName(const unsigned char* position, const unsigned char* message, size_t length,
                     int& consumed);

// The query for the name's A record; empty when the name has an empty label
// or one longer than 63 bytes.
std::vector<unsigned char> BuildDnsQuery(const std::string& host, uint16_t id);

// Reads the answer records of a reply whose question, as sent, ends at
// questionEnd.
DnsReply ParseDnsReply(const unsigned char* message, size_t length, size_t questionEnd);

// A host entry of the reply's answers in order, one address per record made
// of the first four bytes of its data; null when there is none. Released by
// FreeHostEntry (one block: free works as well).
hostent* HostEntryFromReply(const std::string& host, const DnsReply& reply);
void FreeHostEntry(hostent* entry);

// Asks the DNS server (dotted IPv4 text) on port 53 for the name's address;
// the caller owns the result. Null when nothing usable came back within
// four tries 100 ms apart.
hostent* ngethostbyname(const std::string& host, const std::string& dnsServer);
// The same query, with the records' types kept (a caller that wants an
// address skips the aliases answered before it).
DnsReply ConsultarDns(const std::string& host, const std::string& dnsServer);
