#include "platform/PictureBox.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QImageReader>
#include <QLabel>
#include <QPixmap>
#include <cstring>

// libjpeg's header needs FILE and size_t declared before it.
// clang-format off
#include <cstdio>
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include "platform/Errors.h"
#include "platform/JpegDecoder.h"
#include "platform/UniqueFd.h"

namespace pitkit {

namespace {

QImage decodeBitmap(QFile& file) {
  // A bitmap file starts with "BM"; anything else (including an empty file) is refused before
  // the decoder sees it.
  char signature[2] = {};
  if (file.read(signature, 2) != 2 || signature[0] != 'B' || signature[1] != 'M')
    throw Exception("Bitmap image is not valid");
  file.seek(0);
  QImageReader reader(&file, "bmp");
  reader.setDecideFormatFromContent(false);
  QImage image = reader.read();
  if (image.isNull()) throw Exception("Bitmap image is not valid");
  return image;
}

}  // namespace

QImage loadBitmapFile(const std::string& path) {
  // Opened by its bytes, as a file name need not be valid UTF-8. Only a regular file is read: a
  // pipe in its place would block the window, and a folder has nothing to show.
  UniqueFd fd(path.empty() ? -1 : ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (fd) {
    struct stat st {};
    QFile file;
    if (::fstat(fd.get(), &st) == 0 && S_ISREG(st.st_mode) &&
        file.open(fd.get(), QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
      fd.release();  // the QFile closes it now
      return decodeBitmap(file);
    }
  }
  throw Exception("Cannot open file " + path);
}

void loadBitmapInto(QLabel* box, const std::string& path) {
  const QImage image = loadBitmapFile(path);
  box->setPixmap(QPixmap::fromImage(image));
}

QImage loadJpegFile(const std::string& path) {
  const RgbPicture picture = decodeJpegFile(path);
  QImage image(picture.width, picture.height, QImage::Format_RGB888);
  if (image.isNull()) throw Exception("JPEG error #" + std::to_string(JERR_OUT_OF_MEMORY));
  const std::size_t rowBytes = static_cast<std::size_t>(picture.width) * 3;
  for (int y = 0; y < picture.height; ++y)
    std::memcpy(image.scanLine(y), picture.rgb.data() + y * rowBytes, rowBytes);
  return image;
}

void loadJpegInto(QLabel* box, const std::string& path) {
  const QImage image = loadJpegFile(path);
  box->setPixmap(QPixmap::fromImage(image));
}

}  // namespace pitkit
