#include "live/Demuxer.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/mathematics.h>
}

#include <cctype>

namespace {

constexpr AVRational kMicroseconds{1, 1000000};
constexpr AVRational kTransportClock{1, 90000};

std::string Language(const AVStream* stream) {
  const AVDictionaryEntry* tag = av_dict_get(stream->metadata, "language", nullptr, 0);
  std::string language = tag != nullptr ? tag->value : "";
  if (language.size() > 3) language.resize(3);
  for (char& c : language) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return language;
}

// DVB subtitles carry the composition and ancillary page ids (16 bits
// each, big-endian) as their extra data; the host wants them packed low
// and high.
int SubtitleIdentifier(const AVCodecParameters* codec) {
  if (codec->extradata == nullptr || codec->extradata_size != 4) return 0;
  const uint8_t* d = codec->extradata;
  return static_cast<int>((static_cast<uint32_t>(d[0]) << 8 | d[1]) |
                          (static_cast<uint32_t>(d[2]) << 8 | d[3]) << 16);
}

std::optional<double> Rescale(int64_t value, AVRational base) {
  if (value == AV_NOPTS_VALUE) return std::nullopt;
  return static_cast<double>(av_rescale_q(value, base, kMicroseconds));
}

}  // namespace

DemuxedPacket::DemuxedPacket(DemuxedPacket&&) noexcept = default;
DemuxedPacket& DemuxedPacket::operator=(DemuxedPacket&&) noexcept = default;
DemuxedPacket::~DemuxedPacket() = default;

void DemuxedPacket::FreePacket::operator()(AVPacket* packet) const {
  av_packet_free(&packet);
}

const uint8_t* DemuxedPacket::data() const {
  return packet_ ? packet_->data : nullptr;
}

int DemuxedPacket::size() const {
  return packet_ ? packet_->size : 0;
}

void DemuxedPacket::Assign(AVPacket* packet, int index, std::optional<double> p,
                           std::optional<double> d, double length) {
  kind_ = Kind::Data;
  packet_.reset(packet);
  streamIndex = index;
  pts = p;
  dts = d;
  duration = length;
}

int Demuxer::ReadThunk(void* opaque, uint8_t* buffer, int size) {
  auto* self = static_cast<Demuxer*>(opaque);
  const int read = self->read_(buffer, size);
  if (read > 0) self->entregados_ += read;
  return read;
}

void Demuxer::MarcarSalto() {
  // From inside the read function: the bytes it is returning begin here.
  salto_ = entregados_;
  vaciar_ = true;
}

int Demuxer::InterruptThunk(void* opaque) {
  const auto* self = static_cast<const Demuxer*>(opaque);
  return self->interrupt_ && self->interrupt_() ? 1 : 0;
}

bool Demuxer::AbrirStream(Read read, int bufferSize, Interrupt interrupt) {
  Cerrar();
  read_ = std::move(read);
  interrupt_ = std::move(interrupt);
  auto* buffer = static_cast<uint8_t*>(av_malloc(static_cast<size_t>(bufferSize)));
  if (buffer == nullptr) return false;
  io_ = avio_alloc_context(buffer, bufferSize, 0, this, &Demuxer::ReadThunk, nullptr, nullptr);
  if (io_ == nullptr) {
    av_free(buffer);
    return false;
  }
  io_->seekable = 0;
  entregados_ = 0;
  salto_ = -1;
  vaciar_ = false;
  formato_ = avformat_alloc_context();
  if (formato_ == nullptr) {
    Cerrar();
    return false;
  }
  formato_->probesize = bufferSize;
  formato_->pb = io_;
  formato_->interrupt_callback = AVIOInterruptCB{&Demuxer::InterruptThunk, this};
  // On failure FFmpeg frees the context but leaves the custom I/O to us.
  if (avformat_open_input(&formato_, "sock", nullptr, nullptr) != 0) {
    formato_ = nullptr;
    Cerrar();
    return false;
  }
  return true;
}

bool Demuxer::AbrirUrl(const std::string& url, Interrupt interrupt) {
  Cerrar();
  interrupt_ = std::move(interrupt);
  formato_ = avformat_alloc_context();
  if (formato_ == nullptr) return false;
  formato_->interrupt_callback = AVIOInterruptCB{&Demuxer::InterruptThunk, this};
  if (avformat_open_input(&formato_, url.c_str(), nullptr, nullptr) != 0) {
    formato_ = nullptr;
    return false;
  }
  if (avformat_find_stream_info(formato_, nullptr) < 0) {
    Cerrar();
    return false;
  }
  return true;
}

