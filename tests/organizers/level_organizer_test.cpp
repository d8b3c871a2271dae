// The "Level Organizer" tab on the real main window, over temporary game trees: the listing rules,
// counters, details of a selection, Install, Uninstall and Delete, and a directory change or close
// while a search runs.
#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <atomic>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <thread>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "organizers/FolderTransfer.h"
#include "organizers/TransferRunner.h"
#include "platform/DirectoryListBox.h"
#include "platform/ErrorBox.h"
#include "platform/Errors.h"
#include "platform/FileSystem.h"
#include "platform/ShellOpen.h"
#include "shell/Unit1.h"
#include "support/ModalWatch.h"
#include "support/OrganizerTest.h"
#include "support/TempDir.h"

using namespace pitkit;
using pitkit::test::captions;
using pitkit::test::findItem;
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

const char* const kMarker = "Torvane .INF file structure";

// Writes a marked info file with a name line.
void writeLevel(const std::string& path, const std::string& name, const std::string& before = "") {
  writeFile(path, before + "; " + kMarker + "\r\nNAME '" + name + "'\r\nSKY 'blue'\r\n");
}

// The same through the raw bytes of the path, for names that are not UTF-8.
void writeBitmapBytes(const std::string& path, int size, Qt::GlobalColor colour) {
  QImage image(size, size, QImage::Format_RGB32);
  image.fill(colour);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QVERIFY(image.save(&buffer, "BMP"));
  writeFile(path, bytes.toStdString());
}

// A game tree with a levels folder and the fallback preview.
struct Game : GameTree {
  Game() {
    makeDirs(dir + "/levels");
    writeBitmap(dir + "/gfx/pellmoor.bmp", 16, Qt::blue);
  }
};

// A copy call that copies through a buffer, slowly, so that a move across file systems runs long
// enough for its progress window and its Cancel.
ssize_t slowCopyRange(int in, off_t* inOff, int out, off_t* outOff, std::size_t len, unsigned) {
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  char buffer[65536];
  const ssize_t n = ::pread(in, buffer, std::min(len, sizeof buffer), *inOff);
  if (n <= 0) return n;
  if (::pwrite(out, buffer, static_cast<std::size_t>(n), *outOff) != n) return -1;
  *inOff += n;
  *outOff += n;
  return n;
}

// The id of a process that has ended.
pid_t deadProcess() {
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ::waitpid(child, nullptr, 0);
  return child;
}

QRgb previewColour(TForm1& form) {
  const QPixmap pixmap = form.levelOrganizerUi.Image2->pixmap();
  return pixmap.isNull() ? 0 : pixmap.toImage().pixel(0, 0);
}

void go(TForm1& form) {
  QVERIFY(form.levelOrganizerUi.Findbutton->isEnabled());
  form.levelOrganizerUi.Findbutton->click();
}

}  // namespace

class LevelOrganizerTest : public QObject {
  Q_OBJECT

  pitkit::test::ShellOpenRecorder opened_;

 private slots:
  void init() { opened_.clear(); }

  void pageStartsAsDesigned() {
    ModalWatch watch;
    Game game;
    auto form = game.open();
    auto& u = form->levelOrganizerUi;
    QCOMPARE(u.Findbutton->text(), QStringLiteral("&Go"));
    QVERIFY(u.Findbutton->isEnabled());  // the start folder has a levels folder
    QVERIFY(!u.viewreadme->isEnabled());
    QVERIFY(!u.inffile1->isEnabled());
    for (QLineEdit* counter : {u.Edit1, u.Edit2, u.Edit3}) QCOMPARE(counter->text(), QStringLiteral("0"));
    for (QTreeWidget* list : {u.FoundFiles, u.FoundFiles2}) {
      QCOMPARE(list->columnCount(), 1);
      QCOMPARE(list->headerItem()->text(0), QStringLiteral("Folder Name"));
      QCOMPARE(list->selectionMode(), QAbstractItemView::SingleSelection);
      QVERIFY(!list->isSortingEnabled());
    }
    // The hints, as tool tips and in the status bar; the controls not named here have none.
    const std::vector<std::pair<QWidget*, QString>> hints = {
        {u.Findbutton, QStringLiteral("Search for Levels")},
        {u.Edit1, QStringLiteral("All Playable levels")},
        {u.BitBtn4, QStringLiteral("Copy level to the uninstalled folder")},
        {u.BitBtn5, QStringLiteral("Does not send to recycle bin!")},
        {u.BitBtn6, QStringLiteral("Copy Level to the installed folder")},
        {u.BitBtn7, QStringLiteral("Does not send to recycle bin!")},
        {u.Edit2, QString()}, {u.Edit3, QString()}, {u.Edit4, QString()}, {u.lvlname2, QString()},
        {u.Image2, QString()}, {u.viewreadme, QString()}, {u.inffile1, QString()}, {u.FoundFiles, QString()},
        {u.FoundFiles2, QString()}};
    for (const auto& [control, hint] : hints) {
      QCOMPARE(control->toolTip(), hint);
      QCOMPARE(control->statusTip(), hint);
    }
    QCOMPARE(u.Edit4->maxLength(), 27);
    QVERIFY(u.Image2->hasScaledContents());
    QVERIFY(u.Edit5->isHidden());
    QVERIFY(!u.Image2->pixmap().isNull());  // the picture shown until the first selection
    QCOMPARE(form->FindFile.Filename(), std::string("*.inf"));
    QCOMPARE(form->FindFile2.Containing(), std::string(kMarker));
    QCOMPARE(watch.boxes.size(), 0);
  }

