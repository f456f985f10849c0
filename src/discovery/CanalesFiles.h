// Reading the line-up's stored files into channel records: the generated
// "Canales.xml", the subscriber's "canalesexternos.xml" and "orden.xml".
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "discovery/Canal.h"
#include "discovery/LineUpBuilder.h"

class LogoResolver;

// What "Canales.xml" records about the inputs it was generated from; -1 and
// empty where it does not say.
struct CanalesRecorded {
  int orderVersion = -1;
  int listVersion = -1;
  int searchType = -1;
  std::string packages;
  std::string demarcation;
};

struct CanalesXmlContent {
  CanalesRecorded recorded;
  std::vector<Canal> canales;  // in document order
};

// "Canales.xml"; nothing when it is missing or malformed. With `cargarHD`
// clear, channels of a service type other than 1 are left out.
std::optional<CanalesXmlContent> LeerCanalesXml(const std::string& path, bool cargarHD,
                                                LogoResolver& logos);
// The valid channels of "canalesexternos.xml"; none when it is missing.
std::vector<Canal> LeerCanalesExternos(const std::string& path, LogoResolver& logos);
// The entries of "orden.xml" that say something; none when it is missing.
std::vector<OrdenCanal> LeerOrdenes(const std::string& path);
