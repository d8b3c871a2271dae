// A game made on Windows and kept on a Linux file system: folders and files in any letter case,
// folders listed in the disk's raw order, names in the old 8-bit character set, the game inside a
// Wine prefix. The real main window, clicked and typed into through its window.
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QWindow>
#include <algorithm>
#include <random>

#include "platform/DirectoryListBox.h"
#include "platform/FileSystem.h"
#include "support/LinuxOnly.h"
#include "support/JpegWriter.h"
#include "support/ModalAnswerer.h"
#include "support/GameTree.h"
#include "support/WindowHarness.h"

using namespace pitkit;
using namespace pitkit::test;

namespace {

void writeLevel(const std::string& folder, const std::string& name) {
  writeFile(folder + "/" + name + ".inf", "Torvane .INF file structure\r\nNAME '" + name + "'\r\n");
}
void writeCar(const std::string& folder, const std::string& texturePage = "") {
  writeFile(folder + "/parameters.txt",
            "Name \"x\"\r\n; Model Filenames\r\nTPAGE \"" + texturePage + "\"\r\n");
}
QStringList rows(const QTreeWidget* list) {  // in the order shown
  QStringList out;
  for (int i = 0; i < list->topLevelItemCount(); ++i) out << list->topLevelItem(i)->text(0);
  return out;
}

// The main window on a page; a person's clicks reach its controls through the window system.
struct Window {
  std::unique_ptr<TForm1> form;
  Window(const GameTree& game, QWidget* page) : form(game.open()) { show(page); }
  void show(QWidget* page) {
    form->ui.PageControl1->setCurrentWidget(page == nullptr ? form->ui.TabSheet2 : page);
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
  }
  void click(QWidget* w, QPoint at = QPoint(-1, -1)) {
    QVERIFY(w->isVisible());
    QTest::mouseClick(form->windowHandle(), Qt::LeftButton, {},
                      w->mapTo(form.get(), at.x() < 0 ? w->rect().center() : at));
  }
  void click(QTreeWidget* list, const char* caption) {
    QTreeWidgetItem* item = findItem(list, QString::fromUtf8(caption));
    QVERIFY2(item != nullptr, caption);
    click(list->viewport(), list->visualItemRect(item).center());
  }
};

}  // namespace

class GameCaseTest : public QObject {
  Q_OBJECT
  ShellOpenRecorder opened_;

