// The host's JSON-RPC answers as the client reads them: the active player
// and a channel looked up by name, on arbitrary text.
#include <cstddef>
#include <cstdint>
#include <string>

#include "common/Globals.h"
#include "services/tcpJSON.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ModoDebug = true;  // build the debug lines too
  const std::string reply(reinterpret_cast<const char*>(data), size);
  tcpJSON::PlayerActivo(reply);
  const uint32_t id = tcpJSON::CanalEnRespuesta(reply, "V.O.D");
  // A found id is one the answer holds.
  if (id != 0 && id != tcpJSON::kSinCanal && reply.find(std::to_string(id)) == std::string::npos) {
    __builtin_trap();
  }
  return 0;
}
