// The "Car Organizer" tab on the real main window: the name, picture and texture page of both
// lists, Go without a cars folder, a car below a pack folder, and a car search and a level search
// that must not stop or fill each other. What the car and level pages do alike is tested over
// both in organizer_pages_test.
#include "platform/Posix.h"

#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <filesystem>

// libjpeg's error codes.
// clang-format off
#include <cstdio>
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include "platform/DirectoryListBox.h"
#include "platform/FileSystem.h"
#include "shell/Unit1.h"
#include "support/GameTree.h"
#include "support/LinuxOnly.h"
#include "support/ModalAnswerer.h"
#include "support/OrganizerTab.h"
#include "support/WindowTestEntries.h"
#include "support/WindowHarness.h"

using namespace pitkit;
using namespace pitkit::test;
namespace fs = std::filesystem;

namespace {

using Game = OrganizerGame;

void go(TForm1& form) { clickGo(form, carSide()); }

}  // namespace

class CarPageTest : public QObject {
  Q_OBJECT

  void garageDetailsAndMissingFiles(TForm1& form, const GameTree& game, ModalAnswerer& watch) {
    auto& c = form.carOrganizerUi;
    // The garage side: its own name box and paths, the texture page rewritten into the garage.
    select(c.foundfiles4, QStringLiteral("blue"));
    QCOMPARE(c.Edit8->text(), QStringLiteral("Blue Bird"));
    QCOMPARE(form.CarInstallFrom, game / "garage/blue");
    QCOMPARE(form.CarInstallTo, game / "cars/blue");
    QCOMPARE(c.Edit11->text(), QStringLiteral("garage\\blue\\tex.bmp"));
    QVERIFY(shows(c.Image9, Qt::blue));
    QVERIFY(shows(c.Image3, Qt::yellow));
    // Without a picture the game's noavail.bmp; when that is missing, the error and the texture
    // page left as it was.
    select(c.foundfiles4, QStringLiteral("nopic2"));
    QVERIFY(shows(c.Image9, Qt::magenta));
    QVERIFY(shows(c.Image3, Qt::cyan));
    select(c.foundfiles4, QStringLiteral("blue"));
    fs::remove(game / "noavail.bmp");
    select(c.foundfiles4, QStringLiteral("nopic2"));
    QCOMPARE(watch.boxes.size(), 3);
    QCOMPARE(watch.boxes[2].text, q("Cannot open file " + game.dir + "/noavail.bmp."));
    QCOMPARE(c.Edit8->text(), QStringLiteral("No Picture"));
    QVERIFY(shows(c.Image3, Qt::yellow));

    // A car whose parameter file has gone: the file error; the paths are set, the rest kept.
    fs::remove_all(game / "cars/red");
    select(c.Foundfiles3, QStringLiteral("red"));
    QCOMPARE(watch.boxes.size(), 4);
    QCOMPARE(watch.boxes[3].text, QStringLiteral("File not found."));
    QCOMPARE(form.CarUninstallFrom, game / "cars/red");
    QCOMPARE(c.Edit10->text(), QStringLiteral("Bad Texture"));
    QVERIFY(!fs::exists(game / "cars/red"));
    QVERIFY(fileExists(game / "cars/badjpg/badjpg.jpg"));
  }

  void carSearchOfTheFirstGameLevelsOfTheSecond(TForm1& form, const GameTree& first, const GameTree& second, ModalAnswerer& watch, int& carGarageFolders) {
    auto& c = form.carOrganizerUi;
    auto& l = form.levelOrganizerUi;
    // The other way round: a car search of the first game, the levels of the second.
    form.changeDirectoryUi.DirectoryListBox1->setDirectory(first.dir);
    carGarageFolders = 0;
    QTimer::singleShot(0, &form, [&] {
      QVERIFY(form.FindFile3.Busy());
      form.changeDirectoryUi.DirectoryListBox1->setDirectory(second.dir);
      form.levelOrganizerUi.Findbutton->click();
    });
    go(form);
    QCOMPARE(carGarageFolders, 0);
    QCOMPARE(c.Foundfiles3->topLevelItemCount(), 0);
    QCOMPARE(c.Edit6->text(), QStringLiteral("1  "));
    QCOMPARE(captions(l.FoundFiles), QStringList({QStringLiteral("only")}));
    QCOMPARE(l.Edit2->text(), QStringLiteral("1  "));
    QVERIFY(c.FindButton2->isEnabled());
    QCOMPARE(watch.boxes.size(), 0);
  }

