// The "Level Organizer" tab on the real main window: how the page starts, Go without a levels
// folder, the details, previews and name boxes of both lists, what the viewer buttons and double
// clicks open, and the lists growing with the window. What the level and car pages do alike is
// tested over both in organizer_pages_test.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTreeWidget>
#include <QUrl>
#include <filesystem>

#include "platform/Posix.h"

#include "platform/ErrorBox.h"
#include "platform/FileSystem.h"
#include "platform/ShellOpen.h"
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

QRgb previewColour(TForm1& form) {
  const QPixmap pixmap = form.levelOrganizerUi.Image2->pixmap();
  return pixmap.isNull() ? 0 : pixmap.toImage().pixel(0, 0);
}

void go(TForm1& form) { clickGo(form, levelSide()); }

// A level folder's name outside ASCII. Linux names are bytes, so there it is not UTF-8 (and not
// the item's caption); Windows names are UTF-16 letters, so there it is the same name in UTF-8.
const std::string kStreet = kOnLinux ? "Stra\xdf" "e" : "Stra\xc3\x9f" "e";

// The item of the level whose folder name ends in these bytes.
QTreeWidgetItem* itemByBytes(QTreeWidget* list, const QByteArray& end) {
  for (int i = 0; i < list->topLevelItemCount(); ++i)
    if (list->topLevelItem(i)->data(0, Qt::UserRole).toByteArray().endsWith(end)) return list->topLevelItem(i);
  return nullptr;
}

}  // namespace

class LevelPageTest : public QObject {
  Q_OBJECT

  ShellOpenRecorder opened_;

  void uninstalledDetailsAndMissingFiles(TForm1& form, const GameTree& game, ModalAnswerer& watch) {
    auto& u = form.levelOrganizerUi;
    // The uninstalled side fills its own name box and paths; the preview still comes from gfx.
    select(u.FoundFiles2, QStringLiteral("away"));
    QCOMPARE(u.lvlname2->text(), QStringLiteral("Far Away"));
    QCOMPARE(u.Edit4->text(), QStringLiteral("Bad Picture"));
    QCOMPARE(form.LevelInstallFrom, game / "un_levels/away");
    QCOMPARE(form.LevelInstallTo, game / "levels/away");
    QCOMPARE(form.SelectedLevelFolder, game / "un_levels/away/");
    QVERIFY(u.viewreadme->isEnabled());

    // un_levels/pack/one.inf: its details look for un_levels/one/one.inf, which is not there.
    QTreeWidgetItem* one = findItem(u.FoundFiles2, QStringLiteral("one"));
    u.FoundFiles2->setCurrentItem(one);
    QCOMPARE(watch.boxes.size(), 2);
    QCOMPARE(watch.boxes[1].text, QStringLiteral("File not found."));
    QCOMPARE(form.LevelInstallFrom, game / "un_levels/one");
    QCOMPARE(u.lvlname2->text(), QStringLiteral("Far Away"));
    QCOMPARE(form.SelectedLevelFolder, game / "un_levels/away/");
    // A double click opens the file the search found.
    doubleClick(u.FoundFiles2->viewport(), u.FoundFiles2->visualItemRect(one).center());
    QCOMPARE(opened_.size(), 3u);
    QCOMPARE(opened_[2].file, std::string("one.inf"));
    QCOMPARE(opened_[2].folder, game / "un_levels/pack");

    // Without pellmoor.bmp the fallback's open error names the path.
    fs::remove(game / "gfx/pellmoor.bmp");
    select(u.FoundFiles, QStringLiteral("plainer"));
    QCOMPARE(watch.boxes.size(), 3);
    QCOMPARE(watch.boxes[2].text, q("Cannot open file " + game.dir + "/gfx/pellmoor.bmp."));

    // A folder name that is not UTF-8 (on Windows: not ASCII) keeps its bytes in the paths built
    // from the selection.
    const std::string latin1 = kStreet;
    writeLevelInfo(game / ("levels/" + latin1 + "/" + latin1 + ".inf"), "Strasse");
    writeBitmap(game / "gfx/pellmoor.bmp", 16, Qt::blue);
    go(form);
    QTreeWidgetItem* street = itemByBytes(u.FoundFiles, QByteArray::fromStdString(kStreet));
    QVERIFY(street != nullptr);
    u.FoundFiles->setCurrentItem(street);
    QCOMPARE(watch.boxes.size(), 3);
    QCOMPARE(u.Edit4->text(), QStringLiteral("Strasse"));
    QCOMPARE(form.LevelUninstallFrom, game / ("levels/" + latin1));

    // Go leaves both viewer buttons off and the names as they were.
    go(form);
    QVERIFY(!u.viewreadme->isEnabled());
    QVERIFY(!u.inffile1->isEnabled());
    QCOMPARE(u.lvlname2->text(), QStringLiteral("Far Away"));
    QCOMPARE(u.Edit4->text(), QStringLiteral("Strasse"));
  }

