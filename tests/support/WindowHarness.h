#pragma once
// Drives the real main window in a test: starts TForm1 in a folder, finds its controls by object
// name, and sends a person's clicks and keys to its top-level window at a control's place (so
// they pass through the window as real input does). Also the captions and selection of lists, and
// a recorder of the files the window asks the desktop to open.
#include <QColor>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QString>
#include <QStringList>
#include <QTreeWidget>
#include <memory>
#include <string>
#include <vector>

#include "shell/Unit1.h"
#include "support/WorkingFolder.h"

namespace pitkit::test {

inline QString q(const std::string& text) { return QString::fromStdString(text); }

// The program as started from `folder`: that folder is its working directory, where it reads and
// writes Pitkit.ini.
std::unique_ptr<TForm1> startIn(const std::string& folder);
// The same, shown and made the active window, for tests that send input through the window.
std::unique_ptr<TForm1> startShownIn(const std::string& folder);

// The child of `root` with this object name, of this type; a missing one ends the test program.
QWidget* findControl(const QWidget* root, const QString& name);
template <typename T>
T* control(const QWidget* root, const QString& name) {
  T* found = qobject_cast<T*>(findControl(root, name));
  if (found == nullptr) qFatal("control %s is not a %s", qPrintable(name), T::staticMetaObject.className());
  return found;
}

// Makes the tab page holding `control` the current one, as a person picks the tab first.
void showPageOf(QWidget* control);
// A left click (or double click) at `at` in `widget` (default: its centre), sent to the top-level
// window; the page holding the widget is shown first.
void click(QWidget* widget, QPoint at = QPoint(-1, -1), Qt::KeyboardModifiers modifiers = {});
void doubleClick(QWidget* widget, QPoint at = QPoint(-1, -1));
// A key pressed and released, sent to the top-level window of `widget` (the focus widget gets it).
void pressKey(QWidget* widget, Qt::Key key, Qt::KeyboardModifiers modifiers = {});
// Clicks into `box` and types `text` there through the window.
void type(QWidget* box, const QString& text);
// Types `text` through the window of `widget` where its focus widget's cursor stands (no click).
void typeKeys(QWidget* widget, const QString& text);

// Lists: captions (a tree's sorted, a list's top to bottom), items and rows by caption.
QStringList captions(const QTreeWidget* list);
QStringList captions(const QListWidget& list);
// The captions of a tree's rows that are not hidden, sorted.
QStringList shownCaptions(const QTreeWidget* list);
QTreeWidgetItem* findItem(QTreeWidget* list, const QString& caption);
int rowOf(const QListWidget* list, const QString& caption);
// Selects the item as a click does (the one selected item of its list), without input events.
void select(QTreeWidget* list, const QString& caption);
// A person's click or double click on a row, through the window.
void clickRow(QTreeWidget* list, const QString& caption);
void doubleClickRow(QTreeWidget* list, const QString& caption);
void clickRow(QListWidget* list, const QString& caption);
void doubleClickRow(QListWidget* list, const QString& caption);

// The base of the main window's test classes: a closed window does not end the program, and the
// working folder the program was started in is set back after each test.
class WindowTestCase : public QObject {
  Q_OBJECT
 protected slots:
  void initTestCase();
  void cleanup();

 protected:
  WorkingFolder workingFolder_;
};

// Every file the window asks the desktop to open, in order, instead of opening it; while it lives.
struct ShellOpenCall {
  std::string file, folder;
};
struct ShellOpenRecorder : std::vector<ShellOpenCall> {
  ShellOpenRecorder();
  ~ShellOpenRecorder();
  ShellOpenRecorder(const ShellOpenRecorder&) = delete;
  ShellOpenRecorder& operator=(const ShellOpenRecorder&) = delete;
};

// The picture a box shows, for comparing with a colour or with another picture (the placeholder).
QImage shown(const QLabel* box);
// Whether the box shows a picture whose centre is `colour`, each channel within 7 (the colours of
// a JPEG are near, not exact).
bool shows(const QLabel* box, QColor colour);

}  // namespace pitkit::test
