#pragma once

#include <ctime>
#include <functional>
#include <string>

#include "CloudRecordings.h"
#include "HttpRequest.h"
#include "ScenarioTypes.h"

namespace headend {

class GuideContent;
struct HttpReply;

// The application server's recording API (getRecordingList, setRecording,
// cancelRecording, delRecording, getRecordingData, getCatchUpUrl,
// getBookmark, setBookmark), the details and images of cloud recordings,
// and the read-only view /headend/cloud.
class CloudAnswers {
 public:
  static constexpr const char* kViewPath = "/headend/cloud";
  using SwitchesFor = std::function<HttpSwitches(const std::string& kind)>;

  CloudAnswers(CloudRecordings& cloud, const GuideContent* guide) : cloud_(cloud), guide_(guide) {}

  // False when the request is none of these.
  bool Answer(const HttpRequest& request, const SwitchesFor& switchesFor, HttpReply* reply,
              time_t now);

  // Applies the JSON switches to an answer of the recording API.
  static std::string Write(rapidjson::Document& answer, const HttpSwitches& switches);

 private:
  int Act(const std::string& action, const HttpRequest& request, time_t now,
          rapidjson::Document& answer);

  CloudRecordings& cloud_;
  const GuideContent* guide_;
};

}  // namespace headend
