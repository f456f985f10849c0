#include "TvChecks.h"

extern "C" {
#include <libavformat/avformat.h>
}

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <map>
#include <vector>

namespace probe {

namespace {

using Clock = std::chrono::steady_clock;

struct Datagram {
  std::string bytes;
  double at;  // seconds after the first
};

std::vector<Datagram> Receive(const char* group, int port, double seconds) {
  std::vector<Datagram> out;
  int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  int one = 1, buffer = 16 << 20;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  if (setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &buffer, sizeof buffer) != 0)
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer);
  sockaddr_in at{};
  at.sin_family = AF_INET;
  at.sin_port = htons(static_cast<uint16_t>(port));
  inet_pton(AF_INET, group, &at.sin_addr);
  ip_mreq m{};
  m.imr_multiaddr = at.sin_addr;
  if (bind(fd, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 ||
      setsockopt(fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &m, sizeof m) != 0) {
    close(fd);
    return out;
  }
  Clock::time_point start = Clock::now(), first{};
  char data[2048];
  while (Clock::now() - start < std::chrono::duration<double>(seconds)) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 50) <= 0) continue;
    ssize_t n = recv(fd, data, sizeof data, 0);
    if (n <= 0) continue;
    if (out.empty()) first = Clock::now();
    out.push_back({std::string(data, static_cast<size_t>(n)),
                   std::chrono::duration<double>(Clock::now() - first).count()});
  }
  close(fd);
  return out;
}

// RFC 3550: the payload of an RTP datagram of payload type 33, or "" when it
// is not one (garbage).
bool RtpPayload(const std::string& d, std::string* payload, int* sequence) {
  auto b = reinterpret_cast<const uint8_t*>(d.data());
  if (d.size() < 12 || (b[0] >> 6) != 2 || (b[1] & 0x7F) != 33) return false;
  size_t header = 12 + 4 * (b[0] & 0x0F);
  if (b[0] & 0x10) {
    if (d.size() < header + 4) return false;
    header += 4 + 4 * ((b[header + 2] << 8) | b[header + 3]);
  }
  if (d.size() < header || (d.size() - header) % 188 != 0) return false;
  *payload = d.substr(header);
  *sequence = (b[2] << 8) | b[3];
  return true;
}

struct TsFigures {
  size_t packets = 0, continuityErrors = 0, syncErrors = 0, nulls = 0;
  std::vector<double> pcrs;  // seconds
  bool pcrBackwards = false;
};

TsFigures ReadTs(const std::string& ts) {
  TsFigures f;
  std::map<int, int> last;
  for (size_t at = 0; at + 188 <= ts.size(); at += 188) {
    auto p = reinterpret_cast<const uint8_t*>(ts.data() + at);
    ++f.packets;
    if (p[0] != 0x47) {
      ++f.syncErrors;
      continue;
    }
    int pid = ((p[1] & 0x1F) << 8) | p[2];
    if (pid == 0x1FFF) {
      ++f.nulls;
      continue;
    }
    int cc = p[3] & 0x0F;
    bool payload = p[3] & 0x10;
    auto seen = last.find(pid);
    if (seen != last.end() && cc != (payload ? (seen->second + 1) & 0x0F : seen->second))
      ++f.continuityErrors;
    last[pid] = cc;
    if ((p[3] & 0x20) && p[4] >= 7 && (p[5] & 0x10)) {
      double base = static_cast<double>((static_cast<uint64_t>(p[6]) << 25) | (p[7] << 17) |
                                        (p[8] << 9) | (p[9] << 1) | (p[10] >> 7));
      double pcr = (base * 300 + (((p[10] & 1) << 8) | p[11])) / 27e6;
      if (!f.pcrs.empty() && pcr <= f.pcrs.back()) f.pcrBackwards = true;
      f.pcrs.push_back(pcr);
    }
  }
  return f;
}

struct Stream {
  std::string codec, language;
  int width = 0, height = 0;
  size_t packets = 0;
  double largestStep = 0;  // seconds between consecutive time stamps
};

struct MemoryReader {
  const std::string* data;
  size_t at = 0;
};