  void previewsAndDoubleClickBelowTheItems(TForm1& form, const GameTree& game, ModalAnswerer& watch) {
    auto& u = form.levelOrganizerUi;
    // The preview of a level whose name is not UTF-8 (on Windows: not ASCII) is its own picture.
    QTreeWidgetItem* street = itemByBytes(u.FoundFiles, QByteArray::fromStdString(kStreet));
    QVERIFY(street != nullptr);
    u.FoundFiles->setCurrentItem(street);
    QCOMPARE(watch.boxes.size(), 0);
    QCOMPARE(previewColour(form), QColor(Qt::green).rgb());

    // A pipe or a folder in place of pellmoor.bmp cannot be opened (and never blocks the window).
    // (Windows has no pipes in folders: there only the folder.)
    const QString cannotOpen = q("Cannot open file " + game.dir + "/gfx/pellmoor.bmp.");
    fs::remove(game / "gfx/pellmoor.bmp");
    QCOMPARE(makeFifo(game / "gfx/pellmoor.bmp"), kOnLinux);
    if (kOnLinux) {
      select(u.FoundFiles, QStringLiteral("mytrack"));
      QCOMPARE(watch.boxes.size(), 1);
      QCOMPARE(watch.boxes[0].text, cannotOpen);
      fs::remove(game / "gfx/pellmoor.bmp");
    }
    makeDirs(game / "gfx/pellmoor.bmp");
    u.FoundFiles->setCurrentItem(street);
    select(u.FoundFiles, QStringLiteral("mytrack"));
    QCOMPARE(watch.boxes.size(), kOnLinux ? 2 : 1);
    QCOMPARE(watch.boxes.last().text, cannotOpen);
    QCOMPARE(previewColour(form), QColor(Qt::green).rgb());

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

  void viewerButtonsAndABadPreview(TForm1& form, const GameTree& game, ModalAnswerer& watch) {
    auto& u = form.levelOrganizerUi;
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
    QCOMPARE(form.SelectedLevelInfoFile, std::string("badpic.inf"));
    QCOMPARE(previewColour(form), QColor(Qt::blue).rgb());

    uninstalledDetailsAndMissingFiles(form, game, watch);
  }

 private slots:
  void init() { opened_.clear(); }

  void pageStartsAsDesigned() {
    ModalAnswerer watch;
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
      QCOMPARE(list->selectionMode(), QAbstractItemView::ExtendedSelection);
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
    QCOMPARE(form->FindFile2.Containing(), std::string(kInfMarker));
    QCOMPARE(watch.boxes.size(), 0);
  }

  // A game directory without levels (here: removed since it was chosen).
  void goRefusesAFolderWithoutLevels() {
    ModalAnswerer watch;
    Game game;
    writeLevelInfo(game / "levels/mytrack/mytrack.inf", "My Track");
    auto form = game.open();
    auto& u = form->levelOrganizerUi;
    go(*form);
    QCOMPARE(u.FoundFiles->topLevelItemCount(), 1);
    // The folder lists made "levels" the working folder, which Windows does not let be removed.
    setCurrentDir(game.dir);
    fs::remove_all(game / "levels");
    runGuarded(form.get(), [&] { form->FindButtonClick(); });
    QCOMPARE(watch.boxes.size(), 1);
    QCOMPARE(watch.boxes[0].text, QStringLiteral("Selected Directory is not a TORVANE Main directory."));
    QVERIFY(!u.viewreadme->isEnabled());
  }

  void detailsOfBothLists() {
    ModalAnswerer watch;
    Game game;
    writeLevelInfo(game / "levels/mytrack/mytrack.inf", "My Track", "; first line is a comment\r\n");
    writeFile(game / "levels/mytrack/readme.txt", "read me\r\n");
    writeBitmap(game / "gfx/mytrack.bmp", 8, Qt::red);
    writeLevelInfo(game / "levels/plainer/plainer.inf", "A name that is much longer than twenty-seven letters");
    writeLevelInfo(game / "levels/badpic/badpic.inf", "Bad Picture");
    writeFile(game / "gfx/badpic.bmp", "this is not a bitmap at all");
    writeLevelInfo(game / "un_levels/away/away.inf", "Far Away");
    writeFile(game / "un_levels/away/readme.txt", "r");
    writeLevelInfo(game / "un_levels/pack/one.inf", "in a pack");
    writeLevelInfo(game / "levels/LOUD/LOUD.INF", "Made Elsewhere");  // an upper-case extension
    auto form = game.openShown();
    auto& u = form->levelOrganizerUi;
    go(*form);

    // The details, the viewer button and a double click read the info file the search found.
    select(u.FoundFiles, QStringLiteral("LOUD"));
    QCOMPARE(watch.boxes.size(), 0);
    QCOMPARE(u.Edit4->text(), QStringLiteral("Made Elsewhere"));
    QCOMPARE(form->SelectedLevelInfoFile, std::string("LOUD.INF"));
    u.inffile1->click();
    doubleClickRow(u.FoundFiles, QStringLiteral("LOUD"));
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

    viewerButtonsAndABadPreview(*form, game, watch);
  }

  void nameBoxesPreviewsAndDoubleClicks() {
    ModalAnswerer watch;
    Game game;
    writeLevelInfo(game / "un_levels/away/away.inf", "Far");
    writeFile(game / "un_levels/blank/blank.inf", std::string("; ") + kInfMarker + "\r\nNAME ''\r\n");
    writeLevelInfo(game / "levels/mytrack/mytrack.inf", "My Track");
    // A level whose folder name is not UTF-8 (on Windows: not ASCII), with a preview of its own.
    const std::string latin1 = kStreet;
    writeLevelInfo(game / ("levels/" + latin1 + "/" + latin1 + ".inf"), "Strasse");
    writeBitmap(game / ("gfx/" + latin1 + ".bmp"), 8, Qt::green);
    auto form = game.openShown();
    auto& u = form->levelOrganizerUi;
    go(*form);

    // The uninstalled side's name box has no typing limit: a short or empty name does not stop
    // the user from typing into it.
    select(u.FoundFiles2, QStringLiteral("away"));
    QCOMPARE(u.lvlname2->text(), QStringLiteral("Far"));
    type(u.lvlname2, QStringLiteral(" Away"));
    QCOMPARE(u.lvlname2->text(), QStringLiteral("Far Away"));
    select(u.FoundFiles2, QStringLiteral("blank"));
    QCOMPARE(u.lvlname2->text(), QString());
    type(u.lvlname2, QStringLiteral("typed"));
    QCOMPARE(u.lvlname2->text(), QStringLiteral("typed"));
    // The installed side's box keeps its limit of 27 letters for typing.
    select(u.FoundFiles, QStringLiteral("mytrack"));
    u.Edit4->clear();
    type(u.Edit4, QString(40, QLatin1Char('x')));
    QCOMPARE(u.Edit4->text(), QString(27, QLatin1Char('x')));

    previewsAndDoubleClickBelowTheItems(*form, game, watch);
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

  void listsStretchWithTheWindow() {
    ModalAnswerer watch;
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
};

QTEST_MAIN(LevelPageTest)
#include "level_page_test.moc"