 private slots:
  void detailsOfBothSides() {
    ModalAnswerer watch;
    Game game;
    writeCarParameters(game / "cars/red", "Red Devil", "cars\\red\\tex.bmp");
    writeJpeg(game / "cars/red/red.jpg", Qt::red);
    writeBitmap(game / "cars/red/tex.bmp", 8, Qt::green);
    writeFile(game / "cars/nopic/parameters.txt",
              "Name 'Single'\r\n; Model Filenames\r\nCOLL \"none.hul\"\r\n");
    writeCarParameters(game / "cars/badjpg", "Bad Picture", "cars\\red\\tex.bmp");
    writeFile(game / "cars/badjpg/badjpg.jpg", "not a picture");
    writeCarParameters(game / "cars/badtex", "Bad Texture", "cars\\badtex\\tex.bmp");
    writeFile(game / "cars/badtex/tex.bmp", "not a bitmap");
    // Texture lines naming no file that can be shown: a folder, a pipe, outside the game folder.
    writeCarParameters(game / "cars/tofolder", "To Folder", "cars\\tofolder");
    writeCarParameters(game / "cars/topipe", "To Pipe", "cars\\topipe\\pipe.bmp");
    QCOMPARE(makeFifo(game / "cars/topipe/pipe.bmp"), kOnLinux);  // on Windows: no file there
    writeCarParameters(game / "cars/outside", "Outside", "..\\..\\..\\..\\..\\..\\nowhere\\x.bmp");
    writeCarParameters(game / "garage/blue", "Blue Bird", "cars\\blue\\tex.bmp");
    writeJpeg(game / "garage/blue/blue.jpg", Qt::blue);
    writeBitmap(game / "garage/blue/tex.bmp", 8, Qt::yellow);
    writeCarParameters(game / "garage/nopic2", "No Picture", "cars\\nopic2\\tex.bmp");
    writeBitmap(game / "garage/nopic2/tex.bmp", 8, Qt::cyan);
    auto form = game.open();
    auto& c = form->carOrganizerUi;
    const QImage placeholder = shown(form->ui.Image10);
    go(*form);

    select(c.Foundfiles3, QStringLiteral("red"));
    QCOMPARE(c.Edit10->text(), QStringLiteral("Red Devil"));
    QVERIFY(shows(c.Image9, Qt::red));
    QVERIFY(shows(c.Image3, Qt::green));
    // No picture and no texture line after the name: placeholders; single quotes are no delimiter.
    select(c.Foundfiles3, QStringLiteral("nopic"));
    QCOMPARE(c.Edit10->text(), QStringLiteral("Name 'Single'"));
    QCOMPARE(shown(c.Image9), placeholder);
    QCOMPARE(shown(c.Image3), placeholder);
    for (const char* car : {"tofolder", "topipe", "outside"}) {
      select(c.Foundfiles3, QStringLiteral("red"));
      select(c.Foundfiles3, QString::fromUtf8(car));
      QCOMPARE(shown(c.Image3), placeholder);
    }
    QCOMPARE(watch.boxes.size(), 0);

    // A picture libjpeg rejects: its error, the name already shown, the texture page as it was.
    select(c.Foundfiles3, QStringLiteral("red"));
    select(c.Foundfiles3, QStringLiteral("badjpg"));
    QCOMPARE(watch.boxes.size(), 1);
    QCOMPARE(watch.boxes[0].text, QStringLiteral("JPEG error #%1.").arg(JERR_NO_SOI));
    QCOMPARE(c.Edit10->text(), QStringLiteral("Bad Picture"));
    QVERIFY(shows(c.Image9, Qt::red));
    QVERIFY(shows(c.Image3, Qt::green));
    select(c.Foundfiles3, QStringLiteral("badtex"));
    QCOMPARE(watch.boxes.size(), 2);
    QCOMPARE(watch.boxes[1].text, QStringLiteral("Bitmap image is not valid."));
    QCOMPARE(shown(c.Image9), placeholder);

    garageDetailsAndMissingFiles(*form, game, watch);
  }

