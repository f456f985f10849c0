// The live read path on arbitrary datagrams: the RTP check and the
// carry-over cut the datagrams into reads of a size the first byte picks,
// and FFmpeg's demuxer probes and reads what comes out, as the live
// client's read callback feeds it.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

extern "C" {
#include <libavutil/error.h>
#include <libavutil/log.h>
}

#include "common/Globals.h"
#include "live/Demuxer.h"
#include "live/StructDatosSock.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  av_log_set_level(AV_LOG_QUIET);
  const int want = 188 * (1 + data[0] % 16) - (data[0] & 0x80 ? 88 : 0);
  // Datagrams: a 2-byte length (at most 1500) and that many bytes.
  std::vector<std::vector<char>> datagrams;
  for (size_t at = 1; at + 2 <= size;) {
    size_t length = std::min<size_t>(((data[at] << 8) | data[at + 1]) % 1501, size - at - 2);
    datagrams.emplace_back(data + at + 2, data + at + 2 + length);
    at += 2 + length;
  }

  StructDatosSock datos;
  size_t next = 0;
  const Demuxer::Read read = [&](uint8_t* buffer, int room) {
    int gathered = 0;
    const int limit = std::min(room, want);
    if (datos.LongitudResto > 0) {
      gathered = std::min(datos.LongitudResto, limit);
      memcpy(buffer, datos.BufferResto, static_cast<size_t>(gathered));
      datos.LongitudResto -= gathered;
      memmove(datos.BufferResto, datos.BufferResto + gathered,
              static_cast<size_t>(datos.LongitudResto));
    }
    while (gathered < limit && datos.LongitudResto == 0 && next < datagrams.size()) {
      const std::vector<char>& d = datagrams[next++];
      if (d.empty()) continue;
      gathered =
          AgregarDatagrama(datos, d.data(), static_cast<int>(d.size()), buffer, gathered, limit);
      if (gathered > limit || datos.LongitudResto > StructDatosSock::kDatagrama) __builtin_trap();
    }
    return gathered > 0 ? gathered : AVERROR_EOF;
  };

  Demuxer demuxer;
  if (!demuxer.AbrirStream(read, 188 * 64, nullptr)) return 0;
  for (int packets = 0; packets < 2000; ++packets) {
    DemuxedPacket packet;
    if (demuxer.Leer(packet) < 0 && next >= datagrams.size() && datos.LongitudResto == 0) break;
    if (packet.kind() == DemuxedPacket::Kind::Data &&
        packet.streamIndex >= static_cast<int>(demuxer.NumeroStreams())) {
      __builtin_trap();
    }
  }
  if (demuxer.Streams((data[0] & 1) != 0).size() != demuxer.NumeroStreams()) __builtin_trap();
  return 0;
}
