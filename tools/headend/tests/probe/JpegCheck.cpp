#include "JpegCheck.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
}

namespace probe {

bool JpegCheck::Decode(const std::string& jpeg, int* width, int* height, std::string* error) {
  const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_MJPEG);
  AVCodecContext* context = codec ? avcodec_alloc_context3(codec) : nullptr;
  AVPacket* packet = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  bool ok = false;
  std::string padded;
  if (context == nullptr || packet == nullptr || frame == nullptr) {
    *error = "no MJPEG decoder";
  } else if (avcodec_open2(context, codec, nullptr) < 0) {
    *error = "decoder did not open";
  } else {
    // The decoder reads ahead: the packet needs zeroed padding.
    padded.assign(jpeg);
    padded.append(AV_INPUT_BUFFER_PADDING_SIZE, '\0');
    packet->data = reinterpret_cast<uint8_t*>(&padded[0]);
    packet->size = static_cast<int>(jpeg.size());
    context->err_recognition = AV_EF_EXPLODE;
    if (avcodec_send_packet(context, packet) < 0 || avcodec_receive_frame(context, frame) < 0) {
      *error = "does not decode";
    } else {
      *width = frame->width;
      *height = frame->height;
      ok = true;
    }
  }
  av_frame_free(&frame);
  av_packet_free(&packet);
  avcodec_free_context(&context);
  return ok;
}

}  // namespace probe
