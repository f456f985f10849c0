#include "cli/GuideView.h"

#include <algorithm>
#include <cstdlib>
#include <map>

#include "core/Host.h"

namespace hostsim {

namespace {

std::string localTime(time_t t, const char* format) {
  char buffer[32];
  struct tm tm;
  localtime_r(&t, &tm);
  std::strftime(buffer, sizeof buffer, format, &tm);
  return buffer;
}

bool isOption(const std::string& word) {
  return word == "--from" || word == "--to" || word == "--hours";
}

std::string oneLine(std::string text) {
  std::replace(text.begin(), text.end(), '\r', ' ');
  size_t at = 0;
  while ((at = text.find('\n', at)) != std::string::npos) text.replace(at, 1, " / ");
  return text;
}

}  // namespace

time_t GuideView::parseTime(const std::string& text, time_t now) {
  if (text == "now") return now;
  if (text.compare(0, 3, "now") == 0 && text.size() > 5 && (text[3] == '+' || text[3] == '-')) {
    char* end = nullptr;
    const long n = std::strtol(text.c_str() + 4, &end, 10);
    const std::map<char, long> units = {{'m', 60}, {'h', 3600}, {'d', 86400}};
    if (end == text.c_str() + 4 || end[0] == '\0' || end[1] != '\0' || !units.count(*end))
      return -1;
    return now + (text[3] == '+' ? 1 : -1) * n * units.at(*end);
  }
  struct tm tm {};
  const char* end = strptime(text.c_str(), "%Y-%m-%dT%H:%M", &tm);
  if (end == nullptr || *end != '\0') return -1;
  tm.tm_isdst = -1;
  return mktime(&tm);
}

std::string GuideView::check(const std::string& command, const std::vector<std::string>& args) {
  const time_t now = time(nullptr);
  for (size_t i = 0; i < args.size(); ++i) {
    if (!isOption(args[i])) {
      char* end = nullptr;
      std::strtoul(args[i].c_str(), &end, 10);
      if (args[i].empty() || *end != '\0') return "\"" + args[i] + "\" is not a channel id";
      if (command == "epg" && i > 0) return "one channel at most";
      continue;
    }
    if (i + 1 >= args.size()) return args[i] + " needs a value";
    const std::string& value = args[++i];
    if (args[i - 1] == "--hours") {
      const long hours = std::strtol(value.c_str(), nullptr, 10);
      if (command != "grid" || hours <= 0 || hours > 48) return "--hours is 1 to 48, for grid";
    } else if (command != "epg" || parseTime(value, now) < 0) {
      return args[i - 1] + " needs now, now+2h, now-1d or YYYY-MM-DDTHH:MM (epg only)";
    }
  }
  return std::string();
}

void GuideView::print(const std::string& line) {
  host_.journal().print(line);
}

std::vector<unsigned int> GuideView::channels(const std::vector<std::string>& ids) {
  std::vector<unsigned int> uids;
  for (const auto& id : ids)
    uids.push_back(static_cast<unsigned int>(std::strtoul(id.c_str(), nullptr, 10)));
  if (!uids.empty()) return uids;
  if (host_.pvr().channels().empty()) host_.fetchChannels();
  for (const auto& c : host_.pvr().channels()) uids.push_back(c.uniqueId);
  return uids;
}

bool GuideView::epg(const std::vector<std::string>& args) {
  const time_t now = time(nullptr);
  time_t from = now - Host::kEpgPast, to = now + Host::kEpgFuture;
  std::vector<std::string> ids;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--from") {
      from = parseTime(args[++i], now);
    } else if (args[i] == "--to") {
      to = parseTime(args[++i], now);
    } else {
      ids.push_back(args[i]);
    }
  }
  bool ok = true;
  for (unsigned int uid : channels(ids)) {
    const Fetch f = host_.fetchEpg(uid, from, to);
    ok = ok && f.error == PVR_ERROR_NO_ERROR;
    print("epg of channel " + std::to_string(uid) + ": " + std::to_string(f.data.epg.size()) +
          " entries (" + pvrErrorName(f.error) + ")");
    for (const auto& e : f.data.epg) {
      std::string line = "  " + localTime(e.startTime, "%Y-%m-%d %H:%M") + " - " +
                         localTime(e.endTime, "%H:%M") + "  uid " + std::to_string(e.broadcastId) +
                         "  \"" + e.title + "\"  genre " + std::to_string(e.genreType);
      if (!e.genreDescription.empty()) line += " \"" + e.genreDescription + "\"";
      line += "  rating " + std::to_string(e.parentalRating);
      if (e.seriesNumber > 0 || e.episodeNumber > 0)
        line += "  S" + std::to_string(e.seriesNumber) + "E" + std::to_string(e.episodeNumber);
      if (e.episodePartNumber > 0) line += "  year " + std::to_string(e.episodePartNumber);
      print(line);
      if (!e.plot.empty()) print("      plot: " + oneLine(e.plot));
    }
  }
  return ok;
}

bool GuideView::grid(const std::vector<std::string>& args) {
  const time_t now = time(nullptr);
  long hours = 3;
  std::vector<std::string> ids;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--hours") {
      hours = std::strtol(args[++i].c_str(), nullptr, 10);
    } else {
      ids.push_back(args[i]);
    }
  }
  const time_t from = now - 1800, to = now + hours * 3600;
  print("guide from " + localTime(from, "%a %d %H:%M") + " to " + localTime(to, "%H:%M") +
        " (now " + localTime(now, "%H:%M") + ")");
  std::map<unsigned int, std::string> names;
  for (const auto& c : host_.pvr().channels()) names[c.uniqueId] = c.name;
  bool ok = true;
  for (unsigned int uid : channels(ids)) {
    const Fetch f = host_.fetchEpg(uid, from, to);
    ok = ok && f.error == PVR_ERROR_NO_ERROR;
    std::string row;
    for (const auto& e : f.data.epg) {
      row += (row.empty() ? "" : " | ") + localTime(e.startTime, "%H:%M") +
             (e.startTime <= now && now < e.endTime ? " >" : " ") + e.title;
    }
    const std::string name = names.count(uid) ? names[uid] : std::to_string(uid);
    print("  " + name + std::string(name.size() < 22 ? 22 - name.size() : 1, ' ') +
          (row.empty() ? "-" : row));
  }
  return ok;
}

}  // namespace hostsim
