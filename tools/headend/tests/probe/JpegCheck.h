#pragma once

#include <string>

namespace probe {

// Decodes a JPEG with FFmpeg's decoder: proof that a logo is a real image.
class JpegCheck {
 public:
  // False with the reason when it does not decode to a picture.
  static bool Decode(const std::string& jpeg, int* width, int* height, std::string* error);
};

}  // namespace probe
