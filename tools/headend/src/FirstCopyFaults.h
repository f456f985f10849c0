#pragma once

#include <string>
#include <vector>

#include "ScenarioTypes.h"
#include "StpPacketizer.h"

namespace headend {

// The sections a carousel sends damaged the first time only (the scenario's
// corruptFirstCopy): a receiver that checks the CRC must drop that copy and
// take the next cycle's. Used by the carousel's thread alone.
class FirstCopyFaults {
 public:
  explicit FirstCopyFaults(std::vector<FirstCopyFault> faults) : pending_(std::move(faults)) {}

  // Every fault must name a section of the datagrams and a byte of its body.
  bool Check(const std::vector<StpDatagram>& datagrams, std::string* error) const;
  // True on the first sending of a faulty section, with the datagram's bytes
  // in *damaged, the chosen body byte's lowest bit flipped.
  bool DamageFirstCopy(const StpDatagram& datagram, std::string* damaged);

 private:
  std::vector<FirstCopyFault> pending_;
};

}  // namespace headend
