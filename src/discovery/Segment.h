// One segment of a DVB-STP payload, rebuilt from its numbered sections.
#pragma once

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
  void AddFragment(const Trama& trama);
  // The bodies of the sections held, in ascending section number.
  std::string getSegment() const;
  void LimpiarFragmentos();

  const std::string& Id() const { return id_; }
  bool Complete() const { return complete_; }
  size_t Sections() const { return fragments_.size(); }

 private:
  std::string id_;
  bool complete_ = false;
  std::map<int, std::string> fragments_;
};
