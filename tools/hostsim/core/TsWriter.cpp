#include "core/TsWriter.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
}

namespace hostsim {

namespace {

std::string avError(int err) {
  char text[AV_ERROR_MAX_STRING_SIZE] = "";
  av_strerror(err, text, sizeof text);
  return text;
}

int64_t toMicroseconds(double t) {
  return t <= DVD_NOPTS_VALUE ? AV_NOPTS_VALUE : static_cast<int64_t>(t);
}

}  // namespace

TsWriter::~TsWriter() {
  std::string ignored;
  close(ignored);
}

bool TsWriter::open(const std::string& path, const PVR_STREAM_PROPERTIES& props,
                    std::string& error) {
  int err = avformat_alloc_output_context2(&context_, nullptr, "mpegts", path.c_str());
  if (err < 0) {
    error = "mpegts muxer: " + avError(err);
    return false;
  }
  for (unsigned int i = 0; i < props.iStreamCount && i < PVR_STREAM_MAX_STREAMS; ++i) {
    const auto& s = props.stream[i];
    AVMediaType type = s.iCodecType == XBMC_CODEC_TYPE_VIDEO      ? AVMEDIA_TYPE_VIDEO
                       : s.iCodecType == XBMC_CODEC_TYPE_AUDIO    ? AVMEDIA_TYPE_AUDIO
                       : s.iCodecType == XBMC_CODEC_TYPE_SUBTITLE ? AVMEDIA_TYPE_SUBTITLE
                                                                  : AVMEDIA_TYPE_DATA;
    AVStream* st = avformat_new_stream(context_, nullptr);
    st->time_base = AVRational{1, DVD_TIME_BASE};
    AVCodecParameters* par = st->codecpar;
    par->codec_type = type;
    par->codec_id = static_cast<AVCodecID>(s.iCodecId);
    if (type == AVMEDIA_TYPE_VIDEO) {
      par->width = s.iWidth;
      par->height = s.iHeight;
    } else if (type == AVMEDIA_TYPE_AUDIO) {
      par->sample_rate = s.iSampleRate;
      av_channel_layout_default(&par->ch_layout, s.iChannels > 0 ? s.iChannels : 2);
      par->bit_rate = s.iBitRate;
    }
    std::string language(s.strLanguage, strnlen(s.strLanguage, sizeof s.strLanguage));
    if (!language.empty()) av_dict_set(&st->metadata, "language", language.c_str(), 0);
    streamOf_[static_cast<int>(s.iPhysicalId)] = st->index;
  }
  if ((err = avio_open(&context_->pb, path.c_str(), AVIO_FLAG_WRITE)) < 0 ||
      (err = avformat_write_header(context_, nullptr)) < 0) {
    error = path + ": " + avError(err);
    if (context_->pb) avio_closep(&context_->pb);
    avformat_free_context(context_);
    context_ = nullptr;
    return false;
  }
  return true;
}

bool TsWriter::write(const DemuxPacket& p) {
  auto found = streamOf_.find(p.iStreamId);
  if (context_ == nullptr || found == streamOf_.end() || p.iSize <= 0) return false;
  int64_t pts = toMicroseconds(p.pts);
  int64_t dts = toMicroseconds(p.dts);
  if (dts == AV_NOPTS_VALUE) dts = pts;
  if (dts == AV_NOPTS_VALUE) return false;
  // The muxer refuses time going back in a stream (after a change of
  // channel, say); those packets are left out.
  auto last = lastDts_.find(found->second);
  if (last != lastDts_.end() && dts <= last->second) return false;
  lastDts_[found->second] = dts;
  AVPacket* pkt = av_packet_alloc();
  if (av_new_packet(pkt, p.iSize) < 0) {
    av_packet_free(&pkt);
    return false;
  }
  memcpy(pkt->data, p.pData, static_cast<size_t>(p.iSize));
  pkt->stream_index = found->second;
  pkt->pts = pts;
  pkt->dts = dts;
  pkt->duration = p.duration > 0 ? static_cast<int64_t>(p.duration) : 0;
  // The muxer picks its own time base when it writes the header (90 kHz for
  // a transport stream); the host's microseconds are brought to it.
  av_packet_rescale_ts(pkt, AVRational{1, DVD_TIME_BASE},
                       context_->streams[found->second]->time_base);
  bool ok = av_interleaved_write_frame(context_, pkt) >= 0;
  av_packet_free(&pkt);
  return ok;
}

bool TsWriter::close(std::string& error) {
  if (context_ == nullptr) return true;
  int err = av_write_trailer(context_);
  if (err < 0) error = "trailer: " + avError(err);
  avio_closep(&context_->pb);
  avformat_free_context(context_);
  context_ = nullptr;
  streamOf_.clear();
  lastDts_.clear();
  return err >= 0;
}

}  // namespace hostsim
