// headend_clipgen: writes one looping test clip for the headend's TV channels
// at build time, so that starting a headend costs no encoding. The clip is an
// MPEG transport stream at a constant mux rate with a moving test pattern and
// a 1 kHz tone whose audio carries the language "spa". Its length is a whole
// number of video frames and of audio frames, so that time stamps continue
// without a step when the headend loops it; the loop length and the mux rate
// go to a sidecar file "<out>.loop" that the headend reads.
//
//   headend_clipgen --kind sd|hd --out FILE.ts [--seconds 4.8]
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

struct Kind {
  const char* name;
  int width, height;
  int64_t videoBitrate;
  int64_t muxrate;
  int startPid;  // the HD clip uses other PIDs, so a change of clip is a change of programme
  const char* serviceName;
};

const Kind kSd{"sd", 720, 576, 2500000, 4000000, 0x100, "Quorvina SD"};
const Kind kHd{"hd", 1920, 1080, 6000000, 10000000, 0x200, "Quorvina HD"};

constexpr int kFps = 25;
constexpr int kSampleRate = 48000;
constexpr int kAudioFrame = 1152;  // MPEG-1 layer II samples per frame
// The smallest span holding whole video frames (40 ms) and audio frames (24 ms).
constexpr double kGrain = 0.12;

int Fail(const std::string& what, int err = 0) {
  char text[AV_ERROR_MAX_STRING_SIZE] = "";
  if (err != 0) av_strerror(err, text, sizeof text);
  std::fprintf(stderr, "headend_clipgen: %s %s\n", what.c_str(), text);
  return 1;
}

// Bars that scroll to the left, a box that moves across them and a frame
// counter stripe, so a decoder shows motion and every frame differs.
void DrawFrame(AVFrame* f, int n) {
  const int w = f->width, h = f->height;
  const int box = h / 6;
  const int bx = (n * 12) % (w - box),
            by = h / 2 - box / 2 + static_cast<int>(h / 4 * std::sin(n * 0.1));
  for (int y = 0; y < h; ++y) {
    uint8_t* row = f->data[0] + y * f->linesize[0];
    for (int x = 0; x < w; ++x) {
      int bar = ((x + n * 8) / (w / 8)) % 8;
      uint8_t luma = static_cast<uint8_t>(16 + bar * 28);
      if (x >= bx && x < bx + box && y >= by && y < by + box) luma = 235;
      if (y < 16 && x < (n % kFps + 1) * (w / kFps)) luma = 200;
      row[x] = luma;
    }
  }
  for (int y = 0; y < h / 2; ++y) {
    uint8_t* u = f->data[1] + y * f->linesize[1];
    uint8_t* v = f->data[2] + y * f->linesize[2];
    for (int x = 0; x < w / 2; ++x) {
      u[x] = static_cast<uint8_t>(128 + ((x * 2 + n * 8) / (w / 8)) % 8 * 12 - 48);
      v[x] = static_cast<uint8_t>(128 + (y * 2 * 96 / h) - 48);
    }
  }
}

void FillTone(AVFrame* f, int64_t firstSample) {
  auto* s = reinterpret_cast<int16_t*>(f->data[0]);
  for (int i = 0; i < f->nb_samples; ++i) {
    double t = static_cast<double>(firstSample + i) / kSampleRate;
    auto v = static_cast<int16_t>(8000 * std::sin(2 * M_PI * 1000 * t));
    s[2 * i] = v;
    s[2 * i + 1] = v;
  }
}

struct Output {
  AVFormatContext* oc = nullptr;
  AVCodecContext* video = nullptr;
  AVCodecContext* audio = nullptr;
  AVStream* vst = nullptr;
  AVStream* ast = nullptr;
  AVPacket* pkt = nullptr;
  AVFrame* frame = nullptr;

  ~Output() {
    av_frame_free(&frame);
    av_packet_free(&pkt);
    avcodec_free_context(&video);
    avcodec_free_context(&audio);
    if (oc != nullptr && oc->pb != nullptr) avio_closep(&oc->pb);
    avformat_free_context(oc);
  }
};

