#include "discovery/Segment.h"

void Segment::AddFragment(const Trama& trama) {
  const int number = static_cast<int>(trama.section);
  if (fragments_.count(number) != 0) return;
  fragments_.emplace(number, trama.body);
  // The sender numbers sections from 0, so the count tells completeness
  // without checking which numbers arrived.
  if (fragments_.size() == static_cast<size_t>(trama.lastSection) + 1) complete_ = true;
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
}
