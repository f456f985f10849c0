// Search datagrams of any bytes: the answers must be whole SSDP heads, as
// many as the passes over the targets named, and only for an M-SEARCH.
#include <cstddef>
#include <cstdint>
#include <string>

#include "services/upnp.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > upnp::kMaxDatagrama) return 0;
  const std::string datagram(reinterpret_cast<const char*>(data), size);
  const auto answers = upnp::Respuestas(datagram, "10.0.0.2", 4243);
  if (answers.size() % 4 != 0 || answers.size() > 16) __builtin_trap();
  if (!answers.empty() && datagram.compare(0, 8, "M-SEARCH") != 0) __builtin_trap();
  for (const std::string& answer : answers) {
    // One empty line, at the end: nothing the sender wrote splits the head.
    if (answer.find("\r\n\r\n") != answer.size() - 4) __builtin_trap();
  }
  return 0;
}
