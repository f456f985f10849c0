#include "StpSection.h"

namespace probe {

uint32_t StpSection::Crc(const std::string& bytes, size_t length) {
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 0; i < length; ++i) {
    crc ^= static_cast<uint32_t>(static_cast<uint8_t>(bytes[i])) << 24;
    for (int bit = 0; bit < 8; ++bit)
      crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
  }
  return crc;
}

bool StpSection::Parse(const std::string& d, StpSection* s, std::string* error) {
  auto byte = [&d](size_t i) { return static_cast<uint32_t>(static_cast<uint8_t>(d[i])); };
  if (d.size() < 12) {
    *error = "datagram shorter than the header";
    return false;
  }
  s->byte0 = static_cast<uint8_t>(byte(0));
  s->version = (s->byte0 >> 6) & 0x3;
  s->encryption = (s->byte0 >> 1) & 0x3;
  s->crcFlag = (s->byte0 & 0x1) != 0;
  s->totalSize = (byte(1) << 16) | (byte(2) << 8) | byte(3);
  s->payloadId = static_cast<int>(byte(4));
  s->segmentId = static_cast<int>((byte(5) << 8) | byte(6));
  s->segmentVersion = static_cast<int>(byte(7));
  s->sectionNumber = static_cast<int>((byte(8) << 4) | (byte(9) >> 4));
  s->lastSectionNumber = static_cast<int>(((byte(9) & 0x0F) << 8) | byte(10));
  s->compression = static_cast<int>(byte(11) >> 5);
  s->providerIdFlag = (byte(11) & 0x10) != 0;
  s->privateHeaderLength = static_cast<int>(byte(11) & 0x0F);
  size_t at = 12;
  if (s->providerIdFlag) {
    if (d.size() < at + 4) {
      *error = "provider-id flag set without a provider id";
      return false;
    }
    s->serviceProviderId = (byte(12) << 24) | (byte(13) << 16) | (byte(14) << 8) | byte(15);
    at += 4;
  }
  at += static_cast<size_t>(s->privateHeaderLength);
  size_t end = d.size();
  if (s->crcFlag) {
    if (end < at + 4) {
      *error = "CRC flag set without room for the CRC";
      return false;
    }
    end -= 4;
    s->crc = (byte(end) << 24) | (byte(end + 1) << 16) | (byte(end + 2) << 8) | byte(end + 3);
    s->crcOfSection = Crc(d, end) == s->crc;
  }
  if (end < at) {
    *error = "header longer than the datagram";
    return false;
  }
  if (s->sectionNumber > s->lastSectionNumber) {
    *error = "section number beyond the last section number";
    return false;
  }
  s->body = d.substr(at, end - at);
  return true;
}

}  // namespace probe
