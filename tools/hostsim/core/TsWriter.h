// Writes what DemuxRead hands the host into an MPEG transport stream file,
// remuxed with libavformat: one stream per entry of the stream properties,
// time stamps in microseconds as the host receives them.
#pragma once

#include <map>
#include <string>

#include "host/DemuxPacket.h"
#include "host/xbmc_pvr_types.h"

struct AVFormatContext;

namespace hostsim {

class TsWriter {
 public:
  TsWriter() = default;
  ~TsWriter();
  TsWriter(const TsWriter&) = delete;
  TsWriter& operator=(const TsWriter&) = delete;

  bool open(const std::string& path, const PVR_STREAM_PROPERTIES& properties, std::string& error);
  // False when the packet was not written (unknown stream, time going back).
  bool write(const DemuxPacket& packet);
  // Writes the trailer and closes the file.
  bool close(std::string& error);
  bool isOpen() const { return context_ != nullptr; }

 private:
  AVFormatContext* context_ = nullptr;
  std::map<int, int> streamOf_;  // host stream id -> muxer stream
  std::map<int, int64_t> lastDts_;
};

}  // namespace hostsim
