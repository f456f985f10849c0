// The read step of the HTTP client on arbitrary server bytes. The first
// byte picks how the bytes are cut into segments and whether the head is
// kept, so heads split across receives are explored too.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "common/Globals.h"
#include "common/HttpReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  ModoDebug = true;  // build the debug lines too
  const bool keepHead = (data[0] & 0x80) != 0;
  const size_t segment = 1 + (static_cast<size_t>(data[0] & 0x7F) << 5);  // 1..4065
  const char* next = reinterpret_cast<const char*>(data + 1);
  size_t left = size - 1;

  HttpReader reader;
  const HttpReader::Receive receive = [&](char* buffer, int room) {
    if (left == 0) return 0;
    const size_t count = std::min({left, segment, static_cast<size_t>(room)});
    std::memcpy(buffer, next, count);
    next += count;
    left -= count;
    return static_cast<int>(count);
  };

  char buffer[2000];
  for (int call = 0; call < 4096; ++call) {
    const int count = reader.Read(buffer, sizeof(buffer), keepHead, receive);
    if (count > static_cast<int>(sizeof(buffer))) __builtin_trap();
    if (count < static_cast<int>(sizeof(buffer))) break;
  }
  // Every body byte counted came from the input.
  if (reader.bodyReceived() > static_cast<int64_t>(size)) __builtin_trap();
  return 0;
}
