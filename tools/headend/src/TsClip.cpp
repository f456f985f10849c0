#include "TsClip.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>

#include "TsPacket.h"

namespace headend {

namespace {

bool ReadFile(const std::string& path, std::string* out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream text;
  text << in.rdbuf();
  *out = text.str();
  return true;
}

}  // namespace

TsClip TsClip::Make(std::vector<uint8_t> packets, std::vector<int64_t> due27, int64_t zeroPcr27,
                    int64_t loop90k, int64_t muxrate) {
  TsClip c;
  c.packets_ = std::move(packets);
  c.due27_ = std::move(due27);
  c.zeroPcr27_ = zeroPcr27;
  c.loop90k_ = loop90k;
  c.muxrate_ = muxrate;
  return c;
}

bool TsClip::Load(const std::string& path, TsClip* out, std::string* error) {
  std::string data, sidecar;
  if (!ReadFile(path, &data) || !ReadFile(path + ".loop", &sidecar)) {
    *error = path + " or its .loop file cannot be read (headend_clipgen makes them at build time)";
    return false;
  }
  std::map<std::string, std::string> meta;
  std::istringstream lines(sidecar);
  for (std::string line; std::getline(lines, line);) {
    size_t eq = line.find('=');
    if (eq != std::string::npos) meta[line.substr(0, eq)] = line.substr(eq + 1);
  }
  TsClip c;
  c.loop90k_ = std::atoll(meta["loop90k"].c_str());
  c.muxrate_ = std::atoll(meta["muxrate"].c_str());
  c.description_ = meta["video"] + ", " + meta["audio"];
  const size_t n = data.size() / ts::kPacketSize;
  if (c.loop90k_ <= 0 || c.muxrate_ <= 0 || n < 2 || data.size() % ts::kPacketSize != 0) {
    *error = path + ": not a clip of whole packets with a loop length and mux rate";
    return false;
  }
  const auto* bytes = reinterpret_cast<const uint8_t*>(data.data());
  // Clock references of the PCR PID (the first PID that carries one).
  int pcrPid = -1;
  std::vector<std::pair<size_t, int64_t>> pcrs;
  for (size_t i = 0; i < n; ++i) {
    const uint8_t* p = bytes + i * ts::kPacketSize;
    if (p[0] != 0x47) {
      *error = path + ": lost sync at packet " + std::to_string(i);
      return false;
    }
    int64_t pcr = ts::Pcr(p);
    if (pcr < 0 || (pcrPid >= 0 && ts::Pid(p) != pcrPid)) continue;
    pcrPid = ts::Pid(p);
    pcrs.emplace_back(i, pcr);
  }
  if (pcrs.size() < 2) {
    *error = path + ": fewer than two PCRs";
    return false;
  }
  // Each packet is due at the PCR interpolated at its position; outside the
  // first and last PCR, at the mux rate.
  const double perPacket = 188.0 * 8 * 27000000 / static_cast<double>(c.muxrate_);
  auto dueAt = [&](size_t i) {
    size_t k = 1;
    while (k + 1 < pcrs.size() && pcrs[k].first < i) ++k;
    const auto& a = pcrs[k - 1];
    const auto& b = pcrs[k];
    double slope =
        static_cast<double>(b.second - a.second) / static_cast<double>(b.first - a.first);
    if (i < pcrs.front().first || i > pcrs.back().first) slope = perPacket;
    return static_cast<double>(a.second) +
           slope * (static_cast<double>(i) - static_cast<double>(a.first));
  };
  // A constant-rate muxer spans a little more than the media's length: the
  // loop starts late enough for every PCR to fall within it (else the clock
  // would step back at the loop point); the few packets after the last PCR
  // may fall past the loop's end and go out a little late.
  const double loop27 = static_cast<double>(c.loop90k_) * 300;
  const double lastPcr = static_cast<double>(pcrs.back().second);
  const double zero = std::max(dueAt(0), lastPcr - loop27 + perPacket);
  c.zeroPcr27_ = static_cast<int64_t>(zero);
  for (size_t i = 0; i < n; ++i) {
    const uint8_t* p = bytes + i * ts::kPacketSize;
    if (ts::Pid(p) == ts::kNullPid) continue;
    c.packets_.insert(c.packets_.end(), p, p + ts::kPacketSize);
    c.due27_.push_back(static_cast<int64_t>(std::max(0.0, dueAt(i) - zero)));
  }
  if (c.due27_.empty() || zero > static_cast<double>(pcrs.front().second)) {
    *error = path + ": its clock references last longer than its loop";
    return false;
  }
  *out = std::move(c);
  return true;
}

}  // namespace headend
