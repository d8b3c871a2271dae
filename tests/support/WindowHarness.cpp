#include "support/WindowHarness.h"

#include <QApplication>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTest>
#include <QWindow>
#include <cstdlib>

#include "platform/FileSystem.h"
#include "platform/ShellOpen.h"
#include "support/TempDir.h"

namespace pitkit::test {

std::unique_ptr<TForm1> startIn(const std::string& folder) {
  setCurrentDir(folder);
  return std::make_unique<TForm1>();
}

std::unique_ptr<TForm1> startShownIn(const std::string& folder) {
  auto form = startIn(folder);
  form->show();
  QApplication::setActiveWindow(form.get());
  if (!QTest::qWaitForWindowActive(form.get())) qWarning("the main window is not active");
  return form;
}

QWidget* findControl(const QWidget* root, const QString& name) {
  auto* found = root->findChild<QWidget*>(name);
  if (found == nullptr) qFatal("no control named %s", qPrintable(name));
  return found;
}

void showPageOf(QWidget* control) {
  for (QWidget* w = control; w != nullptr; w = w->parentWidget()) {
    QWidget* stack = w->parentWidget();
    auto* tabs = stack != nullptr ? qobject_cast<QTabWidget*>(stack->parentWidget()) : nullptr;
    if (tabs != nullptr && tabs->indexOf(w) >= 0) tabs->setCurrentWidget(w);
  }
}

namespace {

// The window tests keep what the program caches (the measured font widths) out of the user's own
// cache folder: the toolkit's test folders are used instead.
const bool kTestFolders = [] {
  QStandardPaths::setTestModeEnabled(true);
  return true;
}();

// Nor do they write the history of actions or trash anything in the user's data folder: a
// folder of the test program's own stands for it (a test may point it elsewhere, TrashHome).
TempDir& testDataHome() {
  static TempDir folder;
  return folder;
}
const bool kTestDataHome = [] {
  qputenv("XDG_DATA_HOME", QByteArray::fromStdString(testDataHome() / "data"));
  return true;
}();

// The top-level window of `widget` and the point `at` (its centre when negative) in it.
QWindow* windowAt(QWidget* widget, QPoint& at) {
  showPageOf(widget);
  if (at.x() < 0 || at.y() < 0) at = widget->rect().center();
  at = widget->mapTo(widget->window(), at);
  QWindow* window = widget->window()->windowHandle();
  if (window == nullptr || !widget->isVisible())
    qWarning("%s is not shown: the input goes nowhere", qPrintable(widget->objectName()));
  return window;
}

}  // namespace

void click(QWidget* widget, QPoint at, Qt::KeyboardModifiers modifiers) {
  QWindow* window = windowAt(widget, at);
  QVERIFY2(window != nullptr, qPrintable(widget->objectName()));
  QTest::mouseClick(window, Qt::LeftButton, modifiers, at);
}

void doubleClick(QWidget* widget, QPoint at) {
  QWindow* window = windowAt(widget, at);
  QVERIFY2(window != nullptr, qPrintable(widget->objectName()));
  QTest::mouseDClick(window, Qt::LeftButton, {}, at);
}

void pressKey(QWidget* widget, Qt::Key key, Qt::KeyboardModifiers modifiers) {
  QWindow* window = widget->window()->windowHandle();
  QVERIFY2(window != nullptr, qPrintable(widget->objectName()));
  QTest::keyClick(window, key, modifiers);
}

void type(QWidget* box, const QString& text) {
  click(box);
  QVERIFY2(box->hasFocus(), qPrintable(box->objectName()));
  typeKeys(box, text);
}

void typeKeys(QWidget* widget, const QString& text) {
  QWindow* window = widget->window()->windowHandle();
  QVERIFY2(window != nullptr, qPrintable(widget->objectName()));
  for (const QChar c : text) {
    const auto key = c.isLetterOrNumber() && c.unicode() < 128 ? Qt::Key(c.toUpper().unicode())
                     : c == QLatin1Char(' ')                     ? Qt::Key_Space
                                                                 : Qt::Key_unknown;
    QTest::sendKeyEvent(QTest::Click, window, key, QString(c), c.isUpper() ? Qt::ShiftModifier : Qt::NoModifier);
  }
}

QStringList captions(const QTreeWidget* list) {
  QStringList out;
  for (int i = 0; i < list->topLevelItemCount(); ++i) out << list->topLevelItem(i)->text(0);
  out.sort();
  return out;
}

QStringList shownCaptions(const QTreeWidget* list) {
  QStringList out;
  for (int i = 0; i < list->topLevelItemCount(); ++i)
    if (!list->topLevelItem(i)->isHidden()) out << list->topLevelItem(i)->text(0);
  out.sort();
  return out;
}

QStringList captions(const QListWidget& list) {
  QStringList out;
  for (int i = 0; i < list.count(); ++i) out << list.item(i)->text();
  return out;
}

QTreeWidgetItem* findItem(QTreeWidget* list, const QString& caption) {
  const auto items = list->findItems(caption, Qt::MatchExactly);
  return items.isEmpty() ? nullptr : items.first();
}

int rowOf(const QListWidget* list, const QString& caption) {
  for (int i = 0; i < list->count(); ++i)
    if (list->item(i)->text() == caption) return i;
  return -1;
}

void select(QTreeWidget* list, const QString& caption) {
  QTreeWidgetItem* item = findItem(list, caption);
  QVERIFY2(item != nullptr, qPrintable(caption));
  list->setCurrentItem(item);
  QVERIFY(item->isSelected());
}

void clickRow(QTreeWidget* list, const QString& caption) {
  QTreeWidgetItem* item = findItem(list, caption);
  QVERIFY2(item != nullptr, qPrintable(caption));
  list->scrollToItem(item);
  click(list->viewport(), list->visualItemRect(item).center());
}

void doubleClickRow(QTreeWidget* list, const QString& caption) {
  QTreeWidgetItem* item = findItem(list, caption);
  QVERIFY2(item != nullptr, qPrintable(caption));
  list->scrollToItem(item);
  doubleClick(list->viewport(), list->visualItemRect(item).center());
}

void clickRow(QListWidget* list, const QString& caption) {
  const int row = rowOf(list, caption);
  QVERIFY2(row >= 0, qPrintable(caption));
  list->scrollToItem(list->item(row));
  click(list->viewport(), list->visualItemRect(list->item(row)).center());
}

void doubleClickRow(QListWidget* list, const QString& caption) {
  const int row = rowOf(list, caption);
  QVERIFY2(row >= 0, qPrintable(caption));
  list->scrollToItem(list->item(row));
  doubleClick(list->viewport(), list->visualItemRect(list->item(row)).center());
}

void WindowTestCase::initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

void WindowTestCase::cleanup() { workingFolder_.restore(); }

ShellOpenRecorder::ShellOpenRecorder() {
  setShellOpenHook([this](const std::string& file, const std::string& folder) { push_back({file, folder}); });
}

ShellOpenRecorder::~ShellOpenRecorder() { setShellOpenHook(nullptr); }

QImage shown(const QLabel* box) { return box->pixmap().toImage().convertToFormat(QImage::Format_RGB32); }

bool shows(const QLabel* box, QColor colour) {
  const QImage image = shown(box);
  if (image.isNull()) return false;
  const QColor c = image.pixelColor(image.width() / 2, image.height() / 2);
  return qAbs(c.red() - colour.red()) < 8 && qAbs(c.green() - colour.green()) < 8 && qAbs(c.blue() - colour.blue()) < 8;
}

}  // namespace pitkit::test
