// hostsim's JSON-RPC server on arbitrary client bytes: the byte stream is cut
// into objects as it arrives (the first byte picks the size of each receive)
// and every object is answered by a host with no add-on loaded.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/Host.h"
#include "core/JsonRpcListener.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const size_t segment = 1 + data[0];
  hostsim::HostOptions options;
  options.echo = false;
  options.jsonRpc = false;
  hostsim::Host host(options);
  std::string pending;
  for (size_t at = 1; at < size; at += segment) {
    pending.append(reinterpret_cast<const char*>(data + at), std::min(segment, size - at));
    for (const std::string& request : hostsim::JsonRpcListener::takeObjects(pending))
      host.jsonRpc().handle(request);
    if (pending.size() > hostsim::JsonRpcListener::kMaxRequest) pending.clear();
  }
  return 0;
}
