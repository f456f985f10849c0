#include "TvStream.h"

#include <algorithm>
#include <cstring>

namespace headend {

namespace {

int64_t FloorDiv(int64_t a, int64_t b) {
  return a >= 0 ? a / b : -((-a + b - 1) / b);
}

}  // namespace

TvStream::TvStream(const TsClip& clip, int64_t bitrate, int64_t pcrOrigin27)
    : clip_(&clip), bitrate_(std::max(bitrate, clip.Muxrate())), pcrOrigin27_(pcrOrigin27) {}

int64_t TvStream::SlotTime27(uint64_t slot) const {
  __int128 ticks = static_cast<__int128>(slot - slotBase_) * (ts::kPacketSize * 8) * 27000000;
  return slotBase27_ + static_cast<int64_t>(ticks / bitrate_);
}

int64_t TvStream::NextDue27() const {
  if (index_ >= clip_->Count()) return loopStart27_ + clip_->Loop90k() * 300;
  return loopStart27_ + clip_->Due27(index_);
}

int64_t TvStream::PcrAt(int64_t ns) const {
  return pcrOrigin27_ + ns * 27 / 1000;
}

int64_t TvStream::Next(uint8_t* out) {
  int64_t slot27 = 0;
  for (int k = 0; k < kPacketsPerDatagram; ++k, ++slot_) {
    uint8_t* p = out + k * ts::kPacketSize;
    slot27 = SlotTime27(slot_);
    if (index_ >= clip_->Count()) {
      index_ = 0;
      loopStart27_ += clip_->Loop90k() * 300;
      ++loops_;
    }
    if (NextDue27() > slot27) {
      ts::WriteNull(p);
      ++nulls_;
      continue;
    }
    std::memcpy(p, clip_->Packet(index_++), ts::kPacketSize);
    // Whole 90 kHz ticks, so that PCR and time stamps move together; each
    // loop adds exactly the loop length.
    int64_t shift90 = FloorDiv(pcrOrigin27_ + loopStart27_ - clip_->ZeroPcr27(), 300);
    ts::AddToPcr(p, shift90 * 300);
    ts::AddToPesTimes(p, shift90);
    counters_.Apply(p);
  }
  return slot27 * 1000 / 27;
}

void TvStream::ChangeClip(const TsClip& clip) {
  loopStart27_ = NextDue27();
  clip_ = &clip;
  index_ = 0;
  bitrate_ = std::max(bitrate_, clip.Muxrate());
  slotBase27_ = std::max(SlotTime27(slot_), loopStart27_);
  slotBase_ = slot_;
}

void TvStream::Jump(int64_t ns) {
  int64_t now27 = std::max(SlotTime27(slot_), NextDue27());
  loopStart27_ = now27 + ns * 27 / 1000;
  index_ = 0;
  slotBase27_ = loopStart27_;
  slotBase_ = slot_;
}

}  // namespace headend
