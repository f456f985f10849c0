#pragma once

#include <map>
#include <string>

#include "ScenarioTypes.h"

namespace headend {

// The channel logos the application server serves, one JPEG per logo name
// of the line-up, built once at start and read-only afterwards.
class LogoStore {
 public:
  explicit LogoStore(const Scenario& scenario);

  // Null when the name is unknown or the scenario makes it missing.
  const std::string* Find(const std::string& name) const;
  size_t Count() const { return logos_.size(); }

 private:
  std::map<std::string, std::string> logos_;
};

}  // namespace headend
