#include "JpegWriter.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace headend {

namespace {

const uint8_t kQuant = 16;
// DC code lengths of the usual luminance table (ITU-T T.81 Annex K), values 0..11.
const std::array<uint8_t, 16> kDcCounts = {0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0};

class BitWriter {
 public:
  explicit BitWriter(std::string* out) : out_(out) {}
  void Put(uint32_t bits, int length) {
    for (int i = length - 1; i >= 0; --i) {
      byte_ = static_cast<uint8_t>((byte_ << 1) | ((bits >> i) & 1));
      if (++used_ == 8) Flush();
    }
  }
  void Finish() {
    while (used_ != 0) Put(1, 1);  // pad with one bits
  }

 private:
  void Flush() {
    *out_ += static_cast<char>(byte_);
    if (byte_ == 0xFF) *out_ += '\0';  // byte stuffing
    byte_ = 0;
    used_ = 0;
  }
  std::string* out_;
  uint8_t byte_ = 0;
  int used_ = 0;
};

void Marker(std::string* out, uint8_t marker, const std::vector<uint8_t>& body) {
  size_t length = body.size() + 2;
  *out += '\xFF';
  *out += static_cast<char>(marker);
  *out += static_cast<char>(length >> 8);
  *out += static_cast<char>(length & 0xFF);
  out->append(body.begin(), body.end());
}

int Category(int value) {
  int magnitude = std::abs(value);
  int bits = 0;
  while (magnitude != 0) {
    ++bits;
    magnitude >>= 1;
  }
  return bits;
}

// Quantized DC coefficient of a flat block of the given sample value.
int FlatDc(double sample) {
  // The forward DCT of a flat block gives 8 * (sample - 128).
  return static_cast<int>(std::lround(8.0 * (sample - 128.0) / kQuant));
}

std::array<int, 3> ToYCbCr(JpegWriter::Rgb c) {
  double y = 0.299 * c.r + 0.587 * c.g + 0.114 * c.b;
  double cb = 128.0 - 0.168736 * c.r - 0.331264 * c.g + 0.5 * c.b;
  double cr = 128.0 + 0.5 * c.r - 0.418688 * c.g - 0.081312 * c.b;
  return {FlatDc(y), FlatDc(cb), FlatDc(cr)};
}

}  // namespace

std::string JpegWriter::TwoBands(int width, int height, Rgb top, Rgb bottom) {
  width = std::max(8, (width + 7) / 8 * 8);
  height = std::max(8, (height + 7) / 8 * 8);
  std::string out = "\xFF\xD8";
  Marker(&out, 0xE0, {'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0});
  std::vector<uint8_t> dqt = {0x00};
  dqt.insert(dqt.end(), 64, kQuant);
  Marker(&out, 0xDB, dqt);
  Marker(&out, 0xC0,
         {8, static_cast<uint8_t>(height >> 8), static_cast<uint8_t>(height & 0xFF),
          static_cast<uint8_t>(width >> 8), static_cast<uint8_t>(width & 0xFF), 3, 1, 0x11, 0, 2,
          0x11, 0, 3, 0x11, 0});
  std::vector<uint8_t> dht = {0x00};
  dht.insert(dht.end(), kDcCounts.begin(), kDcCounts.end());
  for (uint8_t v = 0; v < 12; ++v) dht.push_back(v);
  Marker(&out, 0xC4, dht);
  std::vector<uint8_t> ac = {0x10, 1};
  ac.insert(ac.end(), 15, 0);
  ac.push_back(0x00);  // the only symbol: end of block, code "0"
  Marker(&out, 0xC4, ac);
  Marker(&out, 0xDA, {3, 1, 0x00, 2, 0x00, 3, 0x00, 0, 63, 0});

  // Canonical codes of the DC table.
  std::array<uint32_t, 12> codes{};
  std::array<int, 12> lengths{};
  uint32_t code = 0;
  int symbol = 0;
  for (int length = 1; length <= 16; ++length) {
    for (int i = 0; i < kDcCounts[length - 1]; ++i) {
      codes[symbol] = code++;
      lengths[symbol++] = length;
    }
    code <<= 1;
  }

  std::array<int, 3> topDc = ToYCbCr(top);
  std::array<int, 3> bottomDc = ToYCbCr(bottom);
  std::array<int, 3> previous = {0, 0, 0};
  BitWriter bits(&out);
  for (int row = 0; row < height / 8; ++row) {
    const std::array<int, 3>& dc = (row * 8 < height / 2) ? topDc : bottomDc;
    for (int column = 0; column < width / 8; ++column) {
      for (int component = 0; component < 3; ++component) {
        int diff = dc[component] - previous[component];
        previous[component] = dc[component];
        int category = Category(diff);
        bits.Put(codes[category], lengths[category]);
        if (category > 0) {
          uint32_t extra = diff >= 0 ? static_cast<uint32_t>(diff)
                                     : static_cast<uint32_t>(diff + (1 << category) - 1);
          bits.Put(extra, category);
        }
        bits.Put(0, 1);  // end of block
      }
    }
  }
  bits.Finish();
  out += "\xFF\xD9";
  return out;
}

}  // namespace headend