  void listingRulesAndCounters() {
    ModalWatch watch;
    Game game;
    writeLevel(game / "levels/mytrack/mytrack.inf", "My Track");
    writeLevel(game / "levels/NHOOD1/NHOOD1.inf", "Loud Hood");
    writeLevel(game / "levels/Rennbahn Müll/Rennbahn Müll.inf", "Müll");
    writeLevel(game / "levels/second/second.inf", "Second");
    writeLevel(game / "levels/nhood1/nhood1.inf", "stock");           // stock name, exact case
    writeLevel(game / "levels/Muse1/Muse1.inf", "stock");             // stock name
    writeLevel(game / "levels/other/else.inf", "wrong file name");    // no levels/else folder
    writeLevel(game / "levels/a/b/b.inf", "too deep");                // relative folder a/b
    makeDirs(game / "levels/b");
    writeLevel(game / "levels/Case/case.inf", "case differs");        // levels/case exists too
    makeDirs(game / "levels/case");
    writeLevel(game / "levels/direct.inf", "directly in levels");     // not in a level folder
    makeDirs(game / "levels/direct");
    writeFile(game / "levels/plain/plain.inf", "NAME 'no marker'\r\n");
    writeLevel(game / "un_levels/nhood1/nhood1.inf", "stock moved out");
    writeLevel(game / "un_levels/pack/one.inf", "in a pack");
    writeFile(game / "un_levels/plain2/plain2.inf", "NAME 'no marker'\r\n");

    auto form = game.open();
    auto& u = form->levelOrganizerUi;
    go(*form);
    QCOMPARE(watch.boxes.size(), 0);
    QCOMPARE(captions(u.FoundFiles), QStringList({QStringLiteral("NHOOD1"), QStringLiteral("Rennbahn Müll"),
                                                  QStringLiteral("mytrack"), QStringLiteral("second")}));
    QCOMPARE(captions(u.FoundFiles2), QStringList({QStringLiteral("nhood1"), QStringLiteral("one")}));
    QCOMPARE(u.Edit2->text(), QStringLiteral("4  "));
    QCOMPARE(u.Edit1->text(), QStringLiteral("22  "));
    QCOMPARE(u.Edit3->text(), QStringLiteral("2  "));
    // The status bar shows the last folder searched (un_levels has pack and its other folders).
    QVERIFY2(form->ui.StatusBar1->currentMessage().startsWith(q(game / "un_levels")),
             qPrintable(form->ui.StatusBar1->currentMessage()));
    QCOMPARE(findItem(u.FoundFiles2, QStringLiteral("one"))->data(0, Qt::UserRole).toByteArray().toStdString(),
             game / "un_levels/pack");
    QVERIFY(u.Findbutton->isEnabled());
    for (QPushButton* b : {u.BitBtn4, u.BitBtn5, u.BitBtn6, u.BitBtn7}) QVERIFY(b->isEnabled());
    QVERIFY(u.FoundFiles->selectedItems().isEmpty());

    // A second Go lists the same again (nothing doubled), and a missing un_levels is created.
    fs::remove_all(game / "un_levels");
    go(*form);
    QVERIFY(directoryExists(game / "un_levels"));
    QCOMPARE(u.FoundFiles->topLevelItemCount(), 4);
    QCOMPARE(u.Edit3->text(), QStringLiteral("0  "));
  }

  void goRefusesBadFolders() {
    ModalWatch watch;
    Game game;
    writeLevel(game / "levels/mytrack/mytrack.inf", "My Track");
    auto form = game.open();
    auto& u = form->levelOrganizerUi;
    go(*form);
    QCOMPARE(u.FoundFiles->topLevelItemCount(), 1);

    // un_levels cannot be created where a file of that name is in the way.
    fs::remove_all(game / "un_levels");
    writeFile(game / "un_levels", "a file");
    go(*form);
    QCOMPARE(watch.boxes.size(), 1);
    QCOMPARE(watch.boxes[0].text, q("Cannot create " + game.dir + "/un_levels."));
    QCOMPARE(watch.boxes[0].title, QStringLiteral("Torvane Pit Kit"));
    QCOMPARE(u.FoundFiles->topLevelItemCount(), 1);  // the lists keep their items
    QCOMPARE(readFile(game / "un_levels"), std::string("a file"));

    // A game directory without levels (here: removed since it was chosen).
    fs::remove_all(game / "levels");
    runGuarded(form.get(), [&] { form->FindButtonClick(); });
    QCOMPARE(watch.boxes.size(), 2);
    QCOMPARE(watch.boxes[1].text, QStringLiteral("Selected Directory is not a TORVANE Main directory."));
    QVERIFY(!u.viewreadme->isEnabled());
  }

