// JPEG decoding: a real picture, and every kind of bad file giving its error without ending the
// program or taking unbounded memory.
#include <gtest/gtest.h>
#include <sys/stat.h>

// libjpeg's header needs FILE and size_t declared before it.
// clang-format off
#include <cstdio>
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include "platform/Errors.h"
#include "platform/JpegDecoder.h"
#include "support/JpegWriter.h"
#include "support/TempDir.h"
#include "support/Watchdog.h"

namespace pitkit {
namespace {

using test::jpegBytes;
using test::scanCount;
using test::withDeclaredSize;
using test::withRepeatedLastScan;
using test::writeFile;

std::string errorOf(const std::string& path) {
  try {
    decodeJpegFile(path);
    return "no error";
  } catch (const Exception& e) {
    return e.what();
  }
}

std::string jpegError(int code) { return "JPEG error #" + std::to_string(code); }

TEST(JpegDecoder, DecodesPicturesAndScalesHugeOnesWhileReading) {
  test::TempDir tmp;
  const std::string good = jpegBytes(40, 24, 200, 30, 40);
  const struct {
    std::string bytes;
    int width, height;
  } cases[] = {
      {good, 40, 24},
      // Cut off inside its picture data: shown as far as it goes, as libjpeg does.
      {good.substr(0, good.find("\xFF\xDA") + 20), 40, 24},
      // Declared sizes far beyond the data: decoded scaled down only as far as needed.
      {withDeclaredSize(good, 2048, 1024), 1024, 512},
      {withDeclaredSize(good, 20000, 20000), 2500, 2500},
  };
  for (const auto& c : cases) {
    writeFile(tmp / "car.jpg", c.bytes);
    const RgbPicture picture = decodeJpegFile(tmp / "car.jpg");
    EXPECT_EQ(picture.width, c.width);
    EXPECT_EQ(picture.height, c.height);
    EXPECT_EQ(picture.rgb.size(), std::size_t(c.width) * c.height * 3);
  }
  writeFile(tmp / "car.jpg", good);
  const RgbPicture picture = decodeJpegFile(tmp / "car.jpg");
  EXPECT_NEAR(picture.rgb[(12 * 40 + 20) * 3], 200, 4);
  EXPECT_NEAR(picture.rgb[(12 * 40 + 20) * 3 + 1], 30, 4);
}

TEST(JpegDecoder, BadFilesGiveTheirErrors) {
  test::TempDir tmp;
  const std::string good = jpegBytes(16, 16, 10, 120, 200);
  const struct {
    std::string bytes;
    std::string error;
  } cases[] = {
      {"", jpegError(JERR_INPUT_EMPTY)},
      {"this is not a picture at all", jpegError(JERR_NO_SOI)},
      {"BM" + std::string(100, '\0'), jpegError(JERR_NO_SOI)},
      {good.substr(0, 30), jpegError(JERR_NO_IMAGE)},
      {"\xFF\xD8" + std::string(5000, 'x'), jpegError(JERR_NO_IMAGE)},
      // Too big even at 1/8: refused before any picture memory is taken.
      {withDeclaredSize(good, 65000, 65000), jpegError(JERR_IMAGE_TOO_BIG)},
      // A progressive picture keeps all its coefficients in memory, which is capped.
      {withDeclaredSize(jpegBytes(16, 16, 1, 2, 3, true), 20000, 20000),
       jpegError(JERR_NO_BACKING_STORE)},
  };
  for (const auto& c : cases) {
    writeFile(tmp / "bad.jpg", c.bytes);
    EXPECT_EQ(errorOf(tmp / "bad.jpg"), c.error) << c.bytes.substr(0, 8);
  }
  // Only a regular file is read: a pipe would block, a folder has nothing to show.
  test::makeDirs(tmp / "folder.jpg");
  ASSERT_EQ(::mkfifo((tmp / "pipe.jpg").c_str(), 0644), 0);
  for (const char* name : {"missing.jpg", "folder.jpg", "pipe.jpg"})
    EXPECT_EQ(errorOf(tmp / name), "Cannot open file " + (tmp / name)) << name;
}

TEST(JpegDecoder, ProgressivePicturesStopAtTheirScanLimit) {
  const test::Watchdog watchdog(60, "decoding progressive pictures of thousands of scans");
  test::TempDir tmp;
  const std::string small = jpegBytes(40, 24, 200, 30, 40, true);
  ASSERT_EQ(scanCount(small), 10);  // the usual progression of a colour picture
  // Claiming 4096 x 4096, every scan goes over 512 x 512 + 2 x 256 x 256 blocks: 40 scans fit.
  const std::string big = withDeclaredSize(small, 4096, 4096);
  const struct {
    std::string bytes;
    int width;  // 0: refused with the error
  } cases[] = {
      {small, 40},
      {big, 1024},
      {withRepeatedLastScan(big, 30), 1024},
      {withRepeatedLastScan(big, 31), 0},
      {withRepeatedLastScan(big, 1000), 0},
      {withRepeatedLastScan(big, 5000), 0},
      // A small picture may have many more scans, up to the fixed ceiling.
      {withRepeatedLastScan(small, kJpegMaxScans - 10), 40},
      {withRepeatedLastScan(small, kJpegMaxScans - 9), 0},
      {withRepeatedLastScan(small, 5000), 0},
  };
  for (const auto& c : cases) {
    writeFile(tmp / "car.jpg", c.bytes);
    const std::string described = std::to_string(scanCount(c.bytes)) + " scans of " + std::to_string(c.width);
    if (c.width == 0) {
      EXPECT_EQ(errorOf(tmp / "car.jpg"), jpegError(JERR_BAD_SCAN_SCRIPT)) << described;
      continue;
    }
    const RgbPicture picture = decodeJpegFile(tmp / "car.jpg");
    EXPECT_EQ(picture.width, c.width) << described;
    // The real picture's colour survives its refinement scan sent again and again.
    if (c.width == 40) EXPECT_NEAR(picture.rgb[(12 * 40 + 20) * 3], 200, 4) << described;
  }
}

}  // namespace
}  // namespace pitkit
