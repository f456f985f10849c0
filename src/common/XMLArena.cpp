#include "common/XMLArena.h"

namespace xml_detail {

void* Arena::allocateSlow(size_t bytes) {
  // A large request gets a block of its own, so the space left in the current one is not lost.
  if (bytes > blockSize_ / 4) {
    blocks_.emplace_back(new char[bytes]);
    return blocks_.back().get();
  }
  blocks_.emplace_back(new char[blockSize_]);
  cur_ = blocks_.back().get() + bytes;
  left_ = blockSize_ - bytes;
  return blocks_.back().get();
}

}  // namespace xml_detail
