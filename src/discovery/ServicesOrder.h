// Logical channel numbers of the services, read from the package discovery
// record that the receiver stored.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "common/XMLNode.h"

// Package discovery record (payload 05, first segment).
extern const char* const FicheroServiceOrder;

class ServicesOrder {
 public:
  using Orden = std::map<std::string, int>;

  ServicesOrder() = default;
  virtual ~ServicesOrder() = default;

  // Rebuilds both orders from the record in the payload folder, for the
  // subscriber's packages of the platform configuration.
  void CargarOrden();
  // `packages` is the unsplit packages text; when it is empty every package
  // counts as subscribed.
  void CargarOrden(const std::string& folder, const std::string& packages,
                   const std::vector<std::string>& packageList);
  // Adds the services of one package to `order`; a service already there
  // keeps the number of the package that listed it first.
  void ProcesarOrdendedelServicio(const XMLNode& package, Orden& order);

  // -1 until a record with a "Version" has been read.
  int Version() const { return version_; }
  const Orden& SubscribedOrder() const { return subscribed_; }
  const Orden& FullOrder() const { return full_; }

 private:
  int version_ = -1;
  Orden subscribed_;
  Orden full_;
};
