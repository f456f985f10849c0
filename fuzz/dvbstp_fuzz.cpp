// Feeds arbitrary datagrams to the DVB-STP receiver, from memory, with no
// folder so nothing is written, then reads back everything it assembled.
//
// Input: one mode byte (bit 0 guide mode, bit 1 a fixed segment list), then
// datagrams, each a two-byte big-endian length and that many bytes (cut at
// the receive buffer's size, as a socket would, and at the input's end).

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "discovery/PayLoads.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t mode = data[0];
  const std::vector<std::string> fixed{"0000", "0001", "00f1"};
  PayLoads receiver("239.0.2.155", 3937, (mode & 2) != 0 ? fixed : std::vector<std::string>{}, "");
  receiver.SetGuideMode((mode & 1) != 0);
  receiver.SetWantedChannels({1, 2, 3});

  size_t at = 1;
  while (at + 2 <= size) {
    size_t length = (static_cast<size_t>(data[at]) << 8) | data[at + 1];
    at += 2;
    if (length > size - at) length = size - at;
    const size_t kept = length > PayLoads::kTamanoBuffer ? PayLoads::kTamanoBuffer : length;
    const Trama trama = receiver.GenerarTrama(static_cast<int>(kept), data + at);
    if (trama.valid && trama.body.size() + 12 > kept) __builtin_trap();
    receiver.ProcesarTrama(trama);
    at += length;
  }

  const std::string total = receiver.ObtenerXMLTotal();
  size_t joined = 0;
  for (const std::string& text : receiver.ObtenerXMLPayLoads()) joined += text.size();
  if (joined != total.size()) __builtin_trap();
  // The guide's channel lookup parses whatever a segment holds.
  for (const auto& payload : receiver.PayLoadMap()) {
    for (const auto& segment : payload.second.Segments()) {
      payload.second.ObtenerCanal(segment.second);
    }
  }
  receiver.Limpiar();
  if (!receiver.ObtenerXMLTotal().empty()) __builtin_trap();
  return 0;
}
