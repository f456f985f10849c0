// The broadcast services of the regional discovery server, read from the
// broadcast discovery record that the receiver stored.
#pragma once

#include <map>
#include <string>

#include "common/XMLNode.h"
#include "discovery/SingleService.h"

// Broadcast discovery record (payload 02, first segment).
extern const char* const FicheroServiceList;

class ServiceList {
 public:
  ServiceList() = default;
  virtual ~ServiceList() = default;

  // Rebuilds the services from the record in the payload folder.
  void CargarServicios();
  void CargarServicios(const std::string& folder);

  // By service name; the last record with a given name wins.
  const std::map<std::string, SingleService>& Services() const { return services_; }
  // -1 until a record with a "Version" has been read.
  int Version() const { return version_; }

  // Parses a stored discovery record and returns the root's first child
  // element, whose "Version" goes to `version`. Empty node (and `version`
  // untouched) when the file is missing, unparsable, or lacks either.
  static XMLNode OpenRecord(const std::string& folder, const char* file, int& version);

 private:
  std::map<std::string, SingleService> services_;
  int version_ = -1;
};
