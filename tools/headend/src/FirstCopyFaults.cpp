#include "FirstCopyFaults.h"

#include <algorithm>
#include <cstdio>

namespace headend {

namespace {

bool Names(const FirstCopyFault& f, const StpDatagram& d) {
  return f.payloadId == d.payloadId && f.segmentId == d.segmentId && f.section == d.sectionNumber;
}

}  // namespace

bool FirstCopyFaults::Check(const std::vector<StpDatagram>& datagrams, std::string* error) const {
  for (const auto& f : pending_) {
    auto d = std::find_if(datagrams.begin(), datagrams.end(),
                          [&f](const StpDatagram& d) { return Names(f, d); });
    char what[96];
    std::snprintf(what, sizeof(what), "corruptFirstCopy: payload %02x segment %04x section %d",
                  f.payloadId, f.segmentId, f.section);
    if (d == datagrams.end()) {
      *error = std::string(what) + " is not carried";
      return false;
    }
    if (static_cast<size_t>(f.offset) >= d->bodySize) {
      *error = std::string(what) + " has " + std::to_string(d->bodySize) + " body bytes, no byte " +
               std::to_string(f.offset);
      return false;
    }
  }
  return true;
}

bool FirstCopyFaults::DamageFirstCopy(const StpDatagram& datagram, std::string* damaged) {
  auto f = std::find_if(pending_.begin(), pending_.end(),
                        [&datagram](const FirstCopyFault& f) { return Names(f, datagram); });
  if (f == pending_.end() || datagram.bodySize == 0) return false;
  // A version bump may have shortened the body since Check.
  size_t at = std::min(static_cast<size_t>(f->offset), datagram.bodySize - 1);
  *damaged = datagram.bytes;
  (*damaged)[datagram.bodyAt + at] ^= 0x01;
  pending_.erase(f);
  return true;
}

}  // namespace headend
