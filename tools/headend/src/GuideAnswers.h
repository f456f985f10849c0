#pragma once

#include "GuideContent.h"
#include "HttpRequest.h"

namespace headend {

struct HttpReply;

// The application server's guide routes: getEpgInfo (a programme's details)
// and the programme images, one small JPEG per programme id.
class GuideAnswers {
 public:
  static constexpr const char* kImagePath =
      "/appclient/incoming/covers/programmeImages/landscape/big/";

  // False when the request is not one of the guide's.
  static bool Answer(const GuideContent& guide, const HttpRequest& request, HttpReply* reply);
};

}  // namespace headend
