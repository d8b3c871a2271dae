// The main window on a desktop: keyboard use of the pages, the focus frame of the green lists,
// theme icons with sharp drawn fallbacks, and readable colours under a dark palette.
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>

#include <memory>

#include "platform/DirectoryListBox.h"
#include "platform/DriveComboBox.h"
#include "platform/FileListBox.h"
#include "platform/FileSystem.h"
#include "platform/ShellOpen.h"
#include "platform/ThemeIcon.h"
#include "shell/ReadableColours.h"
#include "shell/Unit1.h"
#include "support/LinuxOnly.h"
#include "support/GameTree.h"
#include "support/ModalAnswerer.h"
#include "support/WindowHarness.h"

using namespace pitkit;
using namespace pitkit::test;

namespace {

// A game with two installed levels, one uninstalled level and a car, all named "<folder> track".
struct Game : GameTree {
  Game() {
    level("levels/alpha", "alpha track").level("levels/bravo", "bravo track").level("un_levels/charlie", "charlie track");
    car("cars/car1", "car1 track", "cars\\car1\\car1.bmp").bitmap("gfx/pellmoor.bmp", 8, Qt::gray);
  }
};

// How many pixels of the row's top edge are light like the lists' white text (the green and the
// selection blue are dark).
int lightEdgePixels(QAbstractItemView* view, const QModelIndex& index) {
  const QImage image = view->viewport()->grab().toImage();
  const QRect rect = view->visualRect(index);
  int count = 0;
  for (int x = rect.left(); x <= rect.right() && x < image.width(); ++x)
    if (image.pixelColor(x, rect.top()).lightness() > 160) ++count;
  return count;
}

QColor iconCentre(const QIcon& icon, qreal ratio) {
  const QImage image = icon.pixmap(QSize(16, 16), ratio).toImage();
  return image.pixelColor(image.width() / 2, image.height() / 2);
}

}  // namespace

class DesktopTest : public test::WindowTestCase {
  Q_OBJECT
 private:
  ShellOpenRecorder opened_;

  void enterOnTheRenamersFileList(TForm1& form, const std::string& game, QTabWidget* pages, ModalAnswerer& boxes) {
    // The renamer's file list: Enter acts on the focused file as a double click does (here:
    // delete without asking).
    pages->setCurrentWidget(form.ui.TabSheet1);
    auto& r = form.renamerUi;
    r.DirectoryListBox2->setDirectory(game + "/levels/alpha");
    r.CheckBox2->setChecked(true);   // Enable DELETE file!
    r.CheckBox4->setChecked(false);  // Confirm delete!
    QCOMPARE(r.FileListBox1->count(), 1);
    r.FileListBox1->setFocus();
    r.FileListBox1->selectionModel()->setCurrentIndex(r.FileListBox1->model()->index(0, 0),
                                                      QItemSelectionModel::NoUpdate);
    pressKey(r.FileListBox1, Qt::Key_Return);
    QVERIFY(!fileExists(game + "/levels/alpha/alpha.inf"));
    QCOMPARE(r.FileListBox1->count(), 0);
    QCOMPARE(boxes.texts(), QStringList());
  }

 private slots:
  void cleanup() {
    WindowTestCase::cleanup();
    opened_.clear();
  }

