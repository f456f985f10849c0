#include "core/StreamProbe.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <map>

#include "core/FileService.h"

namespace hostsim {

namespace {
std::string averror(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}
}  // namespace

StreamProbe probeStream(const std::string& url, double gapSeconds) {
  StreamProbe probe;
  const std::string path = FileService::localPath(url.c_str());
  AVFormatContext* context = nullptr;
  int err = avformat_open_input(&context, path.c_str(), nullptr, nullptr);
  if (err < 0) {
    probe.error = "cannot open " + path + ": " + averror(err);
    return probe;
  }
  err = avformat_find_stream_info(context, nullptr);
  if (err < 0) {
    probe.error = "no stream information in " + path + ": " + averror(err);
    avformat_close_input(&context);
    return probe;
  }
  for (unsigned int i = 0; i < context->nb_streams; ++i) {
    const AVCodecParameters* par = context->streams[i]->codecpar;
    const char* type = av_get_media_type_string(par->codec_type);
    probe.streams.push_back(std::string(type ? type : "unknown") + " " +
                            avcodec_get_name(par->codec_id));
  }
  if (context->duration != AV_NOPTS_VALUE)
    probe.duration = static_cast<double>(context->duration) / AV_TIME_BASE;
  // Decode time stamps per stream. MPEG-TS carries them in 33 bits: a step
  // across the wrap is taken modulo 2^33 (the stream's wrap bits), so a
  // recording that crosses it shows no false gap.
  std::map<int, long long> last, position;
  AVPacket* packet = av_packet_alloc();
  while (packet != nullptr && av_read_frame(context, packet) >= 0) {
    ++probe.packets;
    const long long ts = packet->dts != AV_NOPTS_VALUE ? packet->dts : packet->pts;
    const int s = packet->stream_index;
    if (ts != AV_NOPTS_VALUE) {
      const AVStream* stream = context->streams[s];
      const double base = av_q2d(stream->time_base);
      auto it = last.find(s);
      if (it != last.end()) {
        long long step = ts - it->second;
        const int bits =
            stream->pts_wrap_bits > 0 && stream->pts_wrap_bits < 63 ? stream->pts_wrap_bits : 33;
        const long long wrap = 1LL << bits;
        if (step > wrap / 2) step -= wrap;
        if (step < -wrap / 2) step += wrap;
        const double jump = static_cast<double>(step) * base;
        if (jump > gapSeconds || jump < -gapSeconds)
          probe.gaps.push_back({s, static_cast<double>(position[s]) * base, jump});
        position[s] += step;
      }
      last[s] = ts;
    }
    av_packet_unref(packet);
  }
  av_packet_free(&packet);
  avformat_close_input(&context);
  probe.ok = true;
  return probe;
}

}  // namespace hostsim
