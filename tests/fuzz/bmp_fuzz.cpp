// Bitmap loading of any file: a picture, or "Bitmap image is not valid"; a file that does not
// start with "BM" is always refused before the decoder sees it.
#include <cstring>

#include "fuzz_support.h"
#include "platform/Errors.h"
#include "platform/PictureBox.h"

using namespace pitkit;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path = fuzz::scratchFile("picture.bmp", {reinterpret_cast<const char*>(data), size});
  const bool signature = size >= 2 && data[0] == 'B' && data[1] == 'M';
  try {
    const QImage image = loadBitmapFile(path);
    fuzz::check(signature, "a file without the BM signature was decoded");
    fuzz::check(!image.isNull() && image.width() > 0 && image.height() > 0, "an empty picture");
  } catch (const Exception& e) {
    fuzz::check(std::strcmp(e.what(), "Bitmap image is not valid") == 0, "another refusal than an invalid bitmap");
  }
  return 0;
}