  void detailsOfBothLists() {
    ModalWatch watch;
    Game game;
    writeLevel(game / "levels/mytrack/mytrack.inf", "My Track", "; first line is a comment\r\n");
    writeFile(game / "levels/mytrack/readme.txt", "read me\r\n");
    writeBitmap(game / "gfx/mytrack.bmp", 8, Qt::red);
    writeLevel(game / "levels/plainer/plainer.inf", "A name that is much longer than twenty-seven letters");
    writeLevel(game / "levels/badpic/badpic.inf", "Bad Picture");
    writeFile(game / "gfx/badpic.bmp", "this is not a bitmap at all");
    writeLevel(game / "un_levels/away/away.inf", "Far Away");
    writeFile(game / "un_levels/away/readme.txt", "r");
    writeLevel(game / "un_levels/pack/one.inf", "in a pack");
    writeLevel(game / "levels/LOUD/LOUD.INF", "Made Elsewhere");  // an upper-case extension
    auto form = game.open();
    auto& u = form->levelOrganizerUi;
    go(*form);

    // The details, the viewer button and a double click read the info file the search found.
    select(u.FoundFiles, QStringLiteral("LOUD"));
    QCOMPARE(watch.boxes.size(), 0);
    QCOMPARE(u.Edit4->text(), QStringLiteral("Made Elsewhere"));
    QCOMPARE(form->SelectedLevelInfoFile, std::string("LOUD.INF"));
    u.inffile1->click();
    QTest::mouseDClick(u.FoundFiles->viewport(), Qt::LeftButton, {},
                       u.FoundFiles->visualItemRect(findItem(u.FoundFiles, QStringLiteral("LOUD"))).center());
    QCOMPARE(opened_.size(), 2u);
    QCOMPARE(opened_[0].file, std::string("LOUD.INF"));
    QCOMPARE(opened_[1].file, std::string("LOUD.INF"));
    QCOMPARE(opened_[1].folder, game / "levels/LOUD");
    opened_.clear();

    select(u.FoundFiles, QStringLiteral("mytrack"));
    QCOMPARE(u.Edit4->text(), QStringLiteral("My Track"));
    QCOMPARE(form->LevelUninstallFrom, game / "levels/mytrack");
    QCOMPARE(form->LevelUninstallTo, game / "un_levels/mytrack");
    QCOMPARE(form->SelectedLevelFolder, game / "levels/mytrack/");
    QCOMPARE(form->SelectedLevelInfoFile, std::string("mytrack.inf"));
    QVERIFY(u.viewreadme->isEnabled());
    QVERIFY(u.inffile1->isEnabled());
    QCOMPARE(previewColour(*form), QColor(Qt::red).rgb());

    // No readme and no picture of its own: the readme button goes off, pellmoor.bmp is shown; a
    // name longer than the typing limit is still shown whole.
    select(u.FoundFiles, QStringLiteral("plainer"));
    QCOMPARE(u.Edit4->text(), QStringLiteral("A name that is much longer than twenty-seven letters"));
    QVERIFY(!u.viewreadme->isEnabled());
    QCOMPARE(previewColour(*form), QColor(Qt::blue).rgb());

    // The viewer buttons open the files of the level selected last.
    u.viewreadme->setEnabled(true);
    u.viewreadme->click();
    u.inffile1->click();
    QCOMPARE(opened_.size(), 2u);
    QCOMPARE(opened_[0].file, std::string("readme.txt"));
    QCOMPARE(opened_[0].folder, game / "levels/plainer/");
    QCOMPARE(opened_[1].file, std::string("plainer.inf"));

    // A preview that is not a bitmap: the error, with the rest of the details already shown.
    select(u.FoundFiles, QStringLiteral("badpic"));
    QCOMPARE(watch.boxes.size(), 1);
    QCOMPARE(watch.boxes[0].text, QStringLiteral("Bitmap image is not valid."));
    QCOMPARE(u.Edit4->text(), QStringLiteral("Bad Picture"));
    QCOMPARE(form->SelectedLevelInfoFile, std::string("badpic.inf"));
    QCOMPARE(previewColour(*form), QColor(Qt::blue).rgb());

    // The uninstalled side fills its own name box and paths; the preview still comes from gfx.
    select(u.FoundFiles2, QStringLiteral("away"));
    QCOMPARE(u.lvlname2->text(), QStringLiteral("Far Away"));
    QCOMPARE(u.Edit4->text(), QStringLiteral("Bad Picture"));
    QCOMPARE(form->LevelInstallFrom, game / "un_levels/away");
    QCOMPARE(form->LevelInstallTo, game / "levels/away");
    QCOMPARE(form->SelectedLevelFolder, game / "un_levels/away/");
    QVERIFY(u.viewreadme->isEnabled());

    // un_levels/pack/one.inf: its details look for un_levels/one/one.inf, which is not there.
    QTreeWidgetItem* one = findItem(u.FoundFiles2, QStringLiteral("one"));
    u.FoundFiles2->setCurrentItem(one);
    QCOMPARE(watch.boxes.size(), 2);
    QCOMPARE(watch.boxes[1].text, QStringLiteral("File not found."));
    QCOMPARE(form->LevelInstallFrom, game / "un_levels/one");
    QCOMPARE(u.lvlname2->text(), QStringLiteral("Far Away"));
    QCOMPARE(form->SelectedLevelFolder, game / "un_levels/away/");
    // A double click opens the file the search found.
    QTest::mouseDClick(u.FoundFiles2->viewport(), Qt::LeftButton, {},
                       u.FoundFiles2->visualItemRect(one).center());
    QCOMPARE(opened_.size(), 3u);
    QCOMPARE(opened_[2].file, std::string("one.inf"));
    QCOMPARE(opened_[2].folder, game / "un_levels/pack");

    // Without pellmoor.bmp the fallback's open error names the path.
    fs::remove(game / "gfx/pellmoor.bmp");
    select(u.FoundFiles, QStringLiteral("plainer"));
    QCOMPARE(watch.boxes.size(), 3);
    QCOMPARE(watch.boxes[2].text, q("Cannot open file " + game.dir + "/gfx/pellmoor.bmp."));

    // A folder name that is not UTF-8 keeps its bytes in the paths built from the selection.
    const std::string latin1 = "Stra\xdf" "e";
    writeLevel(game / ("levels/" + latin1 + "/" + latin1 + ".inf"), "Strasse");
    writeBitmap(game / "gfx/pellmoor.bmp", 16, Qt::blue);
    go(*form);
    QTreeWidgetItem* street = nullptr;
    for (int i = 0; i < u.FoundFiles->topLevelItemCount(); ++i)
      if (u.FoundFiles->topLevelItem(i)->data(0, Qt::UserRole).toByteArray().endsWith("Stra\xdf" "e"))
        street = u.FoundFiles->topLevelItem(i);
    QVERIFY(street != nullptr);
    u.FoundFiles->setCurrentItem(street);
    QCOMPARE(watch.boxes.size(), 3);
    QCOMPARE(u.Edit4->text(), QStringLiteral("Strasse"));
    QCOMPARE(form->LevelUninstallFrom, game / ("levels/" + latin1));

    // Go leaves both viewer buttons off and the names as they were.
    go(*form);
    QVERIFY(!u.viewreadme->isEnabled());
    QVERIFY(!u.inffile1->isEnabled());
    QCOMPARE(u.lvlname2->text(), QStringLiteral("Far Away"));
    QCOMPARE(u.Edit4->text(), QStringLiteral("Strasse"));
  }