  void keyboardDrivesTheOrganizerAndRenamer() {
    const Game tree;
    const std::string& game = tree.dir;
    ModalAnswerer boxes;
    auto form = tree.openShown();
    auto& lo = form->levelOrganizerUi;
    QTabWidget* pages = form->ui.PageControl1;

    // The counters are displays only: Tab passes them by on both organizer pages.
    auto& co = form->carOrganizerUi;
    for (QWidget* counter : {lo.Edit1, lo.Edit2, lo.Edit3, co.Edit6, co.Edit7, co.Edit9})
      QCOMPARE(counter->focusPolicy(), Qt::NoFocus);

    // Alt+G reaches the "&Go" of the page that shows, and only that one (a mnemonic clicks after
    // a short animation).
    QSignalSpy carGo(form->carOrganizerUi.FindButton2, &QPushButton::clicked);
    pages->setCurrentWidget(form->ui.TabSheet3);
    pressKey(form.get(), Qt::Key_G, Qt::AltModifier);
    QTRY_COMPARE(carGo.count(), 1);
    QCOMPARE(lo.FoundFiles->topLevelItemCount(), 0);
    pages->setCurrentWidget(form->ui.TabSheet2);
    pressKey(form.get(), Qt::Key_G, Qt::AltModifier);
    QTRY_COMPARE(lo.FoundFiles->topLevelItemCount(), 2);
    QCOMPARE(lo.FoundFiles2->topLevelItemCount(), 1);
    QCOMPARE(carGo.count(), 1);

    // Enter on the focused button presses it: Go runs again (the lists are refilled).
    lo.FoundFiles->clear();
    lo.Findbutton->setFocus();
    pressKey(lo.Findbutton, Qt::Key_Return);
    QCOMPARE(lo.FoundFiles->topLevelItemCount(), 2);

    // Enter on a row that only has the keyboard focus selects it and opens its info file, as a
    // double click on it would; on each list.
    co.FindButton2->click();
    struct ListCase {
      QTreeWidget* list;
      QLineEdit* nameBox;
      std::string parent;
      std::string file;  // the file opened; empty: the level's info file
    };
    for (const ListCase& c : {ListCase{lo.FoundFiles, lo.Edit4, game + "/levels/", ""},
                              ListCase{lo.FoundFiles2, lo.lvlname2, game + "/un_levels/", ""},
                              ListCase{co.Foundfiles3, co.Edit10, game + "/cars/", "parameters.txt"}}) {
      opened_.clear();
      c.list->setFocus();
      const QModelIndex last = c.list->model()->index(c.list->topLevelItemCount() - 1, 0);
      c.list->selectionModel()->setCurrentIndex(last, QItemSelectionModel::Clear);
      QVERIFY(c.list->selectedItems().isEmpty());
      pressKey(c.list, Qt::Key_Enter, Qt::KeypadModifier);
      QCOMPARE(c.list->selectedItems().size(), 1);
      const std::string caption = c.list->selectedItems()[0]->text(0).toStdString();
      QCOMPARE(c.nameBox->text().toStdString(), caption + " track");
      QCOMPARE(opened_.size(), std::size_t(1));
      QCOMPARE(opened_[0].file, c.file.empty() ? caption + ".inf" : c.file);
      QVERIFY(opened_[0].folder.rfind(c.parent + caption, 0) == 0);
      // With a modifier held Enter is left to the list.
      pressKey(c.list, Qt::Key_Return, Qt::ControlModifier);
      QCOMPARE(opened_.size(), std::size_t(1));
    }

    enterOnTheRenamersFileList(*form, game, pages, boxes);
  }

  void greenListsFrameTheFocusedRow() {
    const Game tree;
    const std::string& game = tree.dir;
    auto form = tree.openShown();
    form->levelOrganizerUi.Findbutton->click();
    form->renamerUi.DirectoryListBox2->setDirectory(game + "/levels/alpha");
    struct ListCase {
      QWidget* page;
      QAbstractItemView* list;
      int row;
    };
    const ListCase cases[] = {
        {form->ui.TabSheet6, form->changeDirectoryUi.DirectoryListBox1, 0},
        {form->ui.TabSheet1, form->renamerUi.DirectoryListBox2, 1},
        {form->ui.TabSheet1, form->renamerUi.FileListBox1, 0},
        {form->ui.TabSheet2, form->levelOrganizerUi.FoundFiles, 1},
        {form->ui.TabSheet2, form->levelOrganizerUi.FoundFiles2, 0},
    };
    for (const ListCase& c : cases) {
      form->ui.PageControl1->setCurrentWidget(c.page);
      const QModelIndex index = c.list->model()->index(c.row, 0);
      QVERIFY2(index.isValid(), qPrintable(c.list->objectName()));
      c.list->selectionModel()->clearSelection();
      c.list->selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
      form->ui.PageControl1->setFocus();
      QVERIFY2(lightEdgePixels(c.list, index) == 0, qPrintable(c.list->objectName()));
      c.list->setFocus();
      QVERIFY(c.list->hasFocus());
      QVERIFY2(lightEdgePixels(c.list, index) >= 5, qPrintable(c.list->objectName()));
    }
  }

