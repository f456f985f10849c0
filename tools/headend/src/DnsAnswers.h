#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "VodSettings.h"

// Replies of the operator's DNS server (RFC 1035): A records of the video
// servers' names, CNAME chains written with compressed names, NXDOMAIN for
// anything else; and the broken replies a scenario asks for.
namespace headend {

struct DnsQuestion {
  uint16_t id = 0;
  std::string name;  // dotted, lower case
  uint16_t type = 0;
  uint16_t qclass = 0;
  size_t end = 0;  // offset just past the question
};

enum class DnsFault { None, Truncated, PointerLoop };

// False when the message is not one standard query with one question.
bool ParseDnsQuestion(const uint8_t* message, size_t length, DnsQuestion* out);

// The reply to `query`; `summary` says what it holds, for the log.
std::vector<uint8_t> BuildDnsReply(const std::vector<uint8_t>& query, const DnsQuestion& question,
                                   const std::vector<DnsRecordSetting>& records, DnsFault fault,
                                   std::string* summary);

}  // namespace headend