  void nameBoxesPreviewsAndDoubleClicks() {
    ModalWatch watch;
    Game game;
    writeLevel(game / "un_levels/away/away.inf", "Far");
    writeFile(game / "un_levels/blank/blank.inf", std::string("; ") + kMarker + "\r\nNAME ''\r\n");
    writeLevel(game / "levels/mytrack/mytrack.inf", "My Track");
    // A level whose folder name is not UTF-8, with a preview of its own.
    const std::string latin1 = "Stra\xdf" "e";
    writeLevel(game / ("levels/" + latin1 + "/" + latin1 + ".inf"), "Strasse");
    writeBitmapBytes(game / ("gfx/" + latin1 + ".bmp"), 8, Qt::green);
    auto form = game.open();
    auto& u = form->levelOrganizerUi;
    go(*form);

    // The uninstalled side's name box has no typing limit: a short or empty name does not stop
    // the user from typing into it.
    select(u.FoundFiles2, QStringLiteral("away"));
    QCOMPARE(u.lvlname2->text(), QStringLiteral("Far"));
    QTest::keyClicks(u.lvlname2, QStringLiteral(" Away"));
    QCOMPARE(u.lvlname2->text(), QStringLiteral("Far Away"));
    select(u.FoundFiles2, QStringLiteral("blank"));
    QCOMPARE(u.lvlname2->text(), QString());
    QTest::keyClicks(u.lvlname2, QStringLiteral("typed"));
    QCOMPARE(u.lvlname2->text(), QStringLiteral("typed"));
    // The installed side's box keeps its limit of 27 letters for typing.
    select(u.FoundFiles, QStringLiteral("mytrack"));
    u.Edit4->clear();
    QTest::keyClicks(u.Edit4, QString(40, QLatin1Char('x')));
    QCOMPARE(u.Edit4->text(), QString(27, QLatin1Char('x')));

    // The preview of a level whose name is not UTF-8 is its own picture.
    QTreeWidgetItem* street = nullptr;
    for (int i = 0; i < u.FoundFiles->topLevelItemCount(); ++i)
      if (u.FoundFiles->topLevelItem(i)->data(0, Qt::UserRole).toByteArray().endsWith("Stra\xdf" "e"))
        street = u.FoundFiles->topLevelItem(i);
    QVERIFY(street != nullptr);
    u.FoundFiles->setCurrentItem(street);
    QCOMPARE(watch.boxes.size(), 0);
    QCOMPARE(previewColour(*form), QColor(Qt::green).rgb());

    // A pipe or a folder in place of pellmoor.bmp cannot be opened (and never blocks the window).
    fs::remove(game / "gfx/pellmoor.bmp");
    QCOMPARE(::mkfifo((game / "gfx/pellmoor.bmp").c_str(), 0644), 0);
    select(u.FoundFiles, QStringLiteral("mytrack"));
    QCOMPARE(watch.boxes.size(), 1);
    QCOMPARE(watch.boxes[0].text, q("Cannot open file " + game.dir + "/gfx/pellmoor.bmp."));
    fs::remove(game / "gfx/pellmoor.bmp");
    makeDirs(game / "gfx/pellmoor.bmp");
    u.FoundFiles->setCurrentItem(street);
    select(u.FoundFiles, QStringLiteral("mytrack"));
    QCOMPARE(watch.boxes.size(), 2);
    QCOMPARE(watch.boxes[1].text, watch.boxes[0].text);
    QCOMPARE(previewColour(*form), QColor(Qt::green).rgb());

    // A double click anywhere in the list opens the selected item's info file, also below the
    // last item.
    select(u.FoundFiles, QStringLiteral("mytrack"));
    u.FoundFiles->resize(200, 200);
    const QPoint below(20, u.FoundFiles->viewport()->height() - 5);
    QVERIFY(u.FoundFiles->itemAt(below) == nullptr);
    QTest::mouseDClick(u.FoundFiles->viewport(), Qt::LeftButton, {}, below);
    QCOMPARE(opened_.size(), 1u);
    QCOMPARE(opened_[0].file, std::string("mytrack.inf"));
    QCOMPARE(opened_[0].folder, game / "levels/mytrack");
  }

