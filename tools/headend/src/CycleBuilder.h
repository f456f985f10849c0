#pragma once

#include <cstdint>
#include <vector>

#include "ScenarioTypes.h"
#include "StpPacketizer.h"

namespace headend {

// Orders the datagrams of all payloads of a group for one carousel cycle:
// payload after payload, or interleaved so that each payload's sections are
// spread evenly over the cycle; then the scenario's reordering and repeats.
class CycleBuilder {
 public:
  explicit CycleBuilder(const CarouselSettings& settings);

  // Indexes into datagrams, in sending order, for the given cycle number.
  std::vector<size_t> Build(const std::vector<StpDatagram>& datagrams, uint64_t cycle) const;

 private:
  const CarouselSettings& settings_;
};

}  // namespace headend