  void carAndLevelSearchesKeepApart() {
    ModalAnswerer watch;
    Game first;
    Game second;
    // Enough of each that a search handles events several times on the way.
    for (int i = 0; i < 1500; ++i) {
      const std::string n = std::to_string(i);
      writeFile(first / ("levels/l" + n + "/l" + n + ".inf"),
                "; Torvane .INF file structure\r\nNAME 'x'\r\n");
      writeCarParameters(first / ("cars/c" + n), "x");
    }
    writeFile(first / "un_levels/u/u.inf", "; Torvane .INF file structure\r\nNAME 'u'\r\n");
    writeCarParameters(first / "garage/g", "g");
    writeFile(second / "levels/only/only.inf", "; Torvane .INF file structure\r\nNAME 'Only'\r\n");
    writeCarParameters(second / "cars/onlycar", "Only Car");
    auto form = first.open();
    auto& c = form->carOrganizerUi;
    auto& l = form->levelOrganizerUi;
    form->levelOrganizerUi.Findbutton->click();
    go(*form);
    QCOMPARE(l.Edit2->text(), QStringLiteral("1500  "));
    QCOMPARE(c.Edit6->text(), QStringLiteral("1500  "));
    // Counts the folders each uninstalled search announces, then hands them on as before.
    int levelGarageFolders = 0, carGarageFolders = 0;
    for (auto [search, counter] : {std::pair{&form->FindFile2, &levelGarageFolders},
                                   std::pair{&form->FindFile4, &carGarageFolders}}) {
      const TNewFolderEvent announce = search->OnNewFolder;
      int* const count = counter;  // clang does not capture structured bindings
      search->OnNewFolder = [announce, count](TFindFile* s, const std::string& f, bool& i) {
        ++*count;
        announce(s, f, i);
      };
    }

    // A level search of the first game; meanwhile the second game is chosen and its cars searched.
    // The car search's start must not make the level search current again.
    QTimer::singleShot(0, form.get(), [&] {
      QVERIFY(form->FindFile.Busy());
      form->changeDirectoryUi.DirectoryListBox1->setDirectory(second.dir);
      go(*form);
    });
    l.Findbutton->click();
    QCOMPARE(levelGarageFolders, 0);
    QCOMPARE(l.FoundFiles->topLevelItemCount(), 0);
    QCOMPARE(l.Edit2->text(), QStringLiteral("1500  "));
    QCOMPARE(captions(c.Foundfiles3), QStringList({QStringLiteral("onlycar")}));
    QCOMPARE(c.Edit6->text(), QStringLiteral("1  "));
    QVERIFY(l.Findbutton->isEnabled());

    carSearchOfTheFirstGameLevelsOfTheSecond(*form, first, second, watch, carGarageFolders);
  }

  // A missing cars folder just gives an empty list; Go still creates the garage.
  void goWithoutACarsFolderListsNothing() {
    ModalAnswerer watch;
    Game game;
    writeCarParameters(game / "garage/parked", "Parked");
    fs::remove_all(game / "cars");
    auto form = game.open();
    auto& c = form->carOrganizerUi;
    go(*form);
    QCOMPARE(watch.boxes.size(), 0);
    QCOMPARE(c.Foundfiles3->topLevelItemCount(), 0);
    QCOMPARE(c.Edit9->text(), QStringLiteral("35  "));
    QCOMPARE(c.Edit7->text(), QStringLiteral("1  "));
    fs::remove_all(game / "garage");
    go(*form);
    QCOMPARE(watch.boxes.size(), 0);
    QVERIFY(directoryExists(game / "garage"));
    QCOMPARE(c.Edit7->text(), QStringLiteral("0  "));
  }

  // Where no program can open a file (here no desktop opener on the PATH), opening a car's
  // parameter file by a double click or by Enter says so in the error box, naming the file.
  void noProgramToOpenAFileIsReported() {
    ModalAnswerer watch;
    Game game;
    writeCarParameters(game / "cars/red", "Red");
    TempDir emptyPath;
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QByteArray::fromStdString(emptyPath.path()));
    auto form = game.openShown();
    auto& c = form->carOrganizerUi;
    go(*form);
    doubleClickRow(c.Foundfiles3, QStringLiteral("red"));
    pressKey(c.Foundfiles3, Qt::Key_Return);
    qputenv("PATH", path);
    QCOMPARE(watch.boxes.size(), 2);
    for (const auto& box : watch.boxes)
      QCOMPARE(box.text, q("No program could open " + game.dir + "/cars/red/parameters.txt."));
  }

  // A car below a pack folder keeps its path in the garage, and is deleted there by that path.
  void aCarBelowAPackKeepsItsPathInTheGarage() {
    ModalAnswerer watch;
    Game game;
    writeCarParameters(game / "cars/pack/deep", "Deep");
    auto form = game.open();
    auto& c = form->carOrganizerUi;
    go(*form);
    select(c.Foundfiles3, QStringLiteral("pack/deep"));
    c.BitBtn8->click();
    QVERIFY(fileExists(game / "garage/pack/deep/parameters.txt"));
    QVERIFY(!fs::exists(game / "cars/pack/deep"));
    QCOMPARE(c.Foundfiles3->topLevelItemCount(), 0);
    QCOMPARE(captions(c.foundfiles4), QStringList({QStringLiteral("pack/deep")}));

    select(c.foundfiles4, QStringLiteral("pack/deep"));
    watch.answerWith(QMessageBox::Yes);
    c.BitBtn11->click();
    QVERIFY(!fs::exists(game / "garage/pack/deep"));
    QVERIFY(directoryExists(game / "garage"));
    QCOMPARE(c.foundfiles4->topLevelItemCount(), 0);
    QCOMPARE(watch.boxes.size(), 1);
  }
};

QTEST_MAIN(CarPageTest)
#include "car_page_test.moc"