  void openedFilesAreNamedByTheirBytes() {
    // Spaces and non-ASCII letters give the file's own path back.
    const std::string url = shellOpenUrl("Müll Bahn.inf", "/g/levels/Müll Bahn/");
    QCOMPARE(QUrl::fromEncoded(QByteArray::fromStdString(url)).toLocalFile(),
             QStringLiteral("/g/levels/Müll Bahn/Müll Bahn.inf"));
    QCOMPARE(shellOpenUrl("readme.txt", "/g/un_levels/pack"), std::string("file:///g/un_levels/pack/readme.txt"));
    // A name that is not UTF-8 keeps its byte, also through the URL the desktop receives.
    const std::string latin1 = shellOpenUrl("Stra\xdf" "e.inf", "/g/levels/Stra\xdf" "e");
    QCOMPARE(latin1, std::string("file:///g/levels/Stra%DFe/Stra%DFe.inf"));
    QCOMPARE(QUrl::fromEncoded(QByteArray::fromStdString(latin1)).toEncoded().toStdString(), latin1);
  }

  void uninstallAndInstall() {
    ModalWatch watch;
    Game game;
    writeLevel(game / "levels/mytrack/mytrack.inf", "My Track");
    writeFile(game / "levels/mytrack/mytrack.w", std::string(100000, 'w'));
    writeLevel(game / "levels/keep/keep.inf", "Keep");
    auto form = game.open();
    auto& u = form->levelOrganizerUi;

    // Nothing remembered yet: both do nothing.
    u.BitBtn4->click();
    u.BitBtn6->click();
    QCOMPARE(watch.boxes.size(), 0);
    QVERIFY(directoryExists(game / "levels/mytrack"));

    go(*form);
    select(u.FoundFiles, QStringLiteral("mytrack"));
    u.BitBtn4->click();
    QCOMPARE(watch.boxes.size(), 0);
    QVERIFY(!fs::exists(game / "levels/mytrack"));
    QCOMPARE(readFile(game / "un_levels/mytrack/mytrack.w"), std::string(100000, 'w'));
    QCOMPARE(captions(u.FoundFiles), QStringList({QStringLiteral("keep")}));
    QCOMPARE(captions(u.FoundFiles2), QStringList({QStringLiteral("mytrack")}));
    QCOMPARE(u.Edit2->text(), QStringLiteral("1  "));
    QCOMPARE(u.Edit3->text(), QStringLiteral("1  "));

    // Again, on the remembered level that is no longer there: the move fails, nothing is deleted
    // and no new search runs.
    u.FoundFiles->addTopLevelItem(new QTreeWidgetItem(QStringList{QStringLiteral("sentinel")}));
    u.BitBtn4->click();
    QCOMPARE(watch.boxes.size(), 1);
    QCOMPARE(watch.boxes[0].text, q("Cannot move " + game.dir + "/levels/mytrack: No such file or directory."));
    QVERIFY(findItem(u.FoundFiles, QStringLiteral("sentinel")) != nullptr);
    QCOMPARE(readFile(game / "un_levels/mytrack/mytrack.w"), std::string(100000, 'w'));
    QVERIFY(!fs::exists(game / "un_levels/mytrack (2)"));

    // Install brings it back.
    go(*form);
    select(u.FoundFiles2, QStringLiteral("mytrack"));
    u.BitBtn6->click();
    QCOMPARE(watch.boxes.size(), 1);
    QCOMPARE(readFile(game / "levels/mytrack/mytrack.w"), std::string(100000, 'w'));
    QVERIFY(!fs::exists(game / "un_levels/mytrack"));
    QCOMPARE(captions(u.FoundFiles), QStringList({QStringLiteral("keep"), QStringLiteral("mytrack")}));
    QCOMPARE(u.FoundFiles2->topLevelItemCount(), 0);

    // A move onto a name already taken is refused on both sides before anything is touched, and
    // both lists still show both levels.
    writeLevel(game / "un_levels/keep/keep.inf", "Older Keep");
    go(*form);
    select(u.FoundFiles, QStringLiteral("keep"));
    select(u.FoundFiles2, QStringLiteral("keep"));
    for (QPushButton* move : {u.BitBtn4, u.BitBtn6}) {
      const bool uninstall = move == u.BitBtn4;
      move->click();
      QCOMPARE(watch.boxes.last().text,
               q("Cannot move keep to " + game.dir + (uninstall ? "/un_levels" : "/levels") +
                 ": an entry named keep is already there."));
      QCOMPARE(readFile(game / "un_levels/keep/keep.inf").find("Older Keep") != std::string::npos, true);
      QCOMPARE(readFile(game / "levels/keep/keep.inf").find("'Keep'") != std::string::npos, true);
      QCOMPARE(captions(u.FoundFiles), QStringList({QStringLiteral("keep"), QStringLiteral("mytrack")}));
      QCOMPARE(captions(u.FoundFiles2), QStringList({QStringLiteral("keep")}));
    }
    QCOMPARE(watch.boxes.size(), 3);
    QVERIFY(!fs::exists(game / "un_levels/keep (2)"));
    QVERIFY(!fs::exists(game / "levels/keep (2)"));
  }

