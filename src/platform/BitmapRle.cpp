#include "platform/BitmapRle.h"

#include <algorithm>

namespace pitkit {

std::vector<bool> rlePaintedPixels(const unsigned char* data, std::size_t size, std::uint32_t width,
                                   std::uint32_t height, int bitsPerPixel) {
  std::vector<bool> painted(static_cast<std::size_t>(width) * height, false);
  std::uint64_t x = 0, y = 0;
  const auto paint = [&](std::uint64_t count) {
    if (y < height && x < width) {
      const std::uint64_t end = std::min<std::uint64_t>(x + count, width);
      std::fill(painted.begin() + static_cast<std::ptrdiff_t>(y * width + x),
                painted.begin() + static_cast<std::ptrdiff_t>(y * width + end), true);
    }
    x += count;
  };
  std::size_t at = 0;
  while (at + 2 <= size && y < height) {
    const unsigned count = data[at];
    const unsigned code = data[at + 1];
    at += 2;
    if (count > 0) {  // a run of one value (RLE4: two alternating values)
      paint(count);
    } else if (code == 0) {  // end of line
      x = 0;
      ++y;
    } else if (code == 1) {  // end of picture
      break;
    } else if (code == 2) {  // jump right and up; the pixels passed stay unpainted
      if (at + 2 > size) break;
      x += data[at];
      y += data[at + 1];
      at += 2;
    } else {  // `code` pixels given one by one, padded to an even number of bytes
      std::size_t bytes = bitsPerPixel == 4 ? (code + 1) / 2 : code;
      bytes += bytes % 2;
      if (at + bytes > size) {
        // The data stop inside the run: only the pixels whose bytes are there are painted.
        const std::size_t there = size - at;
        paint(bitsPerPixel == 4 ? std::min<std::size_t>(there * 2, code) : std::min<std::size_t>(there, code));
        break;
      }
      paint(code);
      at += bytes;
    }
  }
  return painted;
}

}  // namespace pitkit