  void iconsFollowTheThemeAndDrawSharpWithout() {
    // Without a theme icon: the drawn picture, with twice the pixels at twice the ratio.
    const QIcon drawn = themeIcon(QStringLiteral("pitkit-no-such-icon"), QSize(16, 16), [](QPainter& p) {
      p.fillRect(QRectF(0, 0, 8, 16), Qt::red);
      p.fillRect(QRectF(8, 0, 8, 16), Qt::blue);
    });
    for (qreal ratio : {1.0, 2.0}) {
      const QPixmap pixmap = drawn.pixmap(QSize(16, 16), ratio);
      QCOMPARE(pixmap.size(), QSize(16, 16) * ratio);
      const QImage image = pixmap.toImage();
      // The edge between the halves is as sharp at 2 as at 1: no blended column.
      const int edge = static_cast<int>(8 * ratio);
      QCOMPARE(image.pixelColor(edge - 1, 4), QColor(Qt::red));
      QCOMPARE(image.pixelColor(edge, 4), QColor(Qt::blue));
    }

    // A theme with folder and drive icons: the lists and the drive selector show them.
    TempDir themes;
    const std::string theme = themes.path() + "/pitkit-test";
    writeFile(theme + "/index.theme",
              "[Icon Theme]\nName=pitkit-test\nDirectories=16x16/places,16x16/devices\n"
              "[16x16/places]\nSize=16\nType=Fixed\n[16x16/devices]\nSize=16\nType=Fixed\n");
    const std::pair<const char*, Qt::GlobalColor> themed[] = {
        {"16x16/places/folder.png", Qt::magenta}, {"16x16/places/folder-open.png", Qt::cyan},
        {"16x16/devices/drive-harddisk.png", Qt::yellow}};
    for (const auto& [file, colour] : themed) {
      QImage image(16, 16, QImage::Format_ARGB32);
      image.fill(colour);
      makeDirs(QFileInfo(QString::fromStdString(theme + "/" + file)).path().toStdString());
      QVERIFY(image.save(QString::fromStdString(theme + "/" + file)));
    }
    QIcon::setThemeSearchPaths({QString::fromStdString(themes.path())});
    QIcon::setThemeName(QStringLiteral("pitkit-test"));

    TempDir tmp;
    makeDirs(tmp / "a/b");
    setCurrentDir(tmp / "a");
    TDirectoryListBox list;
    TDriveComboBox drives;
    drives.setDirList(&list);
    QCOMPARE(iconCentre(list.item(list.openRow())->icon(), 1), QColor(Qt::cyan));
    QCOMPARE(iconCentre(list.item(list.openRow() + 1)->icon(), 2), QColor(Qt::magenta));
    QIcon::setThemeName(QString());
    PITKIT_OPEN_ON_WINE_QT("the drive box shows no drive, so no drive icon");
    QIcon::setThemeName(QStringLiteral("pitkit-test"));
    QCOMPARE(iconCentre(drives.itemIcon(drives.currentIndex()), 1), QColor(Qt::yellow));
    QIcon::setThemeName(QString());
  }

  void coloursStayReadableUnderADarkPalette() {
    const Game tree;
    const QPalette light = QApplication::palette();
    const QColor green(0, 128, 0);
    struct Check {
      const char* name;
      QWidget* (*control)(TForm1&);
      QPalette::ColorRole textRole, backRole;
      QColor documented;  // the colour the documents fix, on the side they fix it
      bool documentedIsText;
    };
    const Check checks[] = {
        {"OName", [](TForm1& f) -> QWidget* { return f.renamerUi.OName; }, QPalette::Text, QPalette::Base,
         QColor(Qt::white), false},
        {"BitBtn4", [](TForm1& f) -> QWidget* { return f.levelOrganizerUi.BitBtn4; }, QPalette::ButtonText,
         QPalette::Button, QColor(Qt::blue), true},
        {"BitBtn5", [](TForm1& f) -> QWidget* { return f.levelOrganizerUi.BitBtn5; }, QPalette::ButtonText,
         QPalette::Button, QColor(Qt::red), true},
        {"Findbutton", [](TForm1& f) -> QWidget* { return f.levelOrganizerUi.Findbutton; }, QPalette::ButtonText,
         QPalette::Button, green, true},
        {"FoundFiles", [](TForm1& f) -> QWidget* { return f.levelOrganizerUi.FoundFiles; }, QPalette::Text,
         QPalette::Base, green, false},
    };

    // The light palette the colours were chosen for: every face is the platform's.
    {
      auto form = tree.openShown();
      for (const Check& c : checks) {
        if (qstrcmp(c.name, "FoundFiles") == 0) continue;  // both of its colours are documented
        const QPalette::ColorRole platformSide = c.documentedIsText ? c.backRole : c.textRole;
        QVERIFY2(c.control(*form)->palette().color(platformSide) == light.color(platformSide), c.name);
      }
    }

    QPalette dark = light;
    dark.setColor(QPalette::Window, QColor(45, 45, 48));
    dark.setColor(QPalette::Button, QColor(45, 45, 48));
    dark.setColor(QPalette::Base, QColor(30, 30, 32));
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text})
      dark.setColor(role, QColor(230, 230, 230));
    QApplication::setPalette(dark);
    {
      auto form = tree.openShown();
      for (const Check& c : checks) {
        QWidget* w = c.control(*form);
        const QPalette palette = w->palette();
        QVERIFY2(palette.color(c.documentedIsText ? c.textRole : c.backRole) == c.documented, c.name);
        QVERIFY2(contrastRatio(palette.color(c.textRole), palette.color(c.backRole)) >= 3.0, c.name);
      }
      // A platform colour that reads well stays the platform's.
      QCOMPARE(form->renamerUi.NName->palette().color(QPalette::Base), QColor(30, 30, 32));
      QCOMPARE(form->levelOrganizerUi.Button2->palette().color(QPalette::Button), QColor(45, 45, 48));
    }
    QApplication::setPalette(light);
  }
};

QTEST_MAIN(DesktopTest)
#include "desktop_test.moc"
