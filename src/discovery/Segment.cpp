#include "discovery/Segment.h"

#include "common/Log.h"

uint32_t Segment::Crc32(const std::string& data) {
  uint32_t crc = 0xFFFFFFFFu;
  for (const char c : data) {
    crc ^= static_cast<uint32_t>(static_cast<unsigned char>(c)) << 24;
    for (int bit = 0; bit < 8; ++bit) {
      crc = (crc & 0x80000000u) != 0 ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
    }
  }
  return crc;
}

void Segment::AddFragment(const Trama& trama) {
  const int number = static_cast<int>(trama.section);
  if (fragments_.count(number) != 0) return;
  fragments_.emplace(number, trama.body);
  if (trama.crc && trama.section == trama.lastSection) {
    hasCrc_ = true;
    crc_ = trama.crcValue;
  }
  // The sender numbers sections from 0, so the count tells completeness
  // without checking which numbers arrived.
  if (fragments_.size() != static_cast<size_t>(trama.lastSection) + 1) return;
  if (hasCrc_ && Crc32(getSegment()) != crc_) {
    ++rejected_;
    // A sender that always gets it wrong would otherwise fill the log.
    if (rejected_ <= 3 || rejected_ % 100 == 0) {
      GenerarLogError("CRC erroneo en el segmento " + id_ + " (" + std::to_string(rejected_) +
                      "): se recoge de nuevo");
    }
    LimpiarFragmentos();
    return;
  }
  complete_ = true;
}

std::string Segment::getSegment() const {
  size_t total = 0;
  for (const auto& fragment : fragments_) total += fragment.second.size();
  std::string text;
  text.reserve(total);
  for (const auto& fragment : fragments_) text += fragment.second;
  return text;
}

void Segment::LimpiarFragmentos() {
  fragments_.clear();
  complete_ = false;
  hasCrc_ = false;
  crc_ = 0;
}
