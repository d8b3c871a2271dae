// The "Car Organizer" tab on the real main window, over temporary game trees: the listing rules,
// counters, the name, picture and texture page of both lists, Install, Uninstall and Delete, and a
// car search and a level search that must not stop or fill each other.
#include <sys/stat.h>

#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <filesystem>
#include <memory>

// libjpeg's header needs FILE and size_t declared before it.
// clang-format off
#include <cstdio>
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include "platform/DirectoryListBox.h"
#include "platform/ErrorBox.h"
#include "platform/FileSystem.h"
#include "platform/ShellOpen.h"
#include "shell/Unit1.h"
#include "support/JpegWriter.h"
#include "support/ModalWatch.h"
#include "support/OrganizerTest.h"
#include "support/TempDir.h"

using namespace pitkit;
using pitkit::test::captions;
using pitkit::test::GameTree;
using pitkit::test::makeDirs;
using pitkit::test::ModalWatch;
using pitkit::test::q;
using pitkit::test::readFile;
using pitkit::test::realPath;
using pitkit::test::select;
using pitkit::test::TempDir;
using pitkit::test::writeBitmap;
using pitkit::test::writeFile;
namespace fs = std::filesystem;

namespace {

// A marked parameters.txt in `folder`: the name line, the marker, the texture line (none when
// `texturePage` is null).
void writeCar(const std::string& folder, const std::string& name,
              const char* texturePage = nullptr) {
  std::string text =
      "{\r\nName \t\"" + name + "\"\r\n; Model Filenames\r\nMODEL \t0 \t\"body.prm\"\r\n";
  if (texturePage != nullptr) text += std::string("TPAGE \t\"") + texturePage + "\"\r\n";
  writeFile(folder + "/parameters.txt", text + "}\r\n");
}

void writeJpeg(const std::string& path, QColor colour) {
  writeFile(path, test::jpegBytes(32, 24, colour.red(), colour.green(), colour.blue()));
}

// The picture a box shows, for comparing with a colour (JPEG colours are near, not exact) or with
// the placeholder.
QImage shown(const QLabel* box) {
  return box->pixmap().toImage().convertToFormat(QImage::Format_RGB32);
}
bool shows(const QLabel* box, QColor colour) {
  const QImage image = shown(box);
  if (image.isNull()) return false;
  const QColor c = image.pixelColor(image.width() / 2, image.height() / 2);
  return std::abs(c.red() - colour.red()) < 8 && std::abs(c.green() - colour.green()) < 8 &&
         std::abs(c.blue() - colour.blue()) < 8;
}

// A game tree with the levels and cars folders and the game's noavail.bmp.
struct Game : GameTree {
  Game() {
    makeDirs(dir + "/levels");
    makeDirs(dir + "/cars");
    writeBitmap(dir + "/noavail.bmp", 8, Qt::magenta);
  }
};

void go(TForm1& form) {
  QVERIFY(form.carOrganizerUi.FindButton2->isEnabled());
  form.carOrganizerUi.FindButton2->click();
}

}  // namespace

class CarOrganizerTest : public QObject {
  Q_OBJECT

  pitkit::test::ShellOpenRecorder opened_;

 private slots:
  void init() { opened_.clear(); }

