#include "support/GameTree.h"

#include <QBuffer>
#include <QImage>
#include <QTest>
#include <filesystem>

#include "support/JpegWriter.h"
#include "support/WindowHarness.h"

namespace pitkit::test {

void writeBitmap(const std::string& path, int size, QColor colour) {
  QImage image(size, size, QImage::Format_RGB32);
  image.fill(colour);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QVERIFY(image.save(&buffer, "BMP"));
  writeFile(path, bytes.toStdString());
}

void writeJpeg(const std::string& path, QColor colour) {
  writeFile(path, jpegBytes(32, 24, colour.red(), colour.green(), colour.blue()));
}

GameTree& GameTree::folder(const std::string& rel) {
  makeDirs(*this / rel);
  return *this;
}

GameTree& GameTree::file(const std::string& rel, const std::string& bytes) {
  writeFile(*this / rel, bytes);
  return *this;
}

GameTree& GameTree::level(const std::string& rel, const std::string& name) {
  const std::string folderName = std::filesystem::path(rel).filename().string();
  writeLevelInfo(*this / (rel + "/" + folderName + ".inf"), name);
  return *this;
}

GameTree& GameTree::car(const std::string& rel, const std::string& name, const char* texturePage) {
  writeCarParameters(*this / rel, name, texturePage);
  return *this;
}

GameTree& GameTree::bitmap(const std::string& rel, int size, QColor colour) {
  writeBitmap(*this / rel, size, colour);
  return *this;
}

GameTree& GameTree::organizerGame() {
  return folder("levels").folder("cars").bitmap("gfx/pellmoor.bmp", 16, Qt::blue).bitmap("noavail.bmp", 8, Qt::magenta);
}

std::unique_ptr<TForm1> GameTree::open() const { return startIn(dir); }
std::unique_ptr<TForm1> GameTree::openShown() const { return startShownIn(dir); }

void makeGameFolders(const std::string& folder, bool withCars) {
  makeDirs(folder + "/levels/track1");
  if (withCars) makeDirs(folder + "/cars/car1");
}

}  // namespace pitkit::test
