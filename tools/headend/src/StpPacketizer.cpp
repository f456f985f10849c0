#include "StpPacketizer.h"

#include <algorithm>

#include "Crc32.h"

namespace headend {

namespace {

void AppendCrc(const uint8_t* data, size_t size, std::string* out) {
  uint32_t crc = Crc32::Compute(data, size);
  for (int shift = 24; shift >= 0; shift -= 8) *out += static_cast<char>((crc >> shift) & 0xFF);
}

// The CRC flag of the first header byte says whether a CRC is carried; the
// scenario's whole first byte decides it when given.
CrcPlacement PlacementOf(const CarouselSettings& settings) {
  if (settings.headerByte0 >= 0 && (settings.headerByte0 & 0x01) == 0) return CrcPlacement::None;
  if (settings.headerByte0 >= 0 && settings.crc == CrcPlacement::None) return CrcPlacement::Segment;
  return settings.crc;
}

}  // namespace

StpPacketizer::StpPacketizer(const CarouselSettings& settings)
    : byte0_(static_cast<uint8_t>(settings.headerByte0 >= 0 ? settings.headerByte0 : 0x01)),
      crc_(PlacementOf(settings)),
      maxBody_(static_cast<size_t>(settings.maxSectionBody)),
      minSections_(static_cast<size_t>(settings.minSections)),
      providerId_(settings.serviceProviderId) {}

std::vector<size_t> StpPacketizer::SectionSizes(size_t bodySize) const {
  size_t full = (bodySize + maxBody_ - 1) / maxBody_;
  if (full >= minSections_ || bodySize == 0) {
    std::vector<size_t> sizes(std::max<size_t>(full, 1), maxBody_);
    sizes.back() = bodySize - (sizes.size() - 1) * maxBody_;
    return sizes;
  }
  // Small segments still come in several sections, spread over the cycle,
  // so that a receiver sees every payload before any of them completes.
  size_t count = std::min(minSections_, bodySize);
  std::vector<size_t> sizes(count, bodySize / count);
  for (size_t i = 0; i < bodySize % count; ++i) ++sizes[i];
  return sizes;
}

std::string StpPacketizer::Header(const StpSegment& segment, int section, int lastSection) const {
  size_t total = segment.body.size();
  std::string h(12, '\0');
  bool withCrc =
      crc_ == CrcPlacement::PerSection || (crc_ == CrcPlacement::Segment && section == lastSection);
  h[0] = static_cast<char>(withCrc ? byte0_ : byte0_ & 0xFE);
  h[1] = static_cast<char>((total >> 16) & 0xFF);
  h[2] = static_cast<char>((total >> 8) & 0xFF);
  h[3] = static_cast<char>(total & 0xFF);
  h[4] = static_cast<char>(segment.payloadId);
  h[5] = static_cast<char>((segment.segmentId >> 8) & 0xFF);
  h[6] = static_cast<char>(segment.segmentId & 0xFF);
  h[7] = static_cast<char>(segment.version & 0xFF);
  h[8] = static_cast<char>((section >> 4) & 0xFF);
  h[9] = static_cast<char>(((section & 0x0F) << 4) | ((lastSection >> 8) & 0x0F));
  h[10] = static_cast<char>(lastSection & 0xFF);
  // Compression 0 (none), provider-id flag, no private header.
  bool withProvider = providerId_ >= 0;
  h[11] = static_cast<char>(withProvider ? 0x10 : 0x00);
  if (withProvider)
    for (int shift = 24; shift >= 0; shift -= 8)
      h += static_cast<char>((providerId_ >> shift) & 0xFF);
  return h;
}

std::vector<StpDatagram> StpPacketizer::Split(const StpSegment& segment) const {
  std::vector<StpDatagram> out;
  std::vector<size_t> sizes = SectionSizes(segment.body.size());
  // The segment size field has 24 bits.
  if (sizes.size() > kMaxSections || segment.body.size() > 0xFFFFFF) return out;
  int last = static_cast<int>(sizes.size()) - 1;
  size_t offset = 0;
  const auto* body = reinterpret_cast<const uint8_t*>(segment.body.data());
  for (int i = 0; i <= last; ++i) {
    StpDatagram d;
    d.payloadId = segment.payloadId;
    d.segmentId = segment.segmentId;
    d.sectionNumber = i;
    d.bytes = Header(segment, i, last);
    d.bodyAt = d.bytes.size();
    d.bodySize = sizes[i];
    d.bytes.append(segment.body, offset, sizes[i]);
    offset += sizes[i];
    if (crc_ == CrcPlacement::Segment && i == last)
      AppendCrc(body, segment.body.size(), &d.bytes);
    else if (crc_ == CrcPlacement::PerSection)
      AppendCrc(reinterpret_cast<const uint8_t*>(d.bytes.data()), d.bytes.size(), &d.bytes);
    out.push_back(std::move(d));
  }
  return out;
}

}  // namespace headend
