#include "CloudRecordings.h"

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <algorithm>

#include "GuideContent.h"

namespace headend {

CloudRecordings::CloudRecordings(const CloudSettings& settings, const GuideContent* guide,
                                 time_t start)
    : settings_(settings), guide_(guide), start_(start) {
  for (CloudRecording r : settings.recordings) {
    r.begin += start;
    r.end += start;
    if (r.bookmark != 0 || r.productType != "2")
      bookmarks_[std::to_string(r.id)] = Bookmark{r.bookmark, r.productType};
    // A later entry of the same id replaces the first, as a scenario reads.
    recordings_[r.id] = r;
  }
  // Yesterday's episodes of the named series, as the guide shows them.
  if (guide_ == nullptr) return;
  const time_t dayStart = static_cast<time_t>(guide_->FirstDay()) * 86400;
  for (const auto& [id, p] : guide_->All()) {
    if (p.start < dayStart || p.start >= dayStart + 86400) continue;
    if (std::find(settings.guideSeries.begin(), settings.guideSeries.end(), p.seriesTitle) ==
        settings.guideSeries.end())
      continue;
    CloudRecording r;
    r.id = id;
    r.service = p.service;
    r.name = p.title;
    r.hasSeries = true;
    r.seriesName = p.seriesTitle;
    r.season = std::to_string(p.season);
    r.episode = p.episode;
    r.begin = p.start;
    r.end = p.start + p.Length();
    recordings_.emplace(r.id, r);
  }
}

CloudRecordings::State CloudRecordings::StateAt(const CloudRecording& r, time_t now) {
  if (now < r.begin) return kPending;
  return now < r.end ? kRecording : kFinished;
}

bool CloudRecordings::Present(const CloudRecording& r, time_t now) const {
  return r.goneAfterSeconds < 0 || now < start_ + r.goneAfterSeconds;
}

std::vector<CloudRecordings::Entry> CloudRecordings::List(int state, time_t now) const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<Entry> out;
  for (const auto& kv : recordings_) {
    if (!Present(kv.second, now) || StateAt(kv.second, now) != state) continue;
    out.push_back(Entry{kv.second, StateAt(kv.second, now)});
  }
  // The server's order 2: newest first.
  std::stable_sort(out.begin(), out.end(),
                   [](const Entry& a, const Entry& b) { return a.data.begin > b.data.begin; });
  return out;
}

bool CloudRecordings::Find(uint32_t id, time_t now, Entry* out) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = recordings_.find(id);
  if (it == recordings_.end() || !Present(it->second, now)) return false;
  *out = Entry{it->second, StateAt(it->second, now)};
  return true;
}

bool CloudRecordings::ImageMissing(uint32_t id) const {
  const auto& m = settings_.missingImages;
  return std::find(m.begin(), m.end(), id) != m.end();
}

int CloudRecordings::Book(uint32_t programme, time_t now) {
  const Programme* p = guide_ != nullptr ? guide_->Find(programme) : nullptr;
  if (p == nullptr) return -4;  // no such programme
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = recordings_.find(programme);
  if (it != recordings_.end() && Present(it->second, now)) return -1;  // booked already
  CloudRecording r;
  r.id = programme;
  r.service = std::to_string(programme / 100000);
  r.name = p->title;
  if (!p->seriesTitle.empty()) {
    r.hasSeries = true;
    r.seriesName = p->seriesTitle;
  }
  if (p->season != 0) r.season = std::to_string(p->season);
  if (p->episode != 0) r.episode = p->episode;
  r.begin = p->start;
  r.end = p->start + p->Length();
  recordings_[programme] = r;
  return 0;
}

int CloudRecordings::Cancel(uint32_t id, time_t now) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = recordings_.find(id);
  if (it == recordings_.end() || !Present(it->second, now) || StateAt(it->second, now) == kFinished)
    return -5;  // no booking
  recordings_.erase(it);
  return 0;
}

int CloudRecordings::Delete(uint32_t id, time_t now) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = recordings_.find(id);
  if (it == recordings_.end() || !Present(it->second, now)) return -1;
  if (StateAt(it->second, now) != kFinished) return -2;  // not finished yet
  recordings_.erase(it);
  return 0;
}

CloudRecordings::Bookmark CloudRecordings::GetBookmark(const std::string& product) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = bookmarks_.find(product);
  return it == bookmarks_.end() ? Bookmark{} : it->second;
}

void CloudRecordings::SetBookmark(const std::string& product, const Bookmark& mark) {
  std::lock_guard<std::mutex> lock(mutex_);
  bookmarks_[product] = mark;
}

std::string CloudRecordings::Json(time_t now) const {
  static const char* const kStates[] = {"pending", "recording", "finished"};
  std::lock_guard<std::mutex> lock(mutex_);
  rapidjson::StringBuffer buffer;
  rapidjson::Writer<rapidjson::StringBuffer> w(buffer);
  w.StartObject();
  w.Key("recordings");
  w.StartArray();
  for (const auto& kv : recordings_) {
    if (!Present(kv.second, now)) continue;
    w.StartObject();
    w.Key("id");
    w.Uint(kv.first);
    w.Key("service");
    w.String(kv.second.service.c_str());
    w.Key("name");
    w.String(kv.second.name.c_str());
    w.Key("state");
    w.String(kStates[StateAt(kv.second, now)]);
    w.EndObject();
  }
  w.EndArray();
  w.Key("bookmarks");
  w.StartObject();
  for (const auto& kv : bookmarks_) {
    w.Key(kv.first.c_str());
    w.StartObject();
    w.Key("bookmark");
    w.Int64(kv.second.position);
    w.Key("productType");
    w.String(kv.second.productType.c_str());
    w.EndObject();
  }
  w.EndObject();
  w.EndObject();
  return std::string(buffer.GetString(), buffer.GetSize());
}

}  // namespace headend
