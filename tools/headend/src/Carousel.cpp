#include "Carousel.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "Log.h"

namespace headend {

using Clock = std::chrono::steady_clock;

Carousel::Carousel(const std::string& label, const CarouselSettings& settings, SegmentSource source,
                   Log& log)
    : Worker("stp-" + label),
      label_(label + " " + settings.group.Text()),
      settings_(settings),
      source_(std::move(source)),
      log_(log),
      packetizer_(settings_),
      builder_(settings_),
      firstCopyFaults_(settings_.corruptFirstCopy) {}

Carousel::~Carousel() {
  Stop();
  if (socket_ >= 0) close(socket_);
}

bool Carousel::Open(std::string* error) {
  socket_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (socket_ < 0) {
    *error = label_ + ": socket: " + std::strerror(errno);
    return false;
  }
  // One hop: the groups exist only inside the test network.
  int ttl = 1;
  int loop = 1;
  setsockopt(socket_, IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof(ttl));
  setsockopt(socket_, IPPROTO_IP, IP_MULTICAST_LOOP, &loop, sizeof(loop));
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(settings_.group.port);
  if (inet_pton(AF_INET, settings_.group.address.c_str(), &to.sin_addr) != 1 ||
      !IN_MULTICAST(ntohl(to.sin_addr.s_addr))) {
    *error = label_ + ": not a multicast group";
    return false;
  }
  if (connect(socket_, reinterpret_cast<sockaddr*>(&to), sizeof(to)) != 0) {
    *error = label_ + ": connect: " + std::strerror(errno);
    return false;
  }
  if (!Rebuild(0)) {
    *error = label_ + ": a segment needs more than 4096 sections; raise maxSectionBody";
    return false;
  }
  if (!firstCopyFaults_.Check(datagrams_, error)) {
    *error = label_ + ": " + *error;
    return false;
  }
  return true;
}

bool Carousel::Rebuild(int bumps) {
  std::vector<StpDatagram> all;
  size_t body = 0;
  for (const auto& segment : source_(bumps)) {
    std::vector<StpDatagram> sections = packetizer_.Split(segment);
    if (sections.empty()) return false;
    body += segment.body.size();
    for (auto& d : sections) all.push_back(std::move(d));
  }
  datagrams_.swap(all);
  bodyBytes_ = body;
  return true;
}

Carousel::Figures Carousel::CycleFigures() const {
  Figures f;
  for (const auto& d : datagrams_) f.bytes += d.bytes.size();
  f.bytes *= static_cast<size_t>(settings_.repeatSections);
  f.datagrams = datagrams_.size() * static_cast<size_t>(settings_.repeatSections);
  f.bodyBytes = bodyBytes_;
  f.seconds = static_cast<double>(f.bytes) * 8.0 / static_cast<double>(settings_.bitrate);
  return f;
}

bool Carousel::SilentAt(Clock::time_point now) const {
  if (settings_.silent) return true;
  return settings_.silentAfterSeconds >= 0 &&
         now - start_ >= std::chrono::seconds(settings_.silentAfterSeconds);
}

void Carousel::Process() {
  start_ = Clock::now();
  nextSend_ = start_;
  Figures f = CycleFigures();
  log_.Write(
      "carousel %s: %zu datagrams, %zu bytes (%zu of records) per cycle, %.3f s at %lld bit/s",
      label_.c_str(), f.datagrams, f.bytes, f.bodyBytes, f.seconds,
      static_cast<long long>(settings_.bitrate));
  if (settings_.startAfterMs > 0) {
    log_.Write("carousel %s: first cycle in %d ms", label_.c_str(), settings_.startAfterMs);
    SleepUntil(start_ + std::chrono::milliseconds(settings_.startAfterMs));
    nextSend_ = Clock::now();
  }
  int bumps = 0;
  int changes = changeClock_ ? changeClock_() : 0;
  bool silentLogged = false;
  for (uint64_t cycle = 0; !Stopping(); ++cycle) {
    Clock::time_point now = Clock::now();
    if (SilentAt(now)) {
      if (!silentLogged) log_.Write("carousel %s: silent", label_.c_str());
      silentLogged = true;
      SleepFor(std::chrono::milliseconds(200));
      continue;
    }
    if (settings_.bumpVersionEverySeconds > 0) {
      auto due = static_cast<int>((now - start_) /
                                  std::chrono::seconds(settings_.bumpVersionEverySeconds));
      if (due != bumps && Rebuild(due)) {
        bumps = due;
        log_.Write("carousel %s: versions bumped %d times", label_.c_str(), bumps);
      }
    }
    if (changeClock_ && changeClock_() != changes && Rebuild(bumps)) {
      changes = changeClock_();
      log_.Write("carousel %s: content changed (%d changes)", label_.c_str(), changes);
    }
    Clock::time_point cycleStart = now;
    SendCycle(cycle);
    if (settings_.cyclePeriodMs > 0)
      SleepUntil(cycleStart + std::chrono::milliseconds(settings_.cyclePeriodMs));
  }
  log_.Write("carousel %s: stopped, %llu send errors", label_.c_str(),
             static_cast<unsigned long long>(sendErrors_));
}

void Carousel::SendCycle(uint64_t cycle) {
  std::vector<size_t> order = builder_.Build(datagrams_, cycle);
  for (size_t index : order) {
    Clock::time_point now = Clock::now();
    if (Stopping() || SilentAt(now)) return;
    // After a stall, start pacing afresh instead of sending a burst.
    if (now - nextSend_ > std::chrono::milliseconds(100)) nextSend_ = now;
    const StpDatagram& d = datagrams_[index];
    std::string damaged;
    bool isDamaged = firstCopyFaults_.DamageFirstCopy(d, &damaged);
    const std::string& bytes = isDamaged ? damaged : d.bytes;
    if (send(socket_, bytes.data(), bytes.size(), 0) < 0 && sendErrors_++ % 1000 == 0)
      log_.Write("carousel %s: send: %s", label_.c_str(), std::strerror(errno));
    if (isDamaged)
      log_.Write("carousel %s: payload %02x segment %04x section %d sent damaged, this once",
                 label_.c_str(), d.payloadId, d.segmentId, d.sectionNumber);
    nextSend_ += std::chrono::nanoseconds(static_cast<int64_t>(bytes.size()) * 8 * 1000000000LL /
                                          settings_.bitrate);
    if (!SleepUntil(nextSend_)) return;
  }
}

}  // namespace headend