  void listingRulesAndCounters() {
    ModalWatch watch;
    Game game;
    writeCar(game / "cars/mycar", "My Car");
    writeCar(game / "cars/adeon", "stock");         // stock folder name, exact case
    writeCar(game / "cars/Adeon", "Not Stock");     // another spelling is a custom car
    writeCar(game / "cars/pack/deep", "Deep Car");  // listed by its path below cars
    fs::rename(game / "cars/pack/deep/parameters.txt", game / "cars/pack/deep/PARAMETERS.TXT");
    writeCar(game / "cars", "lying in cars");  // no list item for the whole folder
    writeFile(game / "cars/plain/parameters.txt", "Name \"no marker\"\r\n");
    writeCar(game / "garage/adeon", "stock moved out");  // no stock filter in the garage
    writeCar(game / "garage/Müll Wagen", "M\xFCll");     // the game's 8-bit text
    writeCar(game / "garage", "lying in garage");
    auto form = game.open();
    auto& c = form->carOrganizerUi;
    // Until the first selection both pictures show the placeholder that Image10 holds.
    QVERIFY(form->ui.Image10->isHidden());
    QVERIFY(!shown(form->ui.Image10).isNull());
    QCOMPARE(shown(c.Image9), shown(form->ui.Image10));
    QCOMPARE(shown(c.Image3), shown(form->ui.Image10));

    go(*form);
    QCOMPARE(watch.boxes.size(), 0);
    QCOMPARE(captions(c.Foundfiles3), QStringList({QStringLiteral("Adeon"), QStringLiteral("mycar"),
                                                   QStringLiteral("pack/deep")}));
    QCOMPARE(captions(c.foundfiles4),
             QStringList({QStringLiteral("Müll Wagen"), QStringLiteral("adeon")}));
    QCOMPARE(c.Edit6->text(), QStringLiteral("3  "));
    QCOMPARE(c.Edit9->text(), QStringLiteral("38  "));
    QCOMPARE(c.Edit7->text(), QStringLiteral("2  "));
    QVERIFY(c.FindButton2->isEnabled());

    // A deeper car's details come from its own folder.
    select(c.Foundfiles3, QStringLiteral("pack/deep"));
    QCOMPARE(c.Edit10->text(), QStringLiteral("Deep Car"));
    QCOMPARE(form->CarUninstallFrom, game / "cars/pack/deep");
    QCOMPARE(form->CarUninstallTo, game / "garage/pack/deep");
    QTest::mouseDClick(c.Foundfiles3->viewport(), Qt::LeftButton, {},
                       c.Foundfiles3->visualItemRect(c.Foundfiles3->currentItem()).center());
    QCOMPARE(opened_.size(), 1u);
    QCOMPARE(opened_[0].file, std::string("PARAMETERS.TXT"));  // the file the search found
    QCOMPARE(opened_[0].folder, game / "cars/pack/deep");
    select(c.foundfiles4, QStringLiteral("Müll Wagen"));
    QCOMPARE(c.Edit8->text(), QStringLiteral("Müll"));
    QCOMPARE(form->CarInstallFrom, game / "garage/Müll Wagen");

    // A missing garage is created; a missing cars folder just gives an empty list.
    fs::remove_all(game / "garage");
    fs::remove_all(game / "cars");
    go(*form);
    QCOMPARE(watch.boxes.size(), 0);
    QVERIFY(directoryExists(game / "garage"));
    QCOMPARE(c.Foundfiles3->topLevelItemCount(), 0);
    QCOMPARE(c.Edit9->text(), QStringLiteral("35  "));
    QCOMPARE(c.Edit7->text(), QStringLiteral("0  "));
  }

  void detailsOfBothSides() {
    ModalWatch watch;
    Game game;
    writeCar(game / "cars/red", "Red Devil", "cars\\red\\tex.bmp");
    writeJpeg(game / "cars/red/red.jpg", Qt::red);
    writeBitmap(game / "cars/red/tex.bmp", 8, Qt::green);
    writeFile(game / "cars/nopic/parameters.txt",
              "Name 'Single'\r\n; Model Filenames\r\nCOLL \"none.hul\"\r\n");
    writeCar(game / "cars/badjpg", "Bad Picture", "cars\\red\\tex.bmp");
    writeFile(game / "cars/badjpg/badjpg.jpg", "not a picture");
    writeCar(game / "cars/badtex", "Bad Texture", "cars\\badtex\\tex.bmp");
    writeFile(game / "cars/badtex/tex.bmp", "not a bitmap");
    // Texture lines naming no file that can be shown: a folder, a pipe, outside the game folder.
    writeCar(game / "cars/tofolder", "To Folder", "cars\\tofolder");
    writeCar(game / "cars/topipe", "To Pipe", "cars\\topipe\\pipe.bmp");
    QCOMPARE(::mkfifo((game / "cars/topipe/pipe.bmp").c_str(), 0644), 0);
    writeCar(game / "cars/outside", "Outside", "..\\..\\..\\..\\..\\..\\nowhere\\x.bmp");
    writeCar(game / "garage/blue", "Blue Bird", "cars\\blue\\tex.bmp");
    writeJpeg(game / "garage/blue/blue.jpg", Qt::blue);
    writeBitmap(game / "garage/blue/tex.bmp", 8, Qt::yellow);
    writeCar(game / "garage/nopic2", "No Picture", "cars\\nopic2\\tex.bmp");
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

    // The garage side: its own name box and paths, the texture page rewritten into the garage.
    select(c.foundfiles4, QStringLiteral("blue"));
    QCOMPARE(c.Edit8->text(), QStringLiteral("Blue Bird"));
    QCOMPARE(form->CarInstallFrom, game / "garage/blue");
    QCOMPARE(form->CarInstallTo, game / "cars/blue");
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
    QCOMPARE(form->CarUninstallFrom, game / "cars/red");
    QCOMPARE(c.Edit10->text(), QStringLiteral("Bad Texture"));
    QVERIFY(!fs::exists(game / "cars/red"));
    QVERIFY(fileExists(game / "cars/badjpg/badjpg.jpg"));
  }