  // un_levels on another file system: the move copies, and its progress window offers Cancel,
  // which leaves the source whole and no partial copy. Go sweeps only the program's dead copies.
  void cancelledMoveAndLeftoverCopies() {
    const std::string other = test::otherFileSystemParent();
    if (other.empty()) QSKIP("no second file system on this machine");
    ModalWatch watch;
    Game game;
    TempDir away(other);
    makeDirs(away / "un_levels");
    fs::create_symlink(away / "un_levels", game / "un_levels");
    const std::string big(10 * 1000 * 1000, 'b');
    writeLevel(game / "levels/big/big.inf", "Big");
    writeFile(game / "levels/big/big.bin", big);
    const std::string dead = ".pitkit-partial-copy-" + std::to_string(deadProcess()) + "-abcdefgh12";
    writeFile(game / "levels/" + dead + "/big.bin", "part");
    writeFile(game / "un_levels/" + dead + "/big.bin", "part");
    writeFile(game / "un_levels/.pitkit-partial-copy-1-x/keep.txt", "not ours");
    auto form = game.open();
    auto& u = form->levelOrganizerUi;
    go(*form);
    QVERIFY(!fs::exists(game / "levels/" + dead));
    QVERIFY(!fs::exists(game / "un_levels/" + dead));
    QCOMPARE(readFile(game / "un_levels/.pitkit-partial-copy-1-x/keep.txt"), std::string("not ours"));

    bool cancelOffered = false;
    watch.onOtherModal = [&](QWidget* modal) {
      auto* cancel = modal->findChild<QPushButton*>(QStringLiteral("TransferCancel"));
      if (qobject_cast<QProgressDialog*>(modal) == nullptr || cancel == nullptr || !cancel->isEnabled()) return;
      cancelOffered = true;
      QTest::mouseClick(cancel, Qt::LeftButton);
    };
    setCopyRangeCall(&slowCopyRange);
    select(u.FoundFiles, QStringLiteral("big"));
    u.BitBtn4->click();
    setCopyRangeCall(nullptr);
    QVERIFY(cancelOffered);
    QCOMPARE(watch.boxes.size(), 0);
    QCOMPARE(readFile(game / "levels/big/big.bin"), big);
    QVERIFY(!fs::exists(away / "un_levels/big"));
    int entries = 0;
    for (const auto& e : fs::directory_iterator(away / "un_levels")) entries += e.path().filename() != ".pitkit-partial-copy-1-x";
    QCOMPARE(entries, 0);
    QCOMPARE(captions(u.FoundFiles), QStringList({QStringLiteral("big")}));
    QCOMPARE(form->ui.StatusBar1->currentMessage(), QStringLiteral("Uninstalling big cancelled: nothing was moved"));
  }

