// The guide commands of the hostsim program: what the host received for a
// channel (every field it shows) and a grid of channels around now.
#pragma once

#include <ctime>
#include <string>
#include <vector>

namespace hostsim {

class Host;

class GuideView {
 public:
  // Checks the arguments of "epg" ([<channel id>] [--from <time>] [--to
  // <time>]) or "grid" ([<channel id>...] [--hours <n>]); empty when fine.
  static std::string check(const std::string& command, const std::vector<std::string>& args);
  // "now", "now+2h", "now-30m", "now+1d", or local "YYYY-MM-DDTHH:MM"; -1 when not a time.
  static time_t parseTime(const std::string& text, time_t now);

  explicit GuideView(Host& host) : host_(host) {}
  bool epg(const std::vector<std::string>& args);
  bool grid(const std::vector<std::string>& args);

 private:
  std::vector<unsigned int> channels(const std::vector<std::string>& ids);
  void print(const std::string& line);

  Host& host_;
};

}  // namespace hostsim
