// JPEG decoding: real pictures, and every kind of bad file giving its error without ending the
// program or taking unbounded memory.
#include "platform/JpegDecoder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <jpeglib.h>
#include <jerror.h>

#include "platform/Errors.h"
#include "support/JpegWriter.h"
#include "support/TempDir.h"

namespace pitkit {
namespace {

using test::jpegBytes;
using test::makeDirs;
using test::TempDir;
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

TEST(JpegDecoder, DecodesColourGreyAndCmykPictures) {
  TempDir tmp;
  struct Case {
    int components;
    std::uint8_t r, g, b;
    std::uint8_t expectR, expectG, expectB;
  };
  const Case cases[] = {
      {3, 200, 30, 40, 200, 30, 40},
      {1, 90, 0, 0, 90, 90, 90},
      {4, 40, 200, 90, 40, 200, 90},  // inverted CMYK with no black reads as its first three values
  };
  for (const Case& c : cases) {
    writeFile(tmp / "car.jpg", jpegBytes(40, 24, c.r, c.g, c.b, c.components));
    const RgbPicture picture = decodeJpegFile(tmp / "car.jpg");
    ASSERT_EQ(picture.width, 40);
    ASSERT_EQ(picture.height, 24);
    ASSERT_EQ(picture.rgb.size(), 40u * 24u * 3u);
    const std::size_t middle = (12 * 40 + 20) * 3;
    EXPECT_NEAR(picture.rgb[middle], c.expectR, 4) << c.components;
    EXPECT_NEAR(picture.rgb[middle + 1], c.expectG, 4) << c.components;
    EXPECT_NEAR(picture.rgb[middle + 2], c.expectB, 4) << c.components;
  }
}

TEST(JpegDecoder, BadFilesGiveTheirErrors) {
  TempDir tmp;
  const std::string good = jpegBytes(64, 64, 10, 120, 200);
  writeFile(tmp / "empty.jpg", "");
  writeFile(tmp / "text.jpg", "this is not a picture at all");
  writeFile(tmp / "bitmap.jpg", "BM" + std::string(100, '\0'));
  writeFile(tmp / "header-only.jpg", good.substr(0, 30));
  writeFile(tmp / "soi-then-garbage.jpg", "\xFF\xD8" + std::string(5000, 'x'));
  makeDirs(tmp / "folder.jpg");
  ASSERT_EQ(::mkfifo((tmp / "pipe.jpg").c_str(), 0644), 0);
  EXPECT_EQ(errorOf(tmp / "empty.jpg"), jpegError(JERR_INPUT_EMPTY));
  EXPECT_EQ(errorOf(tmp / "text.jpg"), jpegError(JERR_NO_SOI));
  EXPECT_EQ(errorOf(tmp / "bitmap.jpg"), jpegError(JERR_NO_SOI));
  EXPECT_EQ(errorOf(tmp / "header-only.jpg").rfind("JPEG error #", 0), 0u);
  EXPECT_EQ(errorOf(tmp / "soi-then-garbage.jpg").rfind("JPEG error #", 0), 0u);
  // Only a regular file is read: a pipe would block, a folder has nothing to show.
  for (const char* name : {"missing.jpg", "folder.jpg", "pipe.jpg"})
    EXPECT_EQ(errorOf(tmp / name), "Cannot open file " + (tmp / name)) << name;
  EXPECT_EQ(errorOf(""), "Cannot open file ");

  // A file cut off inside its picture data is shown as far as it goes.
  writeFile(tmp / "cut.jpg", good.substr(0, good.find("\xFF\xDA") + 20));
  const RgbPicture cut = decodeJpegFile(tmp / "cut.jpg");
  EXPECT_EQ(cut.width, 64);
  EXPECT_EQ(cut.height, 64);
}

TEST(JpegDecoder, HugeDeclaredSizesStayBounded) {
  TempDir tmp;
  const std::string small = jpegBytes(16, 16, 250, 250, 0);
  // 20000 x 20000 declared: decoded at 1/8 while it is read, 2500 x 2500.
  writeFile(tmp / "huge.jpg", test::withDeclaredSize(small, 20000, 20000));
  const RgbPicture huge = decodeJpegFile(tmp / "huge.jpg");
  EXPECT_EQ(huge.width, 2500);
  EXPECT_EQ(huge.height, 2500);
  EXPECT_LE(static_cast<std::int64_t>(huge.width) * huge.height, kJpegMaxPixels);
  // Half the comfortable size on each side and more: scaled only as far as needed.
  writeFile(tmp / "large.jpg", test::withDeclaredSize(small, 2048, 1024));
  EXPECT_EQ(decodeJpegFile(tmp / "large.jpg").width, 1024);
  // Too big even at 1/8: refused with libjpeg's own code for it.
  writeFile(tmp / "giant.jpg", test::withDeclaredSize(small, 65000, 65000));
  EXPECT_EQ(errorOf(tmp / "giant.jpg"), jpegError(JERR_IMAGE_TOO_BIG));
}

}  // namespace
}  // namespace pitkit
