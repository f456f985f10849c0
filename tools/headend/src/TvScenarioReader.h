#pragma once

#include <vector>

#include "JsonReader.h"
#include "ScenarioTypes.h"

namespace headend {

// Reads the scenario's "tv" member; errors go to the reader's list.
void ReadTvSettings(const JsonReader& tv, const std::vector<Service>& services, TvSettings* out);

}  // namespace headend
