#include "CarouselContent.h"

#include <algorithm>

namespace headend {

namespace {

StpSegment Segment(int payloadId, int version, std::string body, const CarouselSettings& c) {
  auto broken = c.brokenRecords.find(payloadId);
  if (broken != c.brokenRecords.end() && broken->second == "truncate") body.resize(body.size() / 2);
  return StpSegment{payloadId, 0x0000, version & 0xFF, std::move(body)};
}

bool Omitted(int payloadId, const CarouselSettings& c) {
  return std::find(c.omitPayloads.begin(), c.omitPayloads.end(), payloadId) != c.omitPayloads.end();
}

}  // namespace

SegmentSource CarouselContent::EntryPoint(const DiscoveryRecords& records,
                                          const Scenario& scenario) {
  return [&records, &scenario](int bumps) {
    std::vector<StpSegment> out;
    const CarouselSettings& c = scenario.entryPoint;
    int version = scenario.entryPointVersion + bumps;
    if (!Omitted(DiscoveryRecords::kServiceProviders, c))
      out.push_back(Segment(DiscoveryRecords::kServiceProviders, version,
                            records.ServiceProviders(version & 0xFF), c));
    return out;
  };
}

SegmentSource CarouselContent::Regional(const DiscoveryRecords& records,
                                        const Demarcation& demarcation) {
  return [&records, &demarcation](int bumps) {
    std::vector<StpSegment> out;
    const CarouselSettings& c = demarcation.carousel;
    for (const auto& v : demarcation.versions) {
      int id = v.first;
      if (Omitted(id, c)) continue;
      int version = v.second + bumps;
      if (id == DiscoveryRecords::kContentGuide) version += records.GuideChanges();
      version &= 0xFF;
      auto broken = c.brokenRecords.find(id);
      bool withVersion = broken == c.brokenRecords.end() || broken->second != "noVersion";
      std::string body = records.Regional(id, demarcation, withVersion ? version : -1);
      if (!body.empty()) out.push_back(Segment(id, version, std::move(body), c));
    }
    return out;
  };
}

}  // namespace headend
