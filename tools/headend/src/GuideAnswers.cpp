#include "GuideAnswers.h"

#include <cstdlib>
#include <string>

#include "AppAnswers.h"
#include "GuideDocuments.h"
#include "JpegWriter.h"

namespace headend {

bool GuideAnswers::Answer(const GuideContent& guide, const HttpRequest& request, HttpReply* reply) {
  const std::string& path = request.Path();
  if (path == AppAnswers::kProfilePath && request.Param("action") == "getEpgInfo") {
    reply->kind = "getEpgInfo";
    // Programme ids are unsigned 32-bit: a sign or a wider number names none.
    const std::string text = request.Param("extInfoID");
    char* end = nullptr;
    const unsigned long long id = std::strtoull(text.c_str(), &end, 10);
    const bool number = !text.empty() &&
                        text.find_first_not_of("0123456789") == std::string::npos && *end == '\0' &&
                        id <= 0xFFFFFFFFull;
    const Programme* p = number ? guide.Find(static_cast<uint32_t>(id)) : nullptr;
    reply->contentType = "application/json;charset=UTF-8";
    reply->body = GuideDocuments::DetailsReply(p, static_cast<uint32_t>(id));
    return true;
  }
  const std::string prefix = kImagePath;
  if (path.compare(0, prefix.size(), prefix) != 0) return false;
  // <id / 10000>/<id>.jpg
  reply->kind = "programmeImage";
  const std::string rest = path.substr(prefix.size());
  const size_t slash = rest.find('/');
  const long folder = std::strtol(rest.c_str(), nullptr, 10);
  const long id =
      slash == std::string::npos ? -1 : std::strtol(rest.c_str() + slash + 1, nullptr, 10);
  const bool jpg = rest.size() >= 4 && rest.compare(rest.size() - 4, 4, ".jpg") == 0;
  if (id < 0 || folder != id / 10000 || !jpg || guide.Find(static_cast<uint32_t>(id)) == nullptr) {
    reply->status = 404;
    reply->reason = "Not Found";
    reply->body = "<html><body><h1>HTTP Status 404 - Not Found</h1></body></html>";
    return true;
  }
  const uint32_t h = static_cast<uint32_t>(id) * 2654435761u;
  reply->contentType = "image/jpeg";
  reply->body =
      JpegWriter::TwoBands(64, 36, {static_cast<uint8_t>(h), static_cast<uint8_t>(h >> 8), 40},
                           {30, static_cast<uint8_t>(h >> 16), static_cast<uint8_t>(h >> 24)});
  return true;
}

}  // namespace headend
