#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "GuideTypes.h"
#include "ScenarioTypes.h"

namespace headend {

// The guide's documents: the TV-Anytime schedule of one channel and day
// (the body of one payload 0xF1 segment), and the application server's
// details reply for one programme.
class GuideDocuments {
 public:
  // "TVAMain" → "ProgramDescription" → "ProgramLocationTable" → "Schedule"
  // naming the channel by "serviceIDRef", then its ScheduleEvents.
  static std::string Schedule(const Service& service, const std::vector<Programme>& programmes,
                              const std::string& domain, bool indented);
  // An ISO 8601 duration: PT1H30M.
  static std::string Duration(int minutes);
  // The same with seconds when they are not whole minutes: PT1M30S, PT45S.
  static std::string DurationSeconds(int seconds);
  // The getEpgInfo answer: the details of a known programme, with the
  // result code as a number or as a string by turns; a refusal for null.
  static std::string DetailsReply(const Programme* programme, uint32_t id);
};

}  // namespace headend
