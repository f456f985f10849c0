#include "LogoStore.h"

#include <algorithm>

#include "JpegWriter.h"

namespace headend {

namespace {

// Stable colours per name, so a logo looks the same on every run.
JpegWriter::Rgb ColourOf(const std::string& name, uint32_t salt) {
  uint32_t h = 2166136261u ^ salt;
  for (unsigned char c : name) h = (h ^ c) * 16777619u;
  return {static_cast<uint8_t>(h), static_cast<uint8_t>(h >> 8), static_cast<uint8_t>(h >> 16)};
}

}  // namespace

LogoStore::LogoStore(const Scenario& scenario) {
  const auto& missing = scenario.appServer.missingLogos;
  for (const auto& s : scenario.services) {
    std::string name = s.LogoName();
    if (logos_.count(name) || std::find(missing.begin(), missing.end(), name) != missing.end())
      continue;
    logos_[name] = JpegWriter::TwoBands(32, 32, ColourOf(name, 1), ColourOf(name, 2));
  }
}

const std::string* LogoStore::Find(const std::string& name) const {
  auto it = logos_.find(name);
  return it == logos_.end() ? nullptr : &it->second;
}

}  // namespace headend
