// A game made on Windows, kept on a Linux file system: its folders and files in any letter case,
// its folders listed in the raw order of the disk, names in the old 8-bit character set. The real
// main window, clicked and typed into through its window.
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <QWindow>
#include <algorithm>
#include <cstdlib>
#include <random>

#include "platform/DirectoryListBox.h"
#include "platform/FileSystem.h"
#include "shell/Unit1.h"
#include "support/JpegWriter.h"
#include "support/ModalWatch.h"
#include "support/OrganizerTest.h"
#include "support/TempDir.h"

using namespace pitkit;
using pitkit::test::GameTree;
using pitkit::test::makeDirs;
using pitkit::test::ModalWatch;
using pitkit::test::q;
using pitkit::test::writeBitmap;
using pitkit::test::writeFile;

namespace {

void writeLevel(const std::string& folder, const std::string& infoName, const std::string& name) {
  writeFile(folder + "/" + infoName, "Torvane .INF file structure\r\nNAME '" + name + "'\r\n");
}

void writeCar(const std::string& folder, const std::string& name, const std::string& texturePage) {
  writeFile(folder + "/parameters.txt",
            "Name \"" + name + "\"\r\n; Model Filenames\r\nTPAGE \"" + texturePage + "\"\r\n");
}

bool shows(const QLabel* box, QColor colour) {
  const QImage image = box->pixmap().toImage();
  if (image.isNull()) return false;
  const QColor c = image.pixelColor(image.width() / 2, image.height() / 2);
  return std::abs(c.red() - colour.red()) < 8 && std::abs(c.green() - colour.green()) < 8 &&
         std::abs(c.blue() - colour.blue()) < 8;
}

// The captions of a list in the order it shows them.
QStringList rows(const QTreeWidget* list) {
  QStringList out;
  for (int i = 0; i < list->topLevelItemCount(); ++i) out << list->topLevelItem(i)->text(0);
  return out;
}

// The main window shown on `page`, so that clicks reach its controls.
struct Window {
  std::unique_ptr<TForm1> form;
  Window(const GameTree& game, QWidget* (*page)(TForm1&)) : form(game.open()) {
    form->ui.PageControl1->setCurrentWidget(page(*form));
    form->show();
    if (!QTest::qWaitForWindowExposed(form.get())) qFatal("the main window did not show");
  }
  // A person's click on `widget` (at `at`, its centre by default) through the window system.
  void click(QWidget* widget, QPoint at = QPoint(-1, -1)) {
    QVERIFY2(widget->isVisible(), qPrintable(widget->objectName()));
    const QPoint point =
        widget->mapTo(form.get(), at == QPoint(-1, -1) ? widget->rect().center() : at);
    QTest::mouseClick(form->windowHandle(), Qt::LeftButton, {}, point);
  }
  void clickItem(QTreeWidget* list, const QString& caption) {
    QTreeWidgetItem* item = test::findItem(list, caption);
    QVERIFY2(item != nullptr, qPrintable(caption));
    list->scrollToItem(item);
    click(list->viewport(), list->visualItemRect(item).center());
    QVERIFY(item->isSelected());
  }
};

QWidget* levelPage(TForm1& f) { return f.ui.TabSheet2; }
QWidget* carPage(TForm1& f) { return f.ui.TabSheet3; }
QWidget* renamerPage(TForm1& f) { return f.ui.TabSheet1; }

}  // namespace

class GameCaseTest : public QObject {
  Q_OBJECT
  pitkit::test::ShellOpenRecorder opened_;