 private slots:
  void aGameInAnyCaseIsShownAndMovedWithinItsOwnFolders() {
    ModalAnswerer watch;
    GameTree game;
    writeLevel(game / "Levels/desert run", "desert run");
    writeFile(game / "Levels/desert run/ReadMe.txt", "");
    writeLevel(game / "Levels/mytrack", "mytrack");
    writeLevel(game / "UN_LEVELS/Stored", "Stored");
    makeDirs(game / "UN_LEVELS/MyTrack");  // the name mytrack, taken in another case
    writeBitmap(game / "GFX/Desert Run.bmp", 8, Qt::green);
    writeBitmap(game / "GFX/PELLMOOR.BMP", 8, Qt::gray);
    writeCar(game / "Cars/MyCar", "cars\\MyCar\\Car.bmp");
    writeFile(game / "Cars/MyCar/MYCAR.JPG", jpegBytes(16, 16, 255, 0, 0));
    writeBitmap(game / "Cars/MyCar/car.BMP", 8, Qt::green);
    writeCar(game / "Cars/Speedy", "cars\\speedy\\paint\\tex.bmp");
    writeBitmap(game / "Cars/Speedy/Paint/TEX.bmp", 8, Qt::yellow);
    writeCar(game / "Garage/GCar");
    writeFile(game / "Garage/GCar/gcar.jpg", jpegBytes(16, 16, 0, 0, 255));
    writeCar(game / "Garage/bare");
    writeBitmap(game / "NoAvail.bmp", 8, Qt::magenta);
    Window w(game, nullptr);
    auto& u = w.form->levelOrganizerUi;
    w.click(u.Findbutton);
    QCOMPARE(rows(u.FoundFiles),
             (QStringList{QStringLiteral("desert run"), QStringLiteral("mytrack")}));
    QCOMPARE(rows(u.FoundFiles2), QStringList{QStringLiteral("Stored")});
    QCOMPARE(u.Edit3->text(), QStringLiteral("1  "));
    w.click(u.FoundFiles, "desert run");
    QVERIFY(shows(u.Image2, Qt::green));
    w.click(u.viewreadme);
    QCOMPARE(opened_.back().file, std::string("ReadMe.txt"));
    w.click(u.FoundFiles2, "Stored");
    QVERIFY(shows(u.Image2, Qt::gray));
    QVERIFY(!u.viewreadme->isEnabled());
    // Uninstall goes into UN_LEVELS, and refuses mytrack there; Install goes back into Levels.
    w.click(u.FoundFiles, "desert run");
    w.click(u.BitBtn4);
    w.click(u.FoundFiles, "mytrack");
    w.click(u.BitBtn4);
    w.click(u.FoundFiles2, "Stored");
    w.click(u.BitBtn6);
    QCOMPARE(watch.boxes.size(), 1);
    QCOMPARE(watch.boxes[0].text, q("Cannot move mytrack to " + game.dir +
                                    "/UN_LEVELS: an entry named MyTrack is already there."));
    QCOMPARE(rows(u.FoundFiles),
             (QStringList{QStringLiteral("mytrack"), QStringLiteral("Stored")}));
    QCOMPARE(rows(u.FoundFiles2), QStringList{QStringLiteral("desert run")});
    // No folder of the other spelling was made (looked for by name: Windows finds any spelling).
    QVERIFY(!namesIn(game.dir).count("un_levels") && !namesIn(game.dir).count("levels"));

    auto& c = w.form->carOrganizerUi;
    w.show(w.form->ui.TabSheet3);
    w.click(c.FindButton2);
    QCOMPARE(rows(c.foundfiles4), (QStringList{QStringLiteral("bare"), QStringLiteral("GCar")}));
    w.click(c.Foundfiles3, "MyCar");
    QVERIFY(shows(c.Image9, Qt::red) && shows(c.Image3, Qt::green));
    w.click(c.Foundfiles3, "Speedy");
    QVERIFY(shows(c.Image3, Qt::yellow));
    w.click(c.foundfiles4, "GCar");
    QVERIFY(shows(c.Image9, Qt::blue));
    w.click(c.foundfiles4, "bare");
    QVERIFY(shows(c.Image9, Qt::magenta));  // the game's NoAvail.bmp
    w.click(c.BitBtn10);
    QVERIFY(fileExists(game / "Cars/bare/parameters.txt"));
    QVERIFY(!namesIn(game.dir).count("cars") && !namesIn(game.dir).count("garage"));
    QCOMPARE(watch.boxes.size(), 1);

    // The renamer refuses a name taken in another case.
    w.show(w.form->ui.TabSheet1);
    w.click(w.form->renamerUi.NName);
    QTest::keyClick(w.form->windowHandle(), Qt::Key_A, Qt::ControlModifier);
    for (const char ch : std::string("MyTrack")) QTest::keyClick(w.form->windowHandle(), ch);
    w.click(w.form->renamerUi.BitBtn2);
    QCOMPARE(watch.boxes.size(), 2);
    QCOMPARE(watch.boxes[1].text, QStringLiteral("Level: MyTrack already exists!"));
  }

