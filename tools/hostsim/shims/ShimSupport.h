// What the three host libraries share: export marking and the lookup of the
// simulator's table from the add-on's callback block.
#pragma once

#include <cstdio>

#include "shims/HostTable.h"

#define HOSTSIM_EXPORT extern "C" __attribute__((visibility("default")))

namespace hostsim_shim {

// The table behind `hdl` (the AddonCB the add-on got from the host), or null
// with a line on standard error when the add-on passes something else.
inline const HostsimTable* TableOf(void* hdl, const char* function) {
  const auto* cb = static_cast<const AddonCB*>(hdl);
  const auto* table = cb ? static_cast<const HostsimTable*>(cb->addonData) : nullptr;
  if (table == nullptr || table->magic != HOSTSIM_TABLE_MAGIC ||
      table->size != sizeof(HostsimTable)) {
    std::fprintf(stderr, "hostsim: %s called with a handle that is not the host's\n", function);
    return nullptr;
  }
  return table;
}

}  // namespace hostsim_shim