 private slots:
  void levelsInAnyCaseAreListedShownAndMovedWithinTheGamesOwnFolders() {
    ModalWatch watch;
    GameTree game;
    writeLevel(game / "Levels/desert run", "desert run.inf", "Desert Run");
    writeFile(game / "Levels/desert run/ReadMe.txt", "read me");
    writeLevel(game / "Levels/mytrack", "mytrack.inf", "My Track");
    writeLevel(game / "UN_LEVELS/Stored", "Stored.inf", "Stored");
    makeDirs(game / "UN_LEVELS/MyTrack");  // the name mytrack is taken there, in another case
    writeBitmap(game / "GFX/Desert Run.bmp", 8, Qt::green);
    writeBitmap(game / "GFX/PELLMOOR.BMP", 8, Qt::gray);
    Window w(game, levelPage);
    auto& u = w.form->levelOrganizerUi;

    QVERIFY(u.Findbutton->isEnabled());
    w.click(u.Findbutton);
    QCOMPARE(rows(u.FoundFiles),
             (QStringList{QStringLiteral("desert run"), QStringLiteral("mytrack")}));
    QCOMPARE(rows(u.FoundFiles2), QStringList{QStringLiteral("Stored")});
    QCOMPARE(u.Edit2->text(), QStringLiteral("2  "));
    QCOMPARE(u.Edit3->text(), QStringLiteral("1  "));
    QVERIFY(!directoryExists(game / "un_levels"));

    w.clickItem(u.FoundFiles, QStringLiteral("desert run"));
    QCOMPARE(u.Edit4->text(), QStringLiteral("Desert Run"));
    QVERIFY(shows(u.Image2, Qt::green));
    QVERIFY(u.viewreadme->isEnabled());
    w.click(u.viewreadme);
    QCOMPARE(opened_.back().file, std::string("ReadMe.txt"));
    QCOMPARE(opened_.back().folder, game / "Levels/desert run/");
    w.clickItem(u.FoundFiles2, QStringLiteral("Stored"));
    QVERIFY(shows(u.Image2, Qt::gray));  // no preview of its own: the game's pellmoor.bmp
    QVERIFY(!u.viewreadme->isEnabled());
    QCOMPARE(watch.boxes.size(), 0);

    // Uninstall goes into the game's own UN_LEVELS; mytrack is refused there, as MyTrack is taken.
    w.clickItem(u.FoundFiles, QStringLiteral("desert run"));
    w.click(u.BitBtn4);
    QCOMPARE(watch.boxes.size(), 0);
    QVERIFY(directoryExists(game / "UN_LEVELS/desert run"));
    QVERIFY(!directoryExists(game / "un_levels"));
    QCOMPARE(rows(u.FoundFiles2),
             (QStringList{QStringLiteral("desert run"), QStringLiteral("Stored")}));
    w.clickItem(u.FoundFiles, QStringLiteral("mytrack"));
    w.click(u.BitBtn4);
    QCOMPARE(watch.boxes.size(), 1);
    QCOMPARE(watch.boxes[0].text, q("Cannot move mytrack to " + game.dir +
                                    "/UN_LEVELS: an entry named MyTrack is "
                                    "already there."));
    QVERIFY(fileExists(game / "Levels/mytrack/mytrack.inf"));
    QVERIFY(directoryExists(game / "UN_LEVELS/MyTrack"));
    // Install brings a level back into Levels, and no second levels folder is made.
    w.clickItem(u.FoundFiles2, QStringLiteral("Stored"));
    w.click(u.BitBtn6);
    QVERIFY(fileExists(game / "Levels/Stored/Stored.inf"));
    QVERIFY(!directoryExists(game / "levels"));
    QCOMPARE(rows(u.FoundFiles),
             (QStringList{QStringLiteral("mytrack"), QStringLiteral("Stored")}));
    QCOMPARE(watch.boxes.size(), 1);
  }

  void carsInAnyCaseShowTheirPicturesAndTexturePages() {
    ModalWatch watch;
    GameTree game;
    makeDirs(game / "levels");
    writeCar(game / "Cars/MyCar", "My Car", "cars\\MyCar\\Car.bmp");
    writeFile(game / "Cars/MyCar/MYCAR.JPG", test::jpegBytes(16, 16, 255, 0, 0));
    writeBitmap(game / "Cars/MyCar/car.BMP", 8, Qt::green);
    writeCar(game / "Cars/Speedy", "Speedy", "cars\\speedy\\paint\\tex.bmp");
    writeBitmap(game / "Cars/Speedy/Paint/TEX.bmp", 8, Qt::yellow);
    writeCar(game / "Garage/GCar", "Garage Car", "cars\\GCar\\skin.bmp");
    writeFile(game / "Garage/GCar/gcar.jpg", test::jpegBytes(16, 16, 0, 0, 255));
    writeBitmap(game / "Garage/GCar/Skin.Bmp", 8, Qt::cyan);
    writeCar(game / "Garage/bare", "Bare", "");
    writeBitmap(game / "NoAvail.bmp", 8, Qt::magenta);
    Window w(game, carPage);
    auto& c = w.form->carOrganizerUi;

    w.click(c.FindButton2);
    QCOMPARE(rows(c.Foundfiles3), (QStringList{QStringLiteral("MyCar"), QStringLiteral("Speedy")}));
    QCOMPARE(rows(c.foundfiles4), (QStringList{QStringLiteral("bare"), QStringLiteral("GCar")}));
    QCOMPARE(c.Edit6->text(), QStringLiteral("2  "));
    QVERIFY(!directoryExists(game / "garage"));

    w.clickItem(c.Foundfiles3, QStringLiteral("MyCar"));
    QVERIFY(shows(c.Image9, Qt::red));
    QVERIFY(shows(c.Image3, Qt::green));
    w.clickItem(c.Foundfiles3, QStringLiteral("Speedy"));
    QVERIFY(shows(c.Image3, Qt::yellow));
    w.clickItem(c.foundfiles4, QStringLiteral("GCar"));
    QCOMPARE(c.Edit8->text(), QStringLiteral("Garage Car"));
    QVERIFY(shows(c.Image9, Qt::blue));
    QVERIFY(shows(c.Image3, Qt::cyan));
    w.clickItem(c.foundfiles4, QStringLiteral("bare"));
    QVERIFY(shows(c.Image9, Qt::magenta));  // the game's NoAvail.bmp, no "Cannot open file" box
    QCOMPARE(watch.boxes.size(), 0);

    // Install moves into the game's own Cars folder.
    w.click(c.BitBtn10);
    QCOMPARE(watch.boxes.size(), 0);
    QVERIFY(fileExists(game / "Cars/bare/parameters.txt"));
    QVERIFY(!directoryExists(game / "cars"));
  }

