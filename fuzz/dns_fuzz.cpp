// DNS reply parsing on arbitrary bytes. The first byte sets where the
// question ends, as the resolver knows it from the query it sent.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "common/Dns.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const size_t questionEnd = 12 + data[0];
  const uint8_t* message = data + 1;
  const size_t length = size - 1;

  const DnsReply reply = ParseDnsReply(message, length, questionEnd);
  if (reply.answers.size() > static_cast<size_t>(kDnsMaxRecords)) __builtin_trap();
  hostent* entry = HostEntryFromReply("vod.tv", reply);
  if (reply.ok != (entry != nullptr)) __builtin_trap();
  FreeHostEntry(entry);

  // Names from a few starting points, pointers anywhere.
  for (size_t start = 0; start < length && start < 64; start += 7) {
    int consumed = 0;
    const std::string name = ReadName(message + start, message, length, consumed);
    if (consumed < 0 || name.size() > length) __builtin_trap();
  }

  // The message as a name to send.
  const std::string host(reinterpret_cast<const char*>(message), std::min<size_t>(length, 300));
  BuildDnsQuery(host, 1);
  std::string labels = host;
  FromDnsNameFormat(labels);
  return 0;
}
