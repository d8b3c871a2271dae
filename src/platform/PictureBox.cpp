#include "platform/PictureBox.h"

#include "platform/Posix.h"

#include <QBuffer>
#include <QColor>
#include <QFile>
#include <QImageReader>
#include <QLabel>
#include <QPixmap>
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

// libjpeg's header needs FILE and size_t declared before it.
// clang-format off
#include <cstdio>
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include "platform/BitmapRle.h"
#include "platform/Errors.h"
#include "platform/JpegDecoder.h"
#include "platform/UniqueFd.h"

namespace pitkit {

namespace {

std::uint64_t littleEndian(const QByteArray& bytes, int at, int size) {
  std::uint64_t value = 0;
  for (int i = size - 1; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

// True when all that the headers place in the file lies inside it: the info header, the colour
// table and bit masks after it, and the rows of an uncompressed picture from where they start
// (the pixel data offset, or the end of the tables when the offset points into them, as the
// decoder reads then). The decoder reads past the end of the file without noticing and leaves
// the missing rows as whatever memory held. The file header and the info header's size are known
// to be there.
bool headersFitInFile(const QByteArray& head, std::uint64_t fileSize) {
  constexpr std::uint64_t kFileHeaderSize = 14;
  const std::uint64_t dataOffset = littleEndian(head, 10, 4);
  const std::uint64_t infoSize = littleEndian(head, 14, 4);
  if (kFileHeaderSize + infoSize > fileSize || dataOffset > fileSize) return false;

  std::uint64_t width = 0, height = 0, bits = 0, compression = 0, colours = 0, entrySize = 4;
  if (infoSize == 12) {  // the oldest header: 16-bit sizes, 3-byte colour table entries
    width = littleEndian(head, 18, 2);
    height = littleEndian(head, 20, 2);
    bits = littleEndian(head, 24, 2);
    entrySize = 3;
  } else if (infoSize >= 40) {
    const auto signedField = [&](int at) { return static_cast<std::int32_t>(littleEndian(head, at, 4)); };
    width = static_cast<std::uint64_t>(std::abs(std::int64_t{signedField(18)}));
    height = static_cast<std::uint64_t>(std::abs(std::int64_t{signedField(22)}));  // negative: top-down
    bits = littleEndian(head, 28, 2);
    compression = littleEndian(head, 30, 4);
    colours = littleEndian(head, 46, 4);
  } else {
    return true;  // a header the decoder refuses by itself
  }
  std::uint64_t tablesEnd = kFileHeaderSize + infoSize;
  if (infoSize == 40 && compression == 3) tablesEnd += 12;  // red, green and blue masks
  if (infoSize == 40 && compression == 6) tablesEnd += 16;  // and alpha
  if (bits >= 1 && bits <= 8) tablesEnd += (colours != 0 ? colours : std::uint64_t{1} << bits) * entrySize;
  const std::uint64_t dataStart = std::max(dataOffset, tablesEnd);
  if (dataStart > fileSize) return false;
  // Rows of pixels padded to four bytes; run-length compressed pictures have no fixed size.
  const bool uncompressed = compression == 0 || compression == 3 || compression == 6;
  const std::uint64_t stride = (width * bits + 31) / 32 * 4;
  return !uncompressed || stride == 0 || height <= (fileSize - dataStart) / stride;
}

// Paints the pixels that the run-length codes of a compressed picture leave unpainted (codes that
// stop early, jumps, short lines) with the first colour of its table, so that nothing of the
// decoder's earlier memory shows.
void fillUnpaintedRuns(QImage& image, const QByteArray& bytes, const QByteArray& head) {
  const std::uint64_t infoSize = littleEndian(head, 14, 4);
  if (infoSize < 40) return;
  const std::uint64_t compression = littleEndian(head, 30, 4);
  const int bits = static_cast<int>(littleEndian(head, 28, 2));
  if (!((compression == 1 && bits == 8) || (compression == 2 && bits == 4))) return;
  const std::uint64_t dataOffset = littleEndian(head, 10, 4);
  if (dataOffset >= static_cast<std::uint64_t>(bytes.size())) return;
  const auto width = static_cast<std::uint32_t>(image.width());
  const auto height = static_cast<std::uint32_t>(image.height());
  const std::vector<bool> painted =
      rlePaintedPixels(reinterpret_cast<const unsigned char*>(bytes.constData()) + dataOffset,
                       static_cast<std::size_t>(bytes.size()) - dataOffset, width, height, bits);
  const bool indexed = image.format() == QImage::Format_Indexed8;
  const QColor fill = image.colorCount() > 0 ? QColor::fromRgb(image.color(0)) : QColor(Qt::black);
  for (std::uint32_t row = 0; row < height; ++row)  // stored bottom-up
    for (std::uint32_t x = 0; x < width; ++x)
      if (!painted[static_cast<std::size_t>(row) * width + x]) {
        const int y = static_cast<int>(height - 1 - row);
        if (indexed)
          image.setPixel(static_cast<int>(x), y, 0);
        else
          image.setPixelColor(static_cast<int>(x), y, fill);
      }
}

QImage decodeBitmap(QFile& file) {
  // A bitmap file starts with "BM"; anything else (including an empty file) is refused before
  // the decoder sees it, and so is one whose headers point past its end.
  const QByteArray head = file.peek(64);
  if (head.size() < 18 || head[0] != 'B' || head[1] != 'M' ||
      !headersFitInFile(head.leftJustified(64, '\0'), static_cast<std::uint64_t>(file.size())))
    throw Exception("Bitmap image is not valid");
  // The file is read once; the run-length codes are walked on the same bytes the decoder gets.
  QByteArray bytes = file.readAll();
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer, "bmp");
  reader.setDecideFormatFromContent(false);
  QImage image = reader.read();
  if (image.isNull()) throw Exception("Bitmap image is not valid");
  fillUnpaintedRuns(image, bytes, head.leftJustified(64, '\0'));
  return image;
}

}  // namespace

QImage loadBitmapFile(const std::string& path) {
  // Opened by its bytes, as a file name need not be valid UTF-8. Only a regular file is read: a
  // pipe in its place would block the window, and a folder has nothing to show.
  UniqueFd fd(path.empty() ? -1 : ::openat(AT_FDCWD, path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
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