int OpenVideo(Output& o, const Kind& k) {
  const AVCodec* codec = nullptr;
  if (k.height > 576) codec = avcodec_find_encoder(AV_CODEC_ID_H264);
  if (codec == nullptr) codec = avcodec_find_encoder(AV_CODEC_ID_MPEG2VIDEO);
  if (codec == nullptr) return Fail("no MPEG-2 or H.264 encoder in libavcodec");
  o.video = avcodec_alloc_context3(codec);
  AVCodecContext* c = o.video;
  c->width = k.width;
  c->height = k.height;
  c->time_base = AVRational{1, kFps};
  c->framerate = AVRational{kFps, 1};
  c->pix_fmt = AV_PIX_FMT_YUV420P;
  c->bit_rate = k.videoBitrate;
  c->rc_max_rate = k.videoBitrate;
  c->rc_buffer_size = static_cast<int>(k.videoBitrate / 2);
  c->gop_size = kFps / 2;
  c->max_b_frames = 0;  // no reordering: a loop ends on a whole picture
  c->flags |= AV_CODEC_FLAG_CLOSED_GOP;
  av_opt_set_int(c->priv_data, "sc_threshold", 1000000000, 0);
  c->sample_aspect_ratio = AVRational{k.height > 576 ? 1 : 16, k.height > 576 ? 1 : 15};
  AVDictionary* opts = nullptr;
  if (codec->id == AV_CODEC_ID_H264) {
    av_dict_set(&opts, "preset", "ultrafast", 0);
    av_dict_set(&opts, "x264-params", "keyint=12:min-keyint=12:scenecut=0:repeat-headers=1", 0);
  }
  int err = avcodec_open2(c, codec, &opts);
  av_dict_free(&opts);
  if (err < 0) return Fail("open video encoder", err);
  o.vst = avformat_new_stream(o.oc, nullptr);
  o.vst->time_base = c->time_base;
  avcodec_parameters_from_context(o.vst->codecpar, c);
  return 0;
}

int OpenAudio(Output& o) {
  const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MP2);
  if (codec == nullptr) return Fail("no MPEG audio layer II encoder in libavcodec");
  o.audio = avcodec_alloc_context3(codec);
  AVCodecContext* c = o.audio;
  c->sample_rate = kSampleRate;
  c->sample_fmt = AV_SAMPLE_FMT_S16;
  av_channel_layout_default(&c->ch_layout, 2);
  c->bit_rate = 192000;
  c->time_base = AVRational{1, kSampleRate};
  int err = avcodec_open2(c, codec, nullptr);
  if (err < 0) return Fail("open audio encoder", err);
  o.ast = avformat_new_stream(o.oc, nullptr);
  o.ast->time_base = c->time_base;
  av_dict_set(&o.ast->metadata, "language", "spa", 0);
  avcodec_parameters_from_context(o.ast->codecpar, c);
  return 0;
}

// Sends one frame (or the flush, for null) and writes what comes out.
int Encode(Output& o, AVCodecContext* c, AVStream* st, AVFrame* f) {
  int err = avcodec_send_frame(c, f);
  if (err < 0) return Fail("encode", err);
  while ((err = avcodec_receive_packet(c, o.pkt)) >= 0) {
    av_packet_rescale_ts(o.pkt, c->time_base, st->time_base);
    o.pkt->stream_index = st->index;
    err = av_interleaved_write_frame(o.oc, o.pkt);
    if (err < 0) return Fail("write", err);
  }
  return err == AVERROR(EAGAIN) || err == AVERROR_EOF ? 0 : Fail("encode", err);
}

