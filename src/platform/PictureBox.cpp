#include "platform/PictureBox.h"

#include <QFile>
#include <QImageReader>
#include <QLabel>
#include <QPixmap>

#include "platform/Errors.h"

namespace pitkit {

QImage loadBitmapFile(const std::string& path) {
  QFile file(QString::fromStdString(path));
  if (path.empty() || !file.open(QIODevice::ReadOnly)) throw Exception("Cannot open file " + path);
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

void loadBitmapInto(QLabel* box, const std::string& path) {
  const QImage image = loadBitmapFile(path);
  box->setPixmap(QPixmap::fromImage(image));
}

}  // namespace pitkit
