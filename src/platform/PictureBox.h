#pragma once
// The picture box's loading: a BMP or JPEG file from disk into a label that shows it.
#include <QImage>
#include <string>

class QLabel;

namespace pitkit {

// Reads the BMP file at `path`. Raises Exception "Cannot open file <path>" when the file cannot be
// opened and "Bitmap image is not valid" when its contents are not a bitmap.
QImage loadBitmapFile(const std::string& path);

// Loads the BMP file into the picture box; on failure the box keeps what it showed.
void loadBitmapInto(QLabel* box, const std::string& path);

// Reads the JPEG file at `path` with libjpeg. Raises Exception "Cannot open file <path>" when the
// file cannot be opened and "JPEG error #<code>" (libjpeg's message code) when libjpeg rejects it.
QImage loadJpegFile(const std::string& path);

// Loads the JPEG file into the picture box; on failure the box keeps what it showed.
void loadJpegInto(QLabel* box, const std::string& path);

}  // namespace pitkit
