// JPEG decoding: a real picture, and every kind of bad file giving its error without ending the
// program or taking unbounded memory.
#include <gtest/gtest.h>
#include "platform/Posix.h"

// libjpeg's header needs FILE and size_t declared before it.
// clang-format off
#include <cstdio>
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include "platform/Errors.h"
#include "platform/JpegDecoder.h"
#include "support/ErrorOf.h"
#include "support/JpegWriter.h"
#include "support/LinuxOnly.h"
#include "support/OddEntries.h"
#include "support/TempDir.h"

namespace pitkit {
namespace {

using test::jpegBytes;
using test::withDeclaredSize;
using test::withRepeatedLastScan;
using test::writeFile;

std::string errorOf(const std::string& path) {
  return test::errorOf<Exception>([&] { decodeJpegFile(path); }, "no error");
}

std::string jpegError(int code) { return "JPEG error #" + std::to_string(code); }

TEST(JpegDecoder, DecodesPicturesAndScalesHugeOnesWhileReading) {
  test::TempDir tmp;
  const std::string good = jpegBytes(40, 24, 200, 30, 40);
  const std::string progressive = jpegBytes(40, 24, 200, 30, 40, true);  // 10 scans
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
      // Every scan goes over the whole size claimed: 4096 x 4096 in colour allows 40 scans.
      {progressive, 40, 24},
      {withRepeatedLastScan(withDeclaredSize(progressive, 4096, 4096), 30), 1024, 1024},
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
  const std::string good16p = jpegBytes(16, 16, 10, 120, 200, true);
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
      // More scans than the size claimed allows, or than any picture may have.
      {withRepeatedLastScan(withDeclaredSize(good16p, 4096, 4096), 31), jpegError(JERR_BAD_SCAN_SCRIPT)},
      {withRepeatedLastScan(withDeclaredSize(good16p, 4096, 4096), 1000), jpegError(JERR_BAD_SCAN_SCRIPT)},
      {withRepeatedLastScan(good16p, 5000), jpegError(JERR_BAD_SCAN_SCRIPT)},
  };
  for (const auto& c : cases) {
    writeFile(tmp / "bad.jpg", c.bytes);
    EXPECT_EQ(errorOf(tmp / "bad.jpg"), c.error) << c.bytes.substr(0, 8);
  }
  // Only a regular file is read: a pipe would block, a folder has nothing to show.
  test::makeDirs(tmp / "folder.jpg");
  const bool fifo = test::makeFifo(tmp / "pipe.jpg");
  if (test::kOnLinux) ASSERT_TRUE(fifo);
  for (const char* name : {"missing.jpg", "folder.jpg", "pipe.jpg"})
    if (fifo || std::string(name) != "pipe.jpg") EXPECT_EQ(errorOf(tmp / name), "Cannot open file " + (tmp / name)) << name;
}

}  // namespace
}  // namespace pitkit
