#include "CycleBuilder.h"

#include <algorithm>
#include <map>
#include <random>

namespace headend {

CycleBuilder::CycleBuilder(const CarouselSettings& settings) : settings_(settings) {}

std::vector<size_t> CycleBuilder::Build(const std::vector<StpDatagram>& datagrams,
                                        uint64_t cycle) const {
  std::map<int, size_t> perPayload;
  for (const auto& d : datagrams) ++perPayload[d.payloadId];
  struct Slot {
    double position;
    int payloadId;
    size_t index;
  };
  std::vector<Slot> slots;
  std::map<int, size_t> seen;
  for (size_t i = 0; i < datagrams.size(); ++i) {
    int id = datagrams[i].payloadId;
    double position = 0;
    if (settings_.order == "interleaved")
      position = (static_cast<double>(seen[id]++) + 0.5) / static_cast<double>(perPayload[id]);
    slots.push_back({position, id, i});
  }
  std::stable_sort(slots.begin(), slots.end(), [](const Slot& a, const Slot& b) {
    if (a.position != b.position) return a.position < b.position;
    return a.payloadId < b.payloadId;
  });
  std::vector<size_t> order;
  order.reserve(slots.size());
  for (const auto& s : slots) order.push_back(s.index);
  if (settings_.reorder == "reverse") {
    std::reverse(order.begin(), order.end());
  } else if (settings_.reorder == "shuffle") {
    std::mt19937 random(static_cast<uint32_t>(settings_.seed + cycle * 7919u));
    std::shuffle(order.begin(), order.end(), random);
  }
  if (settings_.repeatSections > 1) {
    std::vector<size_t> repeated;
    for (size_t i : order) repeated.insert(repeated.end(), settings_.repeatSections, i);
    order.swap(repeated);
  }
  return order;
}

}  // namespace headend
