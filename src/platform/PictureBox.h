#pragma once
// The picture box's bitmap loading: a BMP file from disk into a label that shows it.
#include <QImage>
#include <string>

class QLabel;

namespace pitkit {

// Reads the BMP file at `path`. Raises Exception "Cannot open file <path>" when the file cannot be
// opened and "Bitmap image is not valid" when its contents are not a bitmap.
QImage loadBitmapFile(const std::string& path);

// Loads the BMP file into the picture box; on failure the box keeps what it showed.
void loadBitmapInto(QLabel* box, const std::string& path);

}  // namespace pitkit
