#include "IgmpGroups.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace headend {

std::set<uint32_t> ParseIgmpGroups(const std::string& text) {
  // Device lines start with the interface index; the groups of a device
  // follow on indented lines whose first field is the address as the
  // kernel holds it, printed as one hexadecimal word.
  std::set<uint32_t> groups;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    if (line.empty() || (line[0] != '\t' && line[0] != ' ')) continue;
    std::istringstream fields(line);
    std::string group;
    fields >> group;
    if (group.size() != 8) continue;
    char* end = nullptr;
    unsigned long raw = std::strtoul(group.c_str(), &end, 16);
    if (*end != '\0') continue;
    groups.insert(static_cast<uint32_t>(raw));
  }
  return groups;
}

std::set<uint32_t> JoinedGroups() {
  std::ifstream in("/proc/net/igmp");
  std::ostringstream text;
  text << in.rdbuf();
  return ParseIgmpGroups(text.str());
}

}  // namespace headend
