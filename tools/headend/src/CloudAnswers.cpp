#include "CloudAnswers.h"

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <cstdlib>
#include <set>

#include "AppAnswers.h"
#include "GuideAnswers.h"
#include "GuideContent.h"
#include "GuideDocuments.h"
#include "JpegWriter.h"

namespace headend {

namespace {

using Value = rapidjson::Value;
using Allocator = rapidjson::Document::AllocatorType;

const std::set<std::string> kActions = {"getRecordingList", "setRecording",     "cancelRecording",
                                        "delRecording",     "getRecordingData", "getCatchUpUrl",
                                        "getBookmark",      "setBookmark"};

// A whole decimal number, or false.
bool Number(const std::string& text, long long* out) {
  if (text.empty()) return false;
  char* end = nullptr;
  *out = std::strtoll(text.c_str(), &end, 10);
  return *end == '\0';
}

std::vector<std::string> Segments(const std::string& path) {
  std::vector<std::string> out;
  size_t start = 0;
  for (;;) {
    size_t dot = path.find('.', start);
    out.push_back(path.substr(start, dot == std::string::npos ? std::string::npos : dot - start));
    if (dot == std::string::npos) return out;
    start = dot + 1;
  }
}

// Calls act(parent, name) for every value the path names; "a[]" walks every
// element of the array a.
void Visit(Value& at, const std::vector<std::string>& segments, size_t i,
           const std::function<void(Value&, const std::string&)>& act) {
  std::string name = segments[i];
  const bool each = name.size() > 2 && name.compare(name.size() - 2, 2, "[]") == 0;
  if (each) name.resize(name.size() - 2);
  if (!at.IsObject()) return;
  auto it = at.FindMember(name.c_str());
  if (it == at.MemberEnd()) return;
  if (i + 1 == segments.size()) {
    act(at, name);
  } else if (each) {
    if (!it->value.IsArray()) return;
    for (auto& element : it->value.GetArray()) Visit(element, segments, i + 1, act);
  } else {
    Visit(it->value, segments, i + 1, act);
  }
}

// Paths name members under resultData, except those of the envelope.
void ForPath(rapidjson::Document& answer, const std::string& path,
             const std::function<void(Value&, const std::string&)>& act) {
  const auto segments = Segments(path);
  const std::string& first = segments[0];
  if (first == "resultCode" || first == "resultText" || first == "resultData") {
    Visit(answer, segments, 0, act);
  } else if (answer.HasMember("resultData")) {
    Visit(answer["resultData"], segments, 0, act);
  }
}

// Another JSON type than the value has.
void ChangeType(Value& v, Allocator& a) {
  if (v.IsNumber()) {
    const std::string text = v.IsInt64() ? std::to_string(v.GetInt64()) : "1.5";
    v.SetString(text.c_str(), a);
  } else if (v.IsString()) {
    v.SetInt(7);
  } else if (v.IsArray()) {
    v.SetObject();
  } else if (v.IsObject()) {
    v.SetArray();
  } else {
    v.SetString("x", a);
  }
}

Value Text(const std::string& text, Allocator& a) {
  return Value(text.c_str(), static_cast<rapidjson::SizeType>(text.size()), a);
}

}  // namespace

std::string CloudAnswers::Write(rapidjson::Document& answer, const HttpSwitches& w) {
  Allocator& a = answer.GetAllocator();
  if (w.duplicateIds && answer.HasMember("resultData") && answer["resultData"].IsObject() &&
      answer["resultData"].HasMember("result") && answer["resultData"]["result"].IsArray()) {
    Value& list = answer["resultData"]["result"];
    Value doubled(rapidjson::kArrayType);
    for (auto& e : list.GetArray()) {
      doubled.PushBack(Value(e, a), a);
      doubled.PushBack(Value(e, a), a);
    }
    list = doubled;
  }
  for (const auto& path : w.stringMembers)
    ForPath(answer, path, [&](Value& parent, const std::string& name) {
      Value& v = parent[name.c_str()];
      if (v.IsInt64()) v.SetString(std::to_string(v.GetInt64()).c_str(), a);
    });
  for (const auto& path : w.nullMembers)
    ForPath(answer, path,
            [](Value& parent, const std::string& name) { parent[name.c_str()].SetNull(); });
  for (const auto& path : w.wrongTypes)
    ForPath(answer, path,
            [&](Value& parent, const std::string& name) { ChangeType(parent[name.c_str()], a); });
  for (const auto& path : w.missingMembers)
    ForPath(answer, path,
            [](Value& parent, const std::string& name) { parent.RemoveMember(name.c_str()); });
  rapidjson::StringBuffer buffer;
  rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
  answer.Accept(writer);
  return std::string(buffer.GetString(), buffer.GetSize());
}

int CloudAnswers::Act(const std::string& action, const HttpRequest& request, time_t now,
                      rapidjson::Document& answer) {
  Allocator& a = answer.GetAllocator();
  Value data(rapidjson::kObjectType);
  long long id = 0;
  const bool hasId = Number(request.Param("extInfoID"), &id);
  int code = 0;
  if (action == "setRecording" || action == "cancelRecording" || action == "delRecording") {
    const std::string pin = request.Param("PIN");
    if (pin.size() != 1 || pin[0] < '0' || pin[0] > '9') return -3;
    if (!hasId) return -1;
    const auto uid = static_cast<uint32_t>(id);
    if (action == "setRecording") return cloud_.Book(uid, now);
    return action == "cancelRecording" ? cloud_.Cancel(uid, now) : cloud_.Delete(uid, now);
  }
  if (action == "getRecordingList") {
    long long state = 2, first = 0, max = 999;
    Number(request.Param("stateList"), &state);
    Number(request.Param("first"), &first);
    Number(request.Param("max"), &max);
    Value result(rapidjson::kArrayType);
    long long index = 0;
    for (const auto& e : cloud_.List(static_cast<int>(state), now)) {
      if (index++ < first || static_cast<long long>(result.Size()) >= max) continue;
      const CloudRecording& r = e.data;
      Value v(rapidjson::kObjectType);
      v.AddMember("id", r.id, a);
      v.AddMember("service_uid",
                  static_cast<unsigned>(std::strtoul(r.service.c_str(), nullptr, 10)), a);
      v.AddMember("begintime", static_cast<int64_t>(r.begin) * 1000, a);
      v.AddMember("endtime", static_cast<int64_t>(r.end) * 1000, a);
      v.AddMember("name", Text(r.name, a), a);
      if (r.hasSeries) v.AddMember("seriesName", r.seriesNull ? Value() : Text(r.seriesName, a), a);
      if (!r.season.empty()) v.AddMember("season", Text(r.season, a), a);
      if (r.episode >= 0) v.AddMember("episode", r.episode, a);
      v.AddMember("hd", r.hd, a);
      result.PushBack(v, a);
    }
    data.AddMember("result", result, a);
  } else if (action == "getRecordingData" || action == "getCatchUpUrl") {
    int64_t seconds = 0;
    std::string url;
    CloudRecordings::Entry e;
    const Programme* p =
        guide_ != nullptr && hasId ? guide_->Find(static_cast<uint32_t>(id)) : nullptr;
    if (action == "getRecordingData" && hasId && cloud_.Find(static_cast<uint32_t>(id), now, &e)) {
      seconds = e.data.end - e.data.begin;
      url = cloud_.RtspBase() + "cloud/" + std::to_string(id);
    } else if (action == "getCatchUpUrl" && p != nullptr) {
      seconds = p->Length();
      url = cloud_.RtspBase() + "catchup/" + std::to_string(id);
    } else {
      return -1;
    }
    data.AddMember("duration", static_cast<unsigned>(seconds), a);
    data.AddMember("url", Text(url, a), a);
  } else if (action == "getBookmark") {
    const auto mark = cloud_.GetBookmark(request.Param("productID"));
    data.AddMember("bookmark", mark.position, a);
    data.AddMember("productType", Text(mark.productType, a), a);
  } else if (action == "setBookmark") {
    long long position = 0;
    if (request.Param("productID").empty() || !Number(request.Param("bookmark"), &position))
      return -1;
    cloud_.SetBookmark(request.Param("productID"),
                       CloudRecordings::Bookmark{position, request.Param("productType")});
    return 0;
  }
  answer.AddMember("resultData", data, a);
  return code;
}

bool CloudAnswers::Answer(const HttpRequest& request, const SwitchesFor& switchesFor,
                          HttpReply* reply, time_t now) {
  const std::string& path = request.Path();
  const std::string action = request.Param("action");
  if (path == kViewPath) {
    reply->kind = "cloud";
    reply->contentType = "application/json;charset=UTF-8";
    reply->body = cloud_.Json(now);
    return true;
  }
  long long id = 0;
  CloudRecordings::Entry entry;
  if (path == AppAnswers::kProfilePath && action == "getEpgInfo" &&
      Number(request.Param("extInfoID"), &id) &&
      (guide_ == nullptr || guide_->Find(static_cast<uint32_t>(id)) == nullptr) &&
      cloud_.Find(static_cast<uint32_t>(id), now, &entry)) {
    // A cloud recording's details: what the guide would give for it.
    Programme p;
    p.id = entry.data.id;
    p.title = entry.data.name;
    p.genre = entry.data.hasSeries ? "Series" : "Cine";
    p.description = "Grabación de " + entry.data.name + " en la nube.";
    reply->kind = "getEpgInfo";
    reply->switches = switchesFor(reply->kind);
    reply->contentType = "application/json;charset=UTF-8";
    reply->body = GuideDocuments::DetailsReply(&p, p.id);
    return true;
  }
  const std::string images = GuideAnswers::kImagePath;
  if (path.compare(0, images.size(), images) == 0) {
    const std::string rest = path.substr(images.size());
    const size_t slash = rest.find('/');
    const long long image =
        slash == std::string::npos ? -1 : std::strtoll(rest.c_str() + slash + 1, nullptr, 10);
    const bool cloudId = image > 0 && cloud_.Find(static_cast<uint32_t>(image), now, &entry);
    const bool missing = image > 0 && cloud_.ImageMissing(static_cast<uint32_t>(image));
    if (!cloudId && !missing) return false;
    reply->kind = "programmeImage";
    reply->switches = switchesFor(reply->kind);
    if (missing || std::strtoll(rest.c_str(), nullptr, 10) != image / 10000) {
      reply->status = 404;
      reply->reason = "Not Found";
      reply->body = "<html><body><h1>HTTP Status 404 - Not Found</h1></body></html>";
      return true;
    }
    const uint32_t h = static_cast<uint32_t>(image) * 2246822519u;
    reply->contentType = "image/jpeg";
    reply->body =
        JpegWriter::TwoBands(64, 36, {static_cast<uint8_t>(h), 90, static_cast<uint8_t>(h >> 8)},
                             {static_cast<uint8_t>(h >> 16), 30, static_cast<uint8_t>(h >> 24)});
    return true;
  }
  if (path != AppAnswers::kProfilePath || kActions.count(action) == 0) return false;
  reply->kind = action;
  reply->switches = switchesFor(action);
  const HttpSwitches& w = reply->switches;
  rapidjson::Document answer;
  answer.SetObject();
  Allocator& a = answer.GetAllocator();
  answer.AddMember("resultCode", 0, a);
  // A forced code stands for the server's refusal: nothing changes.
  const int code = w.forceCode ? w.resultCode : Act(action, request, now, answer);
  answer["resultCode"].SetInt(code);
  answer.AddMember("resultText", rapidjson::StringRef(code == 0 ? "OK" : "Error"), a);
  reply->note = "resultCode " + std::to_string(code);
  reply->contentType = "application/json;charset=UTF-8";
  reply->body = Write(answer, w);
  return true;
}

}  // namespace headend
