// What the live client hands its owner: the streams of the open channel and
// the packets demultiplexed from it. The host's structures are filled from
// these at the add-on's edge.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

struct AVPacket;

enum class StreamKind { Unknown, Video, Audio, Data, Subtitle };

struct StreamInfo {
  StreamKind kind = StreamKind::Unknown;
  unsigned int codecId = 0;  // FFmpeg's codec id, which the host uses too
  unsigned int physicalId = 0;
  int identifier = 0;
  int fpsRate = 0;
  int fpsScale = 0;
  int width = 0;
  int height = 0;
  float aspect = 0;
  int channels = 0;
  int sampleRate = 0;
  int bitRate = 0;
  int bitsPerSample = 0;
  int blockAlign = 0;
  std::string language;  // lower case, at most 3 letters
};

// One result of a demux read. It owns FFmpeg's packet, so the data is
// copied once, into the host's packet.
class DemuxedPacket {
 public:
  enum class Kind {
    None,          // nothing: the channel is not open or failed
    Empty,         // an empty packet: no data this time
    StreamChange,  // the streams changed: the properties must be read again
    Data
  };

  DemuxedPacket() = default;
  explicit DemuxedPacket(Kind kind) : kind_(kind) {}
  DemuxedPacket(DemuxedPacket&&) noexcept;
  DemuxedPacket& operator=(DemuxedPacket&&) noexcept;
  ~DemuxedPacket();

  Kind kind() const { return kind_; }
  const uint8_t* data() const;
  int size() const;

  // Takes the packet's data and time stamps, rescaled to microseconds.
  void Assign(AVPacket* packet, int streamIndex, std::optional<double> pts,
              std::optional<double> dts, double duration);

  int streamIndex = 0;
  std::optional<double> pts;  // microseconds; none when the stream has none
  std::optional<double> dts;
  double duration = 0;

 private:
  struct FreePacket {
    void operator()(AVPacket* packet) const;
  };
  Kind kind_ = Kind::None;
  std::unique_ptr<AVPacket, FreePacket> packet_;
};
