#pragma once

#include <string>
#include <vector>

#include "JsonReader.h"
#include "ScenarioTypes.h"

namespace headend {

// Expands the scenario's "lineUp": services written one by one (each may
// bring an HD twin) and families of similar services generated from a count.
class LineUpReader {
 public:
  LineUpReader(const JsonReader& lineUp, const std::vector<Package>& packages);

  std::vector<Service> Read();

  // "a.b.c.d" plus n, or empty text when the address is not dotted IPv4.
  static std::string OffsetAddress(const std::string& address, uint32_t n);
  // "a.b.c.d" or "a.b.c.d:port" into a group; false when malformed.
  static bool ParseGroup(const std::string& text, uint16_t defaultPort, GroupAddress* out);

 private:
  void ReadService(const JsonReader& entry);
  void ReadTwin(const JsonReader& hd, const Service& sd);
  void ReadFamily(const JsonReader& family);
  void ReadCommon(const JsonReader& entry, Service* service);
  void CheckPackages(const JsonReader& entry, const Service& service);

  JsonReader lineUp_;
  const std::vector<Package>& packages_;
  uint16_t port_ = 8208;
  std::vector<Service> services_;
};

}  // namespace headend
