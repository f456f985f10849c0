#pragma once

#include <cstdint>
#include <set>
#include <string>

namespace headend {

// The multicast groups that some socket of this network namespace has
// joined, from the text of /proc/net/igmp. Addresses in network byte order.
std::set<uint32_t> ParseIgmpGroups(const std::string& text);
std::set<uint32_t> JoinedGroups();

}  // namespace headend