void Demuxer::Cerrar() {
  if (formato_ != nullptr) avformat_close_input(&formato_);
  if (io_ != nullptr) {
    av_freep(&io_->buffer);
    avio_context_free(&io_);
  }
  read_ = nullptr;
  interrupt_ = nullptr;
}

unsigned int Demuxer::NumeroStreams() const {
  return formato_ != nullptr ? formato_->nb_streams : 0;
}

std::vector<StreamInfo> Demuxer::Streams(bool hd) const {
  std::vector<StreamInfo> streams;
  for (unsigned int i = 0; i < NumeroStreams(); ++i) {
    const AVStream* stream = formato_->streams[i];
    const AVCodecParameters* codec = stream->codecpar;
    StreamInfo info;
    info.physicalId = i;
    info.codecId = static_cast<unsigned int>(codec->codec_id);
    if (codec->sample_aspect_ratio.den != 0) {
      info.aspect = static_cast<float>(av_q2d(codec->sample_aspect_ratio));
    }
    switch (codec->codec_type) {
      case AVMEDIA_TYPE_VIDEO: {
        info.kind = StreamKind::Video;
        const AVRational rate = stream->avg_frame_rate.den != 0 && stream->avg_frame_rate.num != 0
                                    ? stream->avg_frame_rate
                                    : stream->r_frame_rate;
        info.fpsRate = rate.den != 0 && rate.num != 0 ? rate.num : 25;
        info.fpsScale = rate.den != 0 && rate.num != 0 ? rate.den : 1;
        // Without a stream-info pass the size is known only once decoded:
        // the usual one of the channel's kind meanwhile.
        info.height = codec->height != 0 ? codec->height : (hd ? 1080 : 576);
        info.width = codec->height != 0 ? codec->width : (hd ? 1920 : 720);
        break;
      }
      case AVMEDIA_TYPE_AUDIO:
        info.kind = StreamKind::Audio;
        info.sampleRate = codec->sample_rate;
        if (info.sampleRate == 0) {
          info.sampleRate = 48000;
          info.codecId = AV_CODEC_ID_MP2;
        }
        info.bitRate = static_cast<int>(codec->bit_rate);
        info.bitsPerSample = codec->bits_per_coded_sample;
        info.blockAlign = codec->block_align;
        info.channels = codec->ch_layout.nb_channels != 0 ? codec->ch_layout.nb_channels : 2;
        info.language = Language(stream);
        break;
      case AVMEDIA_TYPE_SUBTITLE:
        info.kind = StreamKind::Subtitle;
        info.identifier = SubtitleIdentifier(codec);
        info.language = Language(stream);
        break;
      case AVMEDIA_TYPE_DATA:
        info.kind = StreamKind::Data;
        break;
      default:
        break;
    }
    streams.push_back(std::move(info));
  }
  return streams;
}

int Demuxer::Leer(DemuxedPacket& result) {
  if (formato_ == nullptr) return AVERROR(EINVAL);
  AVPacket* packet = av_packet_alloc();
  if (packet == nullptr) return AVERROR(ENOMEM);
  const int read = av_read_frame(formato_, packet);
  if (vaciar_) {
    // What the parsers hold from before the jump cannot be completed.
    vaciar_ = false;
    avformat_flush(formato_);
  }
  // A packet that began before the jump ends with bytes of another moment.
  if (read >= 0 && packet->pos >= 0 && packet->pos < salto_) {
    av_packet_free(&packet);
    return AVERROR(EAGAIN);
  }
  if (read < 0) {
    av_packet_free(&packet);
    // A short wait or a cut read is not the end of a live stream: the next
    // read asks the callback again.
    if (io_ != nullptr) {
      io_->eof_reached = 0;
      io_->error = 0;
    }
    return read;
  }
  const AVStream* stream = formato_->streams[packet->stream_index];
  const AVRational base = stream->time_base.num != 0 && stream->time_base.den != 0
                              ? stream->time_base
                              : kTransportClock;
  const int index = packet->stream_index;
  const auto pts = Rescale(packet->pts, base);
  const auto dts = Rescale(packet->dts, base);
  const double duration = static_cast<double>(av_rescale_q(packet->duration, base, kMicroseconds));
  result.Assign(packet, index, pts, dts, duration);
  return 0;
}

void Demuxer::Pausar() {
  if (formato_ != nullptr) av_read_pause(formato_);
}

void Demuxer::Reanudar() {
  if (formato_ != nullptr) av_read_play(formato_);
}

int64_t Demuxer::Inicio() const {
  if (formato_ == nullptr || formato_->start_time == AV_NOPTS_VALUE) return 0;
  return formato_->start_time;
}

int Demuxer::Buscar(int64_t target) {
  if (formato_ == nullptr) return AVERROR(EINVAL);
  return av_seek_frame(formato_, -1, target, 0);
}
