// One segment of a DVB-STP payload, rebuilt from its numbered sections.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "discovery/Trama.h"

class Segment {
 public:
  Segment() = default;
  explicit Segment(const std::string& id) : id_(id) {}
  Segment(const Segment&) = default;
  Segment(Segment&&) = default;
  Segment& operator=(const Segment&) = default;
  Segment& operator=(Segment&&) = default;
  virtual ~Segment() = default;

  // Stores the frame's body under its section number unless that number is
  // held already: the carousel repeats sections and the first copy stays.
  // When the last section carries a CRC-32 of the whole segment and the
  // completed segment does not match it, every section is dropped so that
  // the next cycle of the carousel brings the segment again.
  void AddFragment(const Trama& trama);
  // The bodies of the sections held, in ascending section number.
  std::string getSegment() const;
  void LimpiarFragmentos();

  const std::string& Id() const { return id_; }
  bool Complete() const { return complete_; }
  size_t Sections() const { return fragments_.size(); }
  // Completed segments thrown away for a CRC that did not match.
  int Rejected() const { return rejected_; }

  // The MPEG-2 CRC-32 (ISO/IEC 13818-1) that DVB-STP carries.
  static uint32_t Crc32(const std::string& data);

 private:
  std::string id_;
  bool complete_ = false;
  bool hasCrc_ = false;
  uint32_t crc_ = 0;
  int rejected_ = 0;
  std::map<int, std::string> fragments_;
};
