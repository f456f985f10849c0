#include "core/TestNetwork.h"

#include <net/if.h>

namespace hostsim {

std::vector<std::string> networkInterfaces() {
  std::vector<std::string> names;
  struct if_nameindex* list = if_nameindex();
  if (list == nullptr) return names;
  for (struct if_nameindex* n = list; n->if_index != 0; ++n) names.push_back(n->if_name);
  if_freenameindex(list);
  return names;
}

std::string outsideTestNetwork(const std::vector<std::string>& interfaces) {
  // No interface at all can only mean the list failed: not a proof of safety.
  if (interfaces.empty())
    return "cannot list the network interfaces: run inside the private test network "
           "(scripts/netns-run.sh)";
  for (const auto& name : interfaces)
    if (name != "lo")
      return "interface " + name +
             " is present and the add-on joins multicast groups as soon as it starts: run "
             "inside the private test network (scripts/netns-run.sh)";
  return std::string();
}

}  // namespace hostsim
