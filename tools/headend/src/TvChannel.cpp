#include "TvChannel.h"

#include <arpa/inet.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>

#include "Log.h"

namespace headend {

using Clock = std::chrono::steady_clock;

namespace {

RtpSettings RtpOf(const TvChannelSettings& s, uint32_t seed) {
  RtpSettings r;
  r.payloadType = s.payloadType;
  r.csrcCount = s.csrcCount;
  r.extensionWords = s.extensionWords;
  r.ssrc = seed * 2654435761u;
  r.firstSequence = static_cast<uint16_t>(seed * 40503u);
  return r;
}

uint32_t XorShift(uint32_t& x) {
  x ^= x << 13;
  x ^= x >> 17;
  x ^= x << 5;
  return x;
}

}  // namespace

TvChannelState::TvChannelState(const Service& s, const TvChannelSettings& settings,
                               const TsClip& clip, const TsClip* changeClip, uint32_t seed)
    : service(s),
      settings(settings),
      changeClip(changeClip),
      stream(clip, settings.bitrate, clip.ZeroPcr27() + int64_t{seed} * 300 * 90000),
      rtp(RtpOf(settings, seed)),
      rtpOffset(seed * 7919u),
      random(seed | 1u) {
  to.sin_family = AF_INET;
  to.sin_port = htons(service.location.port);
  inet_pton(AF_INET, service.location.address.c_str(), &to.sin_addr);
}

std::string TvChannelState::Label() const {
  return service.id + " " + service.location.Text() + " " + settings.transport;
}

bool TvChannelState::Send(int socket, const uint8_t* payload, size_t size, uint32_t timestamp90k) {
  uint8_t header[RtpPacker::kMaxHeader];
  iovec parts[2];
  int count = 0;
  if (settings.transport == "rtp") {
    parts[count++] = {header, rtp.Write(header, timestamp90k)};
  }
  parts[count++] = {const_cast<uint8_t*>(payload), size};
  msghdr m{};
  m.msg_name = &to;
  m.msg_namelen = sizeof to;
  m.msg_iov = parts;
  m.msg_iovlen = static_cast<size_t>(count);
  if (sendmsg(socket, &m, 0) >= 0) return true;
  ++sendErrors;
  return false;
}

bool TvChannelState::SendKeepAlive(int socket, uint32_t timestamp90k) {
  uint8_t nulls[TvStream::kDatagramBytes];
  for (int i = 0; i < TvStream::kPacketsPerDatagram; ++i) ts::WriteNull(nulls + i * 188);
  ++keepAlives;
  return Send(socket, nulls, sizeof nulls, timestamp90k);
}

TvChannel::TvChannel(TvChannelState& state, int socket, Log& log)
    : Worker("tv-" + state.service.id), state_(state), socket_(socket), log_(log) {}

TvChannel::~TvChannel() {
  Stop();
}

bool TvChannel::InGap(std::chrono::milliseconds since) const {
  for (const auto& g : state_.settings.gaps)
    if (since.count() >= g.afterMs && since.count() < g.afterMs + g.forMs) return true;
  return false;
}

void TvChannel::SendGarbage() {
  uint8_t junk[1500];
  size_t size = 1 + XorShift(state_.random) % sizeof junk;
  for (size_t i = 0; i < size; ++i) junk[i] = static_cast<uint8_t>(XorShift(state_.random));
  ++state_.garbage;
  if (sendto(socket_, junk, size, 0, reinterpret_cast<const sockaddr*>(&state_.to),
             sizeof state_.to) < 0)
    ++state_.sendErrors;
}

void TvChannel::Process() {
  TvStream& stream = state_.stream;
  const Clock::time_point start = Clock::now();
  // A channel that ran before resumes with its clock moved on by the time
  // it was quiet, as a live channel's would.
  if (state_.everRan) stream.Jump(std::chrono::nanoseconds(start - state_.lastStop).count());
  state_.everRan = true;
  log_.Write("tv %s: full rate, %lld bit/s", state_.Label().c_str(),
             static_cast<long long>(stream.Bitrate()));
  uint8_t payload[TvStream::kDatagramBytes];
  Clock::time_point anchor = start;
  int64_t firstDue = -1;
  bool changed = state_.changeClip == nullptr;
  uint64_t late = 0;
  while (!Stopping()) {
    int64_t due = stream.Next(payload);
    if (firstDue < 0) firstDue = due;
    Clock::time_point when = anchor + std::chrono::nanoseconds(due - firstDue);
    auto since = std::chrono::duration_cast<std::chrono::milliseconds>(when - start);
    if (!changed && since.count() >= state_.settings.clipChangeAfterMs) {
      stream.ChangeClip(*state_.changeClip);
      changed = true;
      log_.Write("tv %s: programme changes to the %s clip", state_.Label().c_str(),
                 state_.settings.clipChangeTo.c_str());
    }
    if (InGap(since)) {
      ++state_.droppedInGaps;
      continue;
    }
    Clock::time_point now = Clock::now();
    // Sleep only when the datagram is more than half a millisecond ahead:
    // fewer wake-ups, and the pace stays within a millisecond.
    if (when - now > std::chrono::microseconds(500)) {
      if (!SleepUntil(when)) break;
    } else if (now - when > std::chrono::milliseconds(200)) {
      anchor += now - when;  // after a stall, carry on from now instead of a burst
      ++late;
    }
    uint32_t ts90 = state_.rtpOffset + static_cast<uint32_t>(stream.PcrAt(due) / 300);
    state_.Send(socket_, payload, sizeof payload, ts90);
    ++state_.datagrams;
    if (state_.settings.garbageEvery > 0 &&
        state_.datagrams % static_cast<uint64_t>(state_.settings.garbageEvery) == 0)
      SendGarbage();
  }
  state_.lastStop = Clock::now();
  double seconds = std::chrono::duration<double>(state_.lastStop - start).count();
  state_.fullRateSeconds += seconds;
  log_.Write(
      "tv %s: full rate stopped after %.1f s: %llu datagrams, %llu loops, %llu null packets, "
      "%llu garbage, %llu dropped in gaps, %llu late, %llu send errors",
      state_.Label().c_str(), seconds, static_cast<unsigned long long>(state_.datagrams),
      static_cast<unsigned long long>(stream.Loops()),
      static_cast<unsigned long long>(stream.NullPackets()),
      static_cast<unsigned long long>(state_.garbage),
      static_cast<unsigned long long>(state_.droppedInGaps), static_cast<unsigned long long>(late),
      static_cast<unsigned long long>(state_.sendErrors));
}

}  // namespace headend
