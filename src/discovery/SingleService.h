// One broadcast service of the broadcast discovery record.
#pragma once

#include <string>

#include "common/XMLNode.h"

// The child of "SingleService" being read; the three readers take their input
// from it, so only one service list is parsed at a time.
extern XMLNode NodoActual;

class SingleService {
 public:
  SingleService() = default;
  SingleService(const SingleService& other) = default;
  SingleService& operator=(const SingleService& other) = default;
  virtual ~SingleService() = default;

  void ProcesarSingleService(const XMLNode& element);
  void ProcesarServiceLocation();
  void ProcesarTextualIdentifier();
  void ProcesarSI();

  XMLNode Element;
  std::string Address;  // multicast group, dotted IPv4
  int Port = 0;
  std::string ServiceName;
  // The service that replaces this one; its own name when none is announced.
  std::string ServiceNameOriginal;
  std::string ServiceType;
  std::string LogoURI;
  std::string Name;
  std::string ShortName;
  std::string Description;
  std::string Genre;
  std::string ParentalGuidance;
};
