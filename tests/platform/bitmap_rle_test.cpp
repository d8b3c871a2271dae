#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/BitmapRle.h"

namespace pitkit {
namespace {

// The painted flags as text, one row a line from the bottom: '#' painted, '.' not.
std::string paintedRows(const std::vector<unsigned char>& codes, std::uint32_t width, std::uint32_t height, int bits) {
  const std::vector<bool> painted = rlePaintedPixels(codes.data(), codes.size(), width, height, bits);
  std::string rows;
  for (std::uint32_t y = 0; y < height; ++y) {
    for (std::uint32_t x = 0; x < width; ++x) rows += painted[y * width + x] ? '#' : '.';
    rows += '/';
  }
  return rows;
}

TEST(BitmapRle, MarksWhatTheCodesPaintAndNothingElse) {
  struct Case {
    const char* what;
    int bits;
    std::vector<unsigned char> codes;
    std::string rows;  // 4 x 3 pixels
  };
  const Case cases[] = {
      {"whole picture", 8, {4, 1, 0, 0, 4, 2, 0, 0, 4, 3, 0, 1}, "####/####/####/"},
      {"stops after a row", 8, {4, 1, 0, 0}, "####/..../..../"},
      {"stops inside a run's pair", 8, {4, 1, 0}, "####/..../..../"},
      {"short line", 8, {2, 1, 0, 0, 4, 1, 0, 0, 4, 1, 0, 1}, "##../####/####/"},
      {"jump", 8, {1, 1, 0, 2, 2, 1, 1, 1, 0, 1}, "#.../...#/..../"},
      {"jump cut short", 8, {1, 1, 0, 2, 2}, "#.../..../..../"},
      {"absolute run, padded", 8, {0, 3, 9, 9, 9, 0, 1, 5, 0, 1}, "####/..../..../"},
      {"absolute run cut short", 8, {0, 4, 9, 9}, "##../..../..../"},
      {"RLE4 absolute run cut short", 4, {0, 4, 0x99}, "##../..../..../"},
      {"RLE4 absolute run", 4, {0, 3, 0x99, 0x90, 1, 5, 0, 1}, "####/..../..../"},
      {"run past the edge is clipped", 8, {200, 1, 0, 1}, "####/..../..../"},
      {"rows past the top are ignored", 8, {0, 2, 0, 9, 4, 1, 0, 1}, "..../..../..../"},
      {"end of picture first", 8, {0, 1, 4, 1}, "..../..../..../"},
      {"no data", 8, {}, "..../..../..../"},
  };
  for (const Case& c : cases) EXPECT_EQ(paintedRows(c.codes, 4, 3, c.bits), c.rows) << c.what;
}

}  // namespace
}  // namespace pitkit