  void theRenamerRefusesANameTakenInAnotherCase() {
    ModalWatch watch;
    GameTree game;
    writeLevel(game / "levels/oldtrack", "oldtrack.inf", "Old");
    makeDirs(game / "levels/kestrel001");
    Window w(game, renamerPage);
    auto& r = w.form->renamerUi;
    for (QLineEdit* box : {r.OName, r.NName}) {
      w.click(box);
      QTest::keyClick(w.form->windowHandle(), Qt::Key_A, Qt::ControlModifier);
      for (const char ch : std::string(box == r.OName ? "oldtrack" : "Kestrel001"))
        QTest::keyClick(w.form->windowHandle(), ch);
    }
    QCOMPARE(r.NName->text(), QStringLiteral("Kestrel001"));
    w.click(r.BitBtn2);
    QCOMPARE(watch.boxes.size(), 1);
    QCOMPARE(watch.boxes[0].text, QStringLiteral("Level: Kestrel001 already exists!"));
    QVERIFY(!r.bitbtn1->isVisible());
    QVERIFY(directoryExists(game / "levels/oldtrack"));
  }

  void listsReadInNameOrderAndOldNamesReadInTheGamesCharacterSet() {
    ModalWatch watch;
    GameTree game;
    QStringList names;
    for (int i = 0; i < 40; ++i) {
      // Mixed capitals, so that byte order and name order differ.
      const QString word =
          QStringLiteral("%1rack%2").arg(QChar(u'a' + i % 20)).arg(i, 2, 10, QLatin1Char('0'));
      names << (i % 3 == 0   ? word.toUpper()
                : i % 3 == 1 ? word
                             : word.left(1).toUpper() + word.mid(1));
    }
    QStringList shuffled = names;
    std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(7));
    for (const QString& name : shuffled) {
      const std::string n = name.toStdString();
      writeLevel(game / ("levels/" + n), n + ".inf", n);
      writeCar(game / ("cars/" + n), n, "");
      writeCar(game / ("garage/" + n + "x"), n, "");
    }
    writeLevel(game / "levels/Fran\xE7ois", "Fran\xE7ois.inf", "Fran\xE7ois");
    writeBitmap(game / "gfx/pellmoor.bmp", 8, Qt::gray);
    QStringList expected = names;
    expected << QStringLiteral("François");
    std::sort(expected.begin(), expected.end(), [](const QString& a, const QString& b) {
      return a.compare(b, Qt::CaseInsensitive) < 0;
    });
    QStringList expectedCars = expected;
    expectedCars.removeAll(QStringLiteral("François"));
    QStringList expectedGarage;
    for (const QString& name : expectedCars) expectedGarage << name + QLatin1Char('x');

    Window w(game, levelPage);
    // The renamer's folder list names the folder the same way, and opens it by its bytes.
    auto* folders = w.form->renamerUi.DirectoryListBox2;
    const QList<QListWidgetItem*> francois =
        folders->findItems(QStringLiteral("François"), Qt::MatchExactly);
    QCOMPARE(francois.size(), 1);
    QCOMPARE(folders->itemPath(folders->row(francois[0])), game / "levels/Fran\xE7ois");

    auto& u = w.form->levelOrganizerUi;
    w.click(u.Findbutton);
    QCOMPARE(rows(u.FoundFiles), expected);
    // The 8-bit name is shown in the game's character set and still acted on by its bytes.
    w.clickItem(u.FoundFiles, QStringLiteral("François"));
    QCOMPARE(u.Edit4->text(), QStringLiteral("François"));
    QCOMPARE(w.form->LevelUninstallFrom, game / "levels/Fran\xE7ois");
    w.click(u.BitBtn4);
    QVERIFY(fileExists(game / "un_levels/Fran\xE7ois/Fran\xE7ois.inf"));
    QCOMPARE(rows(u.FoundFiles2), QStringList{QStringLiteral("François")});

    w.form->ui.PageControl1->setCurrentWidget(w.form->ui.TabSheet3);
    auto& c = w.form->carOrganizerUi;
    w.click(c.FindButton2);
    QCOMPARE(rows(c.Foundfiles3), expectedCars);
    QCOMPARE(rows(c.foundfiles4), expectedGarage);

    QVERIFY2(watch.boxes.isEmpty(), qPrintable(watch.boxes.value(0).text));
  }
};

QTEST_MAIN(GameCaseTest)
#include "game_case_test.moc"