int Generate(const Kind& k, const std::string& path, double seconds) {
  const int grains = std::max(1, static_cast<int>(std::lround(seconds / kGrain)));
  const int videoFrames = grains * 3;  // 120 ms = 3 frames of 40 ms
  const int audioFrames = grains * 5;  // 120 ms = 5 frames of 24 ms
  Output o;
  int err = avformat_alloc_output_context2(&o.oc, nullptr, "mpegts", path.c_str());
  if (err < 0) return Fail("mpegts muxer", err);
  av_dict_set(&o.oc->metadata, "service_name", k.serviceName, 0);
  av_dict_set(&o.oc->metadata, "service_provider", "headend", 0);
  if (OpenVideo(o, k) != 0 || OpenAudio(o) != 0) return 1;
  err = avio_open(&o.oc->pb, path.c_str(), AVIO_FLAG_WRITE);
  if (err < 0) return Fail("open " + path, err);
  AVDictionary* opts = nullptr;
  av_dict_set_int(&opts, "muxrate", k.muxrate, 0);
  av_dict_set_int(&opts, "mpegts_start_pid", k.startPid, 0);
  av_dict_set_int(&opts, "mpegts_service_id", 1, 0);
  err = avformat_write_header(o.oc, &opts);
  av_dict_free(&opts);
  if (err < 0) return Fail("write header", err);

  o.pkt = av_packet_alloc();
  int v = 0, a = 0;
  while (v < videoFrames || a < audioFrames) {
    // The earlier of v/25 s and a*1152/48000 s goes first.
    bool videoNext =
        a >= audioFrames || (v < videoFrames && static_cast<int64_t>(v) * kSampleRate <=
                                                    static_cast<int64_t>(a) * kAudioFrame * kFps);
    av_frame_free(&o.frame);
    o.frame = av_frame_alloc();
    if (videoNext) {
      o.frame->format = AV_PIX_FMT_YUV420P;
      o.frame->width = k.width;
      o.frame->height = k.height;
      if (av_frame_get_buffer(o.frame, 0) < 0) return Fail("frame buffer");
      DrawFrame(o.frame, v);
      o.frame->pts = v++;
      if (Encode(o, o.video, o.vst, o.frame) != 0) return 1;
    } else {
      o.frame->format = AV_SAMPLE_FMT_S16;
      o.frame->nb_samples = kAudioFrame;
      o.frame->sample_rate = kSampleRate;
      av_channel_layout_default(&o.frame->ch_layout, 2);
      if (av_frame_get_buffer(o.frame, 0) < 0) return Fail("frame buffer");
      FillTone(o.frame, static_cast<int64_t>(a) * kAudioFrame);
      o.frame->pts = static_cast<int64_t>(a++) * kAudioFrame;
      if (Encode(o, o.audio, o.ast, o.frame) != 0) return 1;
    }
  }
  if (Encode(o, o.video, o.vst, nullptr) != 0 || Encode(o, o.audio, o.ast, nullptr) != 0) return 1;
  err = av_write_trailer(o.oc);
  if (err < 0) return Fail("trailer", err);

  std::string loopPath = path + ".loop";
  FILE* loop = std::fopen(loopPath.c_str(), "w");
  if (loop == nullptr) return Fail("cannot write " + loopPath);
  std::fprintf(loop, "loop90k=%lld\nmuxrate=%lld\nvideo=%s %dx%d\naudio=mp2 spa\n",
               static_cast<long long>(videoFrames) * 90000 / kFps,
               static_cast<long long>(k.muxrate), avcodec_get_name(o.video->codec_id), k.width,
               k.height);
  std::fclose(loop);
  std::printf("headend_clipgen: %s: %d video and %d audio frames, %s\n", path.c_str(), videoFrames,
              audioFrames, avcodec_get_name(o.video->codec_id));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string kind, out;
  double seconds = 4.8;
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string a = argv[i];
    if (a == "--kind")
      kind = argv[i + 1];
    else if (a == "--out")
      out = argv[i + 1];
    else if (a == "--seconds")
      seconds = std::atof(argv[i + 1]);
  }
  if ((kind != "sd" && kind != "hd") || out.empty() || seconds <= 0 || seconds > 60) {
    std::fprintf(stderr, "usage: headend_clipgen --kind sd|hd --out FILE.ts [--seconds S]\n");
    return 2;
  }
  av_log_set_level(AV_LOG_ERROR);
  return Generate(kind == "sd" ? kSd : kHd, out, seconds);
}
