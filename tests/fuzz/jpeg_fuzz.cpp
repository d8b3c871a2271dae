// JPEG decoding of any file: a picture whose pixel buffer fits its size, or libjpeg's refusal as
// "JPEG error #<code>"; never a crash, a hang or an unbounded allocation.
#include <cstring>

#include "fuzz_support.h"
#include "platform/Errors.h"
#include "platform/JpegDecoder.h"

using namespace pitkit;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path = fuzz::scratchFile("car.jpg", {reinterpret_cast<const char*>(data), size});
  try {
    const RgbPicture picture = decodeJpegFile(path);
    fuzz::check(picture.width > 0 && picture.height > 0, "a picture without pixels");
    fuzz::check(static_cast<std::int64_t>(picture.width) * picture.height <= kJpegMaxPixels, "a picture too big");
    fuzz::check(picture.rgb.size() == static_cast<std::size_t>(picture.width) * picture.height * 3,
                "the pixel buffer does not fit the size");
  } catch (const Exception& e) {
    fuzz::check(std::strncmp(e.what(), "JPEG error #", 12) == 0, "a refusal that is not a JPEG error");
  }
  return 0;
}
