#pragma once

#include <cstdint>
#include <string>

namespace headend {

// Writes small baseline JPEG images (JFIF, YCbCr 4:4:4) made of two flat
// colour bands, enough for a channel logo. Flat 8x8 blocks need only their
// DC coefficient, so one AC code (end of block) encodes every block.
class JpegWriter {
 public:
  struct Rgb {
    uint8_t r, g, b;
  };

  // Width and height are rounded up to multiples of 8. The top half of the
  // image has the first colour, the bottom half the second.
  static std::string TwoBands(int width, int height, Rgb top, Rgb bottom);
};

}  // namespace headend