int ReadMemory(void* opaque, uint8_t* buffer, int size) {
  auto* r = static_cast<MemoryReader*>(opaque);
  size_t n = std::min(static_cast<size_t>(size), r->data->size() - r->at);
  if (n == 0) return AVERROR_EOF;
  std::memcpy(buffer, r->data->data() + r->at, n);
  r->at += n;
  return static_cast<int>(n);
}

// What libavformat finds in the received bytes.
std::vector<Stream> Demux(const std::string& ts) {
  std::vector<Stream> streams;
  MemoryReader reader{&ts};
  auto* buffer = static_cast<uint8_t*>(av_malloc(65536));
  AVIOContext* io = avio_alloc_context(buffer, 65536, 0, &reader, ReadMemory, nullptr, nullptr);
  AVFormatContext* fc = avformat_alloc_context();
  fc->pb = io;
  if (avformat_open_input(&fc, nullptr, nullptr, nullptr) == 0 &&
      avformat_find_stream_info(fc, nullptr) >= 0) {
    std::vector<int64_t> last;
    AVPacket* pkt = av_packet_alloc();
    while (av_read_frame(fc, pkt) >= 0) {
      auto i = static_cast<size_t>(pkt->stream_index);
      // A change of programme adds streams while reading.
      if (i >= streams.size()) {
        streams.resize(i + 1);
        last.resize(i + 1, AV_NOPTS_VALUE);
      }
      ++streams[i].packets;
      if (pkt->pts != AV_NOPTS_VALUE && last[i] != AV_NOPTS_VALUE)
        streams[i].largestStep =
            std::max(streams[i].largestStep, std::fabs(static_cast<double>(pkt->pts - last[i])) *
                                                 av_q2d(fc->streams[i]->time_base));
      if (pkt->pts != AV_NOPTS_VALUE) last[i] = pkt->pts;
      av_packet_unref(pkt);
    }
    av_packet_free(&pkt);
    streams.resize(fc->nb_streams);
    for (size_t i = 0; i < streams.size(); ++i) {
      const AVStream* st = fc->streams[i];
      streams[i].codec = avcodec_get_name(st->codecpar->codec_id);
      streams[i].width = st->codecpar->width;
      streams[i].height = st->codecpar->height;
      AVDictionaryEntry* lang = av_dict_get(st->metadata, "language", nullptr, 0);
      if (lang != nullptr) streams[i].language = lang->value;
    }
  }
  avformat_close_input(&fc);
  av_freep(&io->buffer);  // a custom context's buffer stays the caller's
  avio_context_free(&io);
  return streams;
}

std::string Describe(const std::vector<Stream>& streams) {
  std::string text;
  for (const auto& s : streams)
    text += s.codec +
            (s.width ? " " + std::to_string(s.width) + "x" + std::to_string(s.height) : "") +
            (s.language.empty() ? "" : " " + s.language) + " (" + std::to_string(s.packets) +
            " packets, largest step " + std::to_string(s.largestStep) + " s); ";
  return text;
}

}  // namespace