  void deleteAsksFirst() {
    ModalWatch watch;
    Game game;
    writeLevel(game / "levels/mytrack/mytrack.inf", "My Track");
    writeFile(game / "levels/mytrack/locked.txt", "ro");
    fs::permissions(game / "levels/mytrack/locked.txt", fs::perms::owner_read);
    writeLevel(game / "un_levels/away/away.inf", "Far Away");
    auto form = game.open();
    auto& u = form->levelOrganizerUi;
    go(*form);

    // No selection in its own list: nothing asked, nothing deleted.
    select(u.FoundFiles2, QStringLiteral("away"));
    u.BitBtn5->click();
    QCOMPARE(watch.boxes.size(), 0);
    u.FoundFiles2->clearSelection();
    select(u.FoundFiles, QStringLiteral("mytrack"));
    u.BitBtn7->click();
    QCOMPARE(watch.boxes.size(), 0);

    // No (here through Escape) deletes nothing.
    watch.answerWithEscape();
    u.BitBtn5->click();
    QCOMPARE(watch.boxes.size(), 1);
    QCOMPARE(watch.boxes[0].title, QStringLiteral("Confirm"));
    QCOMPARE(watch.boxes[0].text, QStringLiteral("Are you shure you want to delete this level?"));
    QCOMPARE(watch.boxes[0].icon, QMessageBox::Question);
    QCOMPARE(watch.boxes[0].defaultButton, QMessageBox::Yes);
    QVERIFY(directoryExists(game / "levels/mytrack"));
    QCOMPARE(u.FoundFiles->topLevelItemCount(), 1);

    // Yes deletes the folder with its read-only file, and the lists are rebuilt.
    watch.answerWith(QMessageBox::Yes);
    u.BitBtn5->click();
    QCOMPARE(watch.boxes.size(), 2);
    QVERIFY(!fs::exists(game / "levels/mytrack"));
    QCOMPARE(u.FoundFiles->topLevelItemCount(), 0);
    QCOMPARE(u.Edit1->text(), QStringLiteral("18  "));

    select(u.FoundFiles2, QStringLiteral("away"));
    watch.answerWith(QMessageBox::Yes);
    u.BitBtn7->click();
    QVERIFY(!fs::exists(game / "un_levels/away"));
    QVERIFY(directoryExists(game / "un_levels"));
    QCOMPARE(u.FoundFiles2->topLevelItemCount(), 0);
  }

  void directoryChangeAndCloseDuringASearch() {
    ModalWatch watch;
    Game first;
    Game second;
    // Enough levels that the search handles events several times on the way.
    for (int i = 0; i < 1500; ++i) {
      writeLevel(first / ("levels/l" + std::to_string(i) + "/l" + std::to_string(i) + ".inf"), "x");
      writeLevel(first / ("un_levels/u" + std::to_string(i) + "/u" + std::to_string(i) + ".inf"), "x");
    }
    writeLevel(second / "levels/only/only.inf", "Only");
    auto form = first.open();
    auto& u = form->levelOrganizerUi;
    go(*form);
    QCOMPARE(u.Edit2->text(), QStringLiteral("1500  "));
    // Counts the folders the uninstalled search announces, then hands them on as before.
    int uninstalledFolders = 0;
    const TNewFolderEvent announce = form->FindFile2.OnNewFolder;
    form->FindFile2.OnNewFolder = [&](TFindFile* s, const std::string& f, bool& i) {
      ++uninstalledFolders;
      announce(s, f, i);
    };

    bool changedWhileBusy = false;
    bool actionsOffWhileBusy = false;
    QTimer::singleShot(0, form.get(), [&] {
      changedWhileBusy = form->FindFile.Busy() || form->FindFile2.Busy();
      actionsOffWhileBusy = !u.BitBtn4->isEnabled() && !u.BitBtn7->isEnabled();
      form->changeDirectoryUi.DirectoryListBox1->setDirectory(second.dir);
      // The shell enables Go again for the new folder; a click on it meanwhile is ignored.
      u.Findbutton->click();
    });
    go(*form);
    QVERIFY(changedWhileBusy);
    QVERIFY(actionsOffWhileBusy);
    QCOMPARE(form->GameDirectory, second.dir);
    // Nothing of the first game's tree ends up in the lists of the second.
    QCOMPARE(u.FoundFiles->topLevelItemCount(), 0);
    QCOMPARE(u.FoundFiles2->topLevelItemCount(), 0);
    QVERIFY(u.Findbutton->isEnabled());
    QCOMPARE(watch.boxes.size(), 0);
    // The first game's search stopped at the change: its uninstalled levels were never searched,
    // and the counters still show what they showed when the directory changed.
    QCOMPARE(uninstalledFolders, 0);
    QCOMPARE(u.Edit2->text(), QStringLiteral("1500  "));
    QCOMPARE(u.Edit1->text(), QStringLiteral("1518  "));
    QCOMPARE(u.Edit3->text(), QStringLiteral("1500  "));
    go(*form);
    QCOMPARE(captions(u.FoundFiles), QStringList({QStringLiteral("only")}));
    QCOMPARE(u.Edit2->text(), QStringLiteral("1  "));

    // A change to a folder without levels during a search leaves Go disabled when it ends.
    TempDir plain;
    form->changeDirectoryUi.DirectoryListBox1->setDirectory(first.dir);
    QTimer::singleShot(0, form.get(), [&] { form->changeDirectoryUi.DirectoryListBox1->setDirectory(realPath(plain.path())); });
    go(*form);
    QCOMPARE(form->GameDirectory, realPath(plain.path()));
    QVERIFY(!u.Findbutton->isEnabled());
    QCOMPARE(u.Edit2->text(), QStringLiteral("1  "));

    // Closing the window while a search runs does not crash; the search ends on its own.
    form->changeDirectoryUi.DirectoryListBox1->setDirectory(first.dir);
    bool closedWhileBusy = false;
    QTimer::singleShot(0, form.get(), [&] {
      closedWhileBusy = form->FindFile.Busy() || form->FindFile2.Busy();
      form->close();
    });
    go(*form);
    QVERIFY(closedWhileBusy);
    QVERIFY(!form->FindFile.Busy() && !form->FindFile2.Busy());
    // The closed window's lists stay empty: what the search still reports is no longer wanted.
    QVERIFY(form->GameDirectory.empty());
    QCOMPARE(u.FoundFiles->topLevelItemCount(), 0);
    QCOMPARE(u.FoundFiles2->topLevelItemCount(), 0);
  }

