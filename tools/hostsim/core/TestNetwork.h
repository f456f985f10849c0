// The add-on joins multicast groups and talks to the operator's addresses as
// soon as it starts, so the host loads it only inside the private test
// network made by scripts/netns-run.sh, where loopback is the sole interface.
#pragma once

#include <string>
#include <vector>

namespace hostsim {

// The names of this machine's network interfaces; empty when they can't be
// listed.
std::vector<std::string> networkInterfaces();

// Empty when the interfaces are those of the private test network (loopback
// only); otherwise why the add-on must not be loaded here, naming the first
// other interface.
std::string outsideTestNetwork(const std::vector<std::string>& interfaces);

}  // namespace hostsim
