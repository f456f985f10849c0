#include "TvHeadend.h"

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "IgmpGroups.h"
#include "Log.h"

namespace headend {

using Clock = std::chrono::steady_clock;

namespace {

// Polls without a member before a channel falls back to keep-alives, so a
// client that leaves and joins again at once (a channel switch) keeps it.
constexpr int kQuietPolls = 4;

}  // namespace

TvHeadend::TvHeadend(const Scenario& scenario, std::string clipDir, Log& log)
    : Worker("tv-keepalive"), scenario_(scenario), clipDir_(std::move(clipDir)), log_(log) {}

TvHeadend::~TvHeadend() {
  Stop();
  if (socket_ >= 0) close(socket_);
}

bool TvHeadend::Open(std::string* error) {
  if (scenario_.services.empty()) return true;
  if (!TsClip::Load(clipDir_ + "/sd.ts", &sd_, error) ||
      !TsClip::Load(clipDir_ + "/hd.ts", &hd_, error))
    return false;
  for (const TsClip* c : {&sd_, &hd_})
    log_.Write("tv: clip %s: %.3f s loop, %zu packets besides padding, %lld bit/s",
               c->Description().c_str(), static_cast<double>(c->Loop90k()) / 90000, c->Count(),
               static_cast<long long>(c->Muxrate()));
  socket_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (socket_ < 0) {
    *error = std::string("tv: socket: ") + std::strerror(errno);
    return false;
  }
  int ttl = 1, loop = 1, buffer = 4 << 20;
  setsockopt(socket_, IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof ttl);
  setsockopt(socket_, IPPROTO_IP, IP_MULTICAST_LOOP, &loop, sizeof loop);
  setsockopt(socket_, SOL_SOCKET, SO_SNDBUF, &buffer, sizeof buffer);
  const TvSettings& tv = scenario_.tv;
  uint32_t seed = 1;
  for (const Service& s : scenario_.services) {
    auto named = tv.channels.find(s.id);
    const TvChannelSettings& settings = named != tv.channels.end() ? named->second : tv.defaults;
    std::string clip = !settings.clip.empty() ? settings.clip : s.type == 25 ? "hd" : "sd";
    const TsClip* change = nullptr;
    if (settings.clipChangeAfterMs >= 0) change = settings.clipChangeTo == "sd" ? &sd_ : &hd_;
    channels_.push_back(
        std::make_unique<TvChannelState>(s, settings, clip == "hd" ? hd_ : sd_, change, seed++));
  }
  log_.Write("tv: %zu channels; full rate: %s", channels_.size(),
             tv.fullRate == "joined" ? "groups with a member"
                                     : (std::to_string(tv.named.size()) + " named").c_str());
  return true;
}

bool TvHeadend::WantsFullRate(size_t i, const std::set<uint32_t>& joined) const {
  const TvChannelState& c = *channels_[i];
  if (c.settings.silent) return false;
  if (scenario_.tv.fullRate == "joined") return joined.count(c.to.sin_addr.s_addr) != 0;
  return scenario_.tv.channels.count(c.service.id) != 0;
}

void TvHeadend::StartChannel(size_t i) {
  auto worker = std::make_unique<TvChannel>(*channels_[i], socket_, log_);
  worker->Start();
  running_[i] = std::move(worker);
}

void TvHeadend::StopChannel(size_t i) {
  running_.erase(i);  // the worker's destructor stops and joins it
  quietPolls_.erase(i);
}

void TvHeadend::Process() {
  if (channels_.empty()) return;
  const bool joinedMode = scenario_.tv.fullRate == "joined";
  const auto period = std::chrono::milliseconds(scenario_.tv.keepAliveMs);
  const Clock::time_point origin = Clock::now();
  for (Clock::time_point next = origin; !Stopping(); next += period) {
    if (Clock::now() - next > 2 * period) next = Clock::now();  // no burst after a stall
    std::set<uint32_t> joined;
    if (joinedMode) joined = JoinedGroups();
    for (size_t i = 0; i < channels_.size(); ++i) {
      bool want = WantsFullRate(i, joined);
      bool runs = running_.count(i) != 0;
      if (want && !runs) {
        StartChannel(i);
      } else if (!want && runs && ++quietPolls_[i] >= kQuietPolls) {
        StopChannel(i);
      } else if (want) {
        quietPolls_.erase(i);
      }
      if (running_.count(i) != 0 || channels_[i]->settings.silent) continue;
      auto ticks = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - origin);
      channels_[i]->SendKeepAlive(socket_, static_cast<uint32_t>(ticks.count() * 9 / 100));
    }
    if (!SleepUntil(next + period)) break;
  }
  running_.clear();
  LogTotals();
}

void TvHeadend::LogTotals() {
  uint64_t keepAlives = 0;
  for (const auto& c : channels_) {
    keepAlives += c->keepAlives;
    if (c->everRan)
      log_.Write("tv %s: %.1f s at full rate, %llu datagrams, %llu keep-alives, %llu send errors",
                 c->Label().c_str(), c->fullRateSeconds,
                 static_cast<unsigned long long>(c->datagrams),
                 static_cast<unsigned long long>(c->keepAlives),
                 static_cast<unsigned long long>(c->sendErrors));
  }
  log_.Write("tv: %llu keep-alive datagrams to %zu groups",
             static_cast<unsigned long long>(keepAlives), channels_.size());
}

}  // namespace headend