  void uninstallInstallAndDelete() {
    ModalWatch watch;
    Game game;
    writeCar(game / "cars/mycar", "My Car", "cars\\mycar\\tex.bmp");
    writeFile(game / "cars/mycar/body.prm", std::string(50000, 'p'));
    writeCar(game / "cars/pack/deep", "Deep");
    auto form = game.open();
    auto& c = form->carOrganizerUi;

    // Nothing selected yet: Uninstall and Install do nothing, the Deletes ask nothing.
    for (QPushButton* b : {c.BitBtn8, c.BitBtn9, c.BitBtn10, c.BitBtn11}) b->click();
    QCOMPARE(watch.boxes.size(), 0);
    go(*form);
    for (QPushButton* b : {c.BitBtn9, c.BitBtn11}) b->click();
    QCOMPARE(watch.boxes.size(), 0);
    QVERIFY(directoryExists(game / "cars/mycar"));

    select(c.Foundfiles3, QStringLiteral("mycar"));
    c.BitBtn8->click();
    QCOMPARE(watch.boxes.size(), 0);
    QVERIFY(!fs::exists(game / "cars/mycar"));
    QCOMPARE(readFile(game / "garage/mycar/body.prm"), std::string(50000, 'p'));
    QCOMPARE(captions(c.Foundfiles3), QStringList({QStringLiteral("pack/deep")}));
    QCOMPARE(captions(c.foundfiles4), QStringList({QStringLiteral("mycar")}));
    QCOMPARE(c.Edit6->text(), QStringLiteral("1  "));
    QCOMPARE(c.Edit7->text(), QStringLiteral("1  "));

    // A car below a pack folder keeps its path in the garage.
    select(c.Foundfiles3, QStringLiteral("pack/deep"));
    c.BitBtn8->click();
    QVERIFY(fileExists(game / "garage/pack/deep/parameters.txt"));
    QCOMPARE(c.Foundfiles3->topLevelItemCount(), 0);

    select(c.foundfiles4, QStringLiteral("mycar"));
    c.BitBtn10->click();
    QCOMPARE(readFile(game / "cars/mycar/body.prm"), std::string(50000, 'p'));
    QVERIFY(!fs::exists(game / "garage/mycar"));

    // Delete asks the level page's question; No (here through Escape) deletes nothing.
    select(c.Foundfiles3, QStringLiteral("mycar"));
    watch.answerWithEscape();
    c.BitBtn9->click();
    QCOMPARE(watch.boxes.size(), 1);
    QCOMPARE(watch.boxes[0].title, QStringLiteral("Confirm"));
    QCOMPARE(watch.boxes[0].text, QStringLiteral("Are you shure you want to delete this level?"));
    QCOMPARE(watch.boxes[0].icon, QMessageBox::Question);
    QCOMPARE(watch.boxes[0].defaultButton, QMessageBox::Yes);
    QVERIFY(directoryExists(game / "cars/mycar"));
    watch.answerWith(QMessageBox::Yes);
    c.BitBtn9->click();
    QCOMPARE(watch.boxes.size(), 2);
    QVERIFY(!fs::exists(game / "cars/mycar"));
    QCOMPARE(c.Foundfiles3->topLevelItemCount(), 0);

    select(c.foundfiles4, QStringLiteral("pack/deep"));
    watch.answerWith(QMessageBox::Yes);
    c.BitBtn11->click();
    QVERIFY(!fs::exists(game / "garage/pack/deep"));
    QVERIFY(directoryExists(game / "garage"));
    QCOMPARE(c.foundfiles4->topLevelItemCount(), 0);
    QCOMPARE(watch.boxes.size(), 3);
  }

  void carAndLevelSearchesKeepApart() {
    ModalWatch watch;
    Game first;
    Game second;
    // Enough of each that a search handles events several times on the way.
    for (int i = 0; i < 1500; ++i) {
      const std::string n = std::to_string(i);
      writeFile(first / ("levels/l" + n + "/l" + n + ".inf"),
                "; Torvane .INF file structure\r\nNAME 'x'\r\n");
      writeCar(first / ("cars/c" + n), "x");
    }
    writeFile(first / "un_levels/u/u.inf", "; Torvane .INF file structure\r\nNAME 'u'\r\n");
    writeCar(first / "garage/g", "g");
    writeFile(second / "levels/only/only.inf", "; Torvane .INF file structure\r\nNAME 'Only'\r\n");
    writeCar(second / "cars/onlycar", "Only Car");
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

    // The other way round: a car search of the first game, the levels of the second.
    form->changeDirectoryUi.DirectoryListBox1->setDirectory(first.dir);
    carGarageFolders = 0;
    QTimer::singleShot(0, form.get(), [&] {
      QVERIFY(form->FindFile3.Busy());
      form->changeDirectoryUi.DirectoryListBox1->setDirectory(second.dir);
      form->levelOrganizerUi.Findbutton->click();
    });
    go(*form);
    QCOMPARE(carGarageFolders, 0);
    QCOMPARE(c.Foundfiles3->topLevelItemCount(), 0);
    QCOMPARE(c.Edit6->text(), QStringLiteral("1  "));
    QCOMPARE(captions(l.FoundFiles), QStringList({QStringLiteral("only")}));
    QCOMPARE(l.Edit2->text(), QStringLiteral("1  "));
    QVERIFY(c.FindButton2->isEnabled());
    QCOMPARE(watch.boxes.size(), 0);
  }
};

QTEST_MAIN(CarOrganizerTest)
#include "car_organizer_test.moc"