  void listsReadInNameOrderAndOldNamesInTheGamesCharacterSet() {
    ModalAnswerer watch;
    GameTree game;
    QStringList names;
    for (int i = 0; i < 40; ++i) {  // mixed capitals: byte order and name order differ
      const QString word = QStringLiteral("%1rack%2").arg(QChar(u'a' + i % 20)).arg(i);
      names << (i % 3 == 0   ? word.toUpper()
                : i % 3 == 1 ? word
                             : word.left(1).toUpper() + word.mid(1));
    }
    QStringList made = names;
    std::shuffle(made.begin(), made.end(), std::mt19937(7));
    for (const QString& name : made) {
      writeLevel(game / ("levels/" + name.toStdString()), name.toStdString());
      writeCar(game / ("cars/" + name.toStdString()));
    }
    // A name in the game's 8-bit character set (not UTF-8): Linux only, Windows names are UTF-16.
    if (kOnLinux) writeLevel(game / "levels/Fran\xE7ois", "Fran\xE7ois");
    writeBitmap(game / "gfx/pellmoor.bmp", 8, Qt::gray);
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
      return a.compare(b, Qt::CaseInsensitive) < 0;
    });
    Window w(game, nullptr);
    w.click(w.form->levelOrganizerUi.Findbutton);
    QStringList levels = names;
    if (kOnLinux) levels.insert(names.indexOf(QStringLiteral("Frack5")) + 1, QStringLiteral("François"));
    QCOMPARE(rows(w.form->levelOrganizerUi.FoundFiles), levels);
    if (kOnLinux) {
      w.click(w.form->levelOrganizerUi.FoundFiles, "François");
      QCOMPARE(w.form->LevelUninstallFrom, game / "levels/Fran\xE7ois");  // acted on by its bytes
      QCOMPARE(w.form->levelOrganizerUi.Edit4->text(), QStringLiteral("François"));
      const auto* folders = w.form->renamerUi.DirectoryListBox2;
      QCOMPARE(folders->findItems(QStringLiteral("François"), Qt::MatchExactly).size(), 1);
    }
    w.show(w.form->ui.TabSheet3);
    w.click(w.form->carOrganizerUi.FindButton2);
    QCOMPARE(rows(w.form->carOrganizerUi.Foundfiles3), names);
    QCOMPARE(watch.boxes.size(), 0);
  }

  void findGameFoldersOpensTheOneChosen() {
    PITKIT_LINUX_ONLY_QT("game folders in the user's Wine prefix under $HOME (Windows has its drives)");
    ModalAnswerer watch;
    GameTree start;
    TempDir home;
    const std::string torvane = home / ".wine/drive_c/Games/Torvane";
    makeDirs(torvane + "/Levels");
    makeDirs(torvane + "/Cars");
    const QByteArray oldHome = qgetenv("HOME");
    qputenv("HOME", QByteArray::fromStdString(home.path()));
    qunsetenv("WINEPREFIX");
    Window w(start, nullptr);
    QTRY_VERIFY(w.form->changeDirectoryUi.DriveComboBox1->findText(q(home / ".wine/drive_c")) >= 0);
    QString said;
    watch.onOtherModal = [&](QWidget* dialog) {
      if (!said.isEmpty()) return;
      said = dialog->findChild<QLabel*>(QStringLiteral("Label1"))->text();
      const auto* list = dialog->findChild<QListWidget*>(QStringLiteral("GameList"));
      said += list->isVisible() ? QLatin1Char('\n') + list->item(0)->text() : QString();
      QTest::keyClick(dialog->windowHandle(), list->isVisible() ? Qt::Key_Return : Qt::Key_Escape);
    };
    for (int round = 0; round < 2; ++round) {  // File > Find Game Folders..., by its keys
      said.clear();
      w.form->activateWindow();
      QVERIFY(QTest::qWaitForWindowActive(w.form.get()));
      QTest::keyClick(w.form->windowHandle(), Qt::Key_F, Qt::AltModifier);
      QTRY_VERIFY(QApplication::activePopupWidget() != nullptr);
      QTest::keyClick(QApplication::activePopupWidget()->windowHandle(), Qt::Key_F);
      QTRY_VERIFY(!said.isEmpty());
      // A game folder found opens on "Change Directory"; with none it says where it looked.
      QVERIFY(said.contains(round == 0 ? q('\n' + torvane) : q(home / ".wine/drive_c")));
      QCOMPARE(w.form->GameDirectory, torvane);
      QCOMPARE(w.form->ui.PageControl1->currentWidget(), w.form->ui.TabSheet6);
      removeTree(home / ".wine");
    }
    qputenv("HOME", oldHome);
  }
};

QTEST_MAIN(GameCaseTest)
#include "game_case_test.moc"
