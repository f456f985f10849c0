#pragma once

#include <vector>

#include "GuideTypes.h"
#include "ScenarioTypes.h"

namespace headend {

// Makes one day of programmes of a channel, back to back from 00:00 to 24:00
// UTC, from the channel's genre: films, series episodes with seasons,
// news, sport, children's series, documentaries, music, and a few genres no
// genre map knows. The same channel and day always give the same programmes.
class ProgrammeGenerator {
 public:
  // `day` counts days since 1970-01-01 (UTC); `weekDay` is its place in the
  // guide's week (0 is yesterday), which the placed series follow; -1 places
  // none.
  static std::vector<Programme> Day(const Service& service, long day, int weekDay = -1);
  // Programme ids: channel, day and slot, so ids are unique over the week.
  static uint32_t Id(const Service& service, long day, int slot);
  // Ids of the placed series: from 900000000, by placement, week day and
  // occurrence, the same whatever the date (a scenario can name them).
  static uint32_t PlacedId(int placement, int weekDay, int occurrence);
  static constexpr uint32_t kPlacedIds = 900000000;
};

}  // namespace headend