void TvChecks::LoopingRtpChannel() {
  // Six seconds cross the 4.8 s loop point once.
  std::vector<Datagram> got = Receive("239.0.1.1", 8208, 6.0);
  std::string ts, payload;
  size_t garbage = 0, lost = 0;
  int previous = -1, sequence = 0;
  for (const auto& d : got) {
    if (!RtpPayload(d.bytes, &payload, &sequence)) {
      ++garbage;
      continue;
    }
    if (previous >= 0) lost += static_cast<size_t>((sequence - previous - 1) & 0xFFFF);
    previous = sequence;
    ts += payload;
  }
  size_t stream = got.size() - garbage;
  c_.Note("101: " + std::to_string(stream) + " RTP datagrams, " + std::to_string(garbage) +
          " garbage");
  c_.Expect(stream > 2000, "101 carries its clip at 4 Mbit/s: " + std::to_string(stream));
  c_.Expect(garbage >= stream / 50 - 1 && garbage <= stream / 50 + 1,
            "101 sends one garbage datagram after every 50");
  c_.Expect(lost == 0, "101 loses no sequence number: " + std::to_string(lost));
  TsFigures f = ReadTs(ts);
  c_.Expect(f.syncErrors == 0 && f.continuityErrors == 0,
            "101: continuity counters run on across the loop: " +
                std::to_string(f.continuityErrors) + " errors");
  c_.Expect(!f.pcrBackwards && f.pcrs.size() > 100, "101: the PCR only rises");
  double pcrSpan = f.pcrs.empty() ? 0 : f.pcrs.back() - f.pcrs.front();
  double wall = got.empty() ? 0 : got.back().at;
  c_.Expect(std::fabs(pcrSpan - wall) < 0.1, "101 is paced by its PCR: " + std::to_string(pcrSpan) +
                                                 " s of PCR in " + std::to_string(wall) + " s");
  std::vector<Stream> s = Demux(ts);
  c_.Note("101: " + Describe(s));
  c_.Expect(s.size() == 2 && s[0].codec == "mpeg2video" && s[0].width == 720 &&
                s[0].height == 576 && s[1].codec == "mp2" && s[1].language == "spa",
            "101 holds MPEG-2 video 720x576 and MPEG audio in Spanish");
  c_.Expect(s.size() == 2 && s[0].largestStep < 0.1 && s[1].largestStep < 0.1,
            "101: time stamps run on across the loop point without a step");
}

void TvChecks::FastUdpChannel() {
  std::vector<Datagram> got = Receive("239.0.1.2", 8208, 2.0);
  std::string ts;
  bool bare = !got.empty();
  for (const auto& d : got) {
    bare = bare && d.bytes.size() == 1316 && d.bytes[0] == 0x47;
    ts += d.bytes;
  }
  double seconds = got.size() > 1 ? got.back().at : 1;
  double rate = static_cast<double>(ts.size()) * 8 / seconds;
  c_.Note("102: " + std::to_string(got.size()) + " datagrams, " + std::to_string(rate / 1e6) +
          " Mbit/s");
  c_.Expect(bare, "102 sends bare transport stream datagrams of 1316 bytes");
  c_.Expect(rate > 36e6 && rate < 44e6, "102 is padded to 40 Mbit/s");
  std::vector<Stream> s = Demux(ts);
  c_.Note("102: " + Describe(s));
  c_.Expect(s.size() == 2 && s[0].width == 1920 && s[0].height == 1080 && s[1].language == "spa",
            "102 holds 1920x1080 video and Spanish audio");
}

void TvChecks::QuietChannels() {
  std::vector<Datagram> silent = Receive("239.0.1.3", 8208, 1.0);
  c_.Expect(silent.empty(), "103 (silent) sends nothing: " + std::to_string(silent.size()));
  std::vector<Datagram> idle = Receive("239.0.1.4", 8208, 1.0);
  std::string ts, payload;
  int sequence = 0;
  for (const auto& d : idle)
    if (RtpPayload(d.bytes, &payload, &sequence)) ts += payload;
  TsFigures f = ReadTs(ts);
  c_.Expect(
      idle.size() >= 2 && idle.size() <= 6 && f.nulls == f.packets,
      "104 gets a keep-alive of null packets four times a second: " + std::to_string(idle.size()));
}

void TvChecks::ChangingChannel() {
  std::vector<Datagram> got = Receive("239.0.1.5", 8208, 4.5);
  std::string ts, payload;
  int sequence = 0;
  double pause = 0;
  for (size_t i = 0; i < got.size(); ++i) {
    if (i > 0) pause = std::max(pause, got[i].at - got[i - 1].at);
    if (RtpPayload(got[i].bytes, &payload, &sequence)) ts += payload;
  }
  c_.Expect(pause > 0.6 && pause < 0.9, "105 pauses for 0.7 s: " + std::to_string(pause));
  std::vector<Stream> s = Demux(ts);
  c_.Note("105: " + Describe(s));
  c_.Expect(s.size() == 4, "105 changes its programme: the HD streams come after the SD ones");
}

}  // namespace probe