  void listsStretchWithTheWindow() {
    ModalWatch watch;
    Game game;
    auto form = game.open();
    auto& u = form->levelOrganizerUi;
    form->ui.PageControl1->setCurrentWidget(form->ui.TabSheet2);
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    const QRect list = u.FoundFiles->geometry();
    const QRect uninstall = u.BitBtn4->geometry();
    const QRect name = u.Edit4->geometry();
    const int pageHeight = form->ui.TabSheet2->height();
    form->resize(form->width() + 50, form->height() + 100);
    QTRY_VERIFY(form->ui.TabSheet2->height() > pageHeight);
    const int grown = form->ui.TabSheet2->height() - pageHeight;
    QCOMPARE(u.FoundFiles->height(), list.height() + grown);
    QCOMPARE(u.FoundFiles2->height(), list.height() + grown);
    QCOMPARE(u.FoundFiles->width(), list.width());
    QCOMPARE(u.BitBtn4->y(), uninstall.y() + grown);
    QCOMPARE(u.Edit4->geometry(), name);
  }

  void longTransfersShowAProgressDialogAndPassErrorsOn() {
    ModalWatch watch;
    QWidget owner;
    std::atomic<bool> dialogSeen{false};
    bool cancelShown = false;
    watch.onOtherModal = [&](QWidget* modal) {
      if (qobject_cast<QProgressDialog*>(modal) == nullptr) return;
      dialogSeen = true;
      cancelShown = cancelShown || modal->findChild<QPushButton*>() != nullptr;
    };
    // Work that outlasts the delay: the dialog appears, and the work's error comes back.
    try {
      runTransfer(&owner, QStringLiteral("Copying"), [&](TransferProgress& progress) {
        ++progress.entries;
        for (int i = 0; i < 500 && !dialogSeen; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        throw Exception("Cannot copy x: Disk full");
      }, 50);
      QFAIL("no error");
    } catch (const Exception& e) {
      QCOMPARE(std::string(e.what()), std::string("Cannot copy x: Disk full"));
    }
    QVERIFY(dialogSeen);
    QVERIFY(!cancelShown);  // work that cannot be cancelled offers no Cancel
    QVERIFY(QApplication::activeModalWidget() == nullptr);

    // A click meanwhile is dropped, not queued up to run once the transfer is done.
    QPushButton button(&owner);
    int clicks = 0;
    QObject::connect(&button, &QPushButton::clicked, [&] { ++clicks; });
    owner.show();
    QTimer::singleShot(20, &owner, [&] { QTest::mouseClick(&button, Qt::LeftButton); });
    runTransfer(&owner, QStringLiteral("Copying"), [](TransferProgress&) {
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
    });
    QCoreApplication::processEvents();
    QCOMPARE(clicks, 0);
    QTest::mouseClick(&button, Qt::LeftButton);
    QCOMPARE(clicks, 1);

    // Quick work finishes before the delay: no dialog.
    dialogSeen = false;
    int ran = 0;
    runTransfer(&owner, QStringLiteral("Deleting"), [&](TransferProgress&) { ++ran; });
    QCOMPARE(ran, 1);
    QVERIFY(!dialogSeen);
  }
};

QTEST_MAIN(LevelOrganizerTest)
#include "level_organizer_test.moc"
