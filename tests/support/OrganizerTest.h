#pragma once
// Helpers of the organizer pages' window tests: a game tree that the main window opens on, bitmaps
// written into it, and the captions and selection of the green lists.
#include <QColor>
#include <QImage>
#include <QString>
#include <QStringList>
#include <QTest>
#include <QTreeWidget>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/ShellOpen.h"
#include "shell/Unit1.h"
#include "support/TempDir.h"

namespace pitkit::test {

inline QString q(const std::string& text) { return QString::fromStdString(text); }

// A BMP file of one colour, with its missing folders.
inline void writeBitmap(const std::string& path, int size, QColor colour) {
  QImage image(size, size, QImage::Format_RGB32);
  image.fill(colour);
  makeDirs(std::filesystem::path(path).parent_path().string());
  QVERIFY(image.save(q(path), "BMP"));
}

// The captions of a list, sorted.
inline QStringList captions(const QTreeWidget* list) {
  QStringList out;
  for (int i = 0; i < list->topLevelItemCount(); ++i) out << list->topLevelItem(i)->text(0);
  out.sort();
  return out;
}

inline QTreeWidgetItem* findItem(QTreeWidget* list, const QString& caption) {
  const auto items = list->findItems(caption, Qt::MatchExactly);
  return items.isEmpty() ? nullptr : items.first();
}

// Selects the item as a click does (the one selected item of its list).
inline void select(QTreeWidget* list, const QString& caption) {
  QTreeWidgetItem* item = findItem(list, caption);
  QVERIFY2(item != nullptr, qPrintable(caption));
  list->setCurrentItem(item);
  QVERIFY(item->isSelected());
}

// A game tree in a temporary folder, the working directory while the main window opens on it.
struct GameTree {
  TempDir tmp;
  std::string dir = realPath(tmp.path());
  std::string operator/(const std::string& rel) const { return dir + "/" + rel; }
  std::unique_ptr<TForm1> open() const {
    setCurrentDir(dir);
    return std::make_unique<TForm1>();
  }
};

// Every file the window asks the desktop to open, in order, instead of opening it; while it lives.
struct ShellOpenCall {
  std::string file, folder;
};
struct ShellOpenRecorder : std::vector<ShellOpenCall> {
  ShellOpenRecorder() {
    setShellOpenHook([this](const std::string& file, const std::string& folder) { push_back({file, folder}); });
  }
  ~ShellOpenRecorder() { setShellOpenHook(nullptr); }
  ShellOpenRecorder(const ShellOpenRecorder&) = delete;
  ShellOpenRecorder& operator=(const ShellOpenRecorder&) = delete;
};

}  // namespace pitkit::test
