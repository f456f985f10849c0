#pragma once

#include "Carousel.h"
#include "DiscoveryRecords.h"

namespace headend {

// The segments each carousel carries: the service providers on the entry
// point and the three records of a demarcation on its regional group, with
// the scenario's version bumps and broken records applied.
class CarouselContent {
 public:
  static SegmentSource EntryPoint(const DiscoveryRecords& records, const Scenario& scenario);
  static SegmentSource Regional(const DiscoveryRecords& records, const Demarcation& demarcation);
};

}  // namespace headend
