#pragma once

#include <string>
#include <vector>

#include "JsonReader.h"
#include "ScenarioTypes.h"

namespace headend {

// Reads a scenario file into a Scenario, applying the defaults. Every error
// found is reported, one per line, with the JSON path of the faulty value.
class ScenarioLoader {
 public:
  static bool LoadFile(const std::string& path, Scenario* out, std::string* errors);
  static bool LoadText(const std::string& text, Scenario* out, std::string* errors);

  // "yesterday 21:30", "today 08:00:15", "tomorrow 06:05": the day (-1, 0,
  // 1) and the seconds after its 00:00.
  static bool ParseClockTime(const std::string& text, int* day, int* seconds);

  // The kinds of application-server request that switches apply to.
  static const std::vector<std::string>& RequestKinds();

 private:
  static void ReadOperator(const JsonReader& op, Scenario* s);
  static void ReadProfiles(const JsonReader& root, Scenario* s);
  static void ReadAppServer(const JsonReader& server, Scenario* s);
  static HttpSwitches ReadSwitches(const JsonReader& entry);
  static CarouselSettings ReadCarousel(const JsonReader& entry, const CarouselSettings& base,
                                       bool withAddress);
  static void ReadDiscovery(const JsonReader& root, Scenario* s);
  static void ReadGuide(const JsonReader& root, Scenario* s);
  static void ReadCloud(const JsonReader& cloud, Scenario* s);
};

}  // namespace headend
