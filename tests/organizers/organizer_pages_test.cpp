// Both organizer pages on the real main window, one data row per page, for what the two pages do
// alike: the listing rules and counters, Go refusing a blocked uninstalled folder, Uninstall and
// Install with their refusals, and Delete's question.
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QScrollBar>
#include <QStatusBar>
#include <QTest>
#include <filesystem>
#include <memory>

#include "platform/DirectoryListBox.h"
#include "platform/FileSystem.h"
#include "shell/Unit1.h"
#include "support/GameTree.h"
#include "support/LinuxOnly.h"
#include "support/ModalAnswerer.h"
#include "support/OrganizerTab.h"
#include "support/WindowHarness.h"

using namespace pitkit;
using namespace pitkit::test;
namespace fs = std::filesystem;

namespace {

void go(const OrganizerControls& page) { clickGo(page); }

QString count(int n) { return QString::number(n) + QStringLiteral("  "); }

// The listing rules of each page: a tree, what its lists and counters show, and the checks only
// that page has.
struct ListingCase {
  void (*writeTree)(const GameTree&);
  QStringList installed, uninstalled;
  int installedCount, totalCount, uninstalledCount;
  void (*beforeGo)(TForm1&);
  void (*afterGo)(TForm1&, const GameTree&, const ShellOpenRecorder&);
};

void writeLevelListingTree(const GameTree& game) {
  writeLevelInfo(game / "levels/mytrack/mytrack.inf", "My Track");
  writeLevelInfo(game / "levels/NHOOD1/NHOOD1.inf", "Loud Hood");
  writeLevelInfo(game / "levels/Rennbahn Müll/Rennbahn Müll.inf", "Müll");
  writeLevelInfo(game / "levels/second/second.inf", "Second");
  writeLevelInfo(game / "levels/nhood1/nhood1.inf", "stock");           // stock name, exact case
  writeLevelInfo(game / "levels/Muse1/Muse1.inf", "stock");             // stock name
  writeLevelInfo(game / "levels/other/else.inf", "wrong file name");    // no levels/else folder
  writeLevelInfo(game / "levels/a/b/b.inf", "too deep");                // relative folder a/b
  makeDirs(game / "levels/b");
  writeLevelInfo(game / "levels/Case/case.inf", "case differs");        // levels/case exists too
  makeDirs(game / "levels/case");
  writeLevelInfo(game / "levels/direct.inf", "directly in levels");     // not in a level folder
  makeDirs(game / "levels/direct");
  writeFile(game / "levels/plain/plain.inf", "NAME 'no marker'\r\n");
  writeLevelInfo(game / "un_levels/nhood1/nhood1.inf", "stock moved out");
  writeLevelInfo(game / "un_levels/pack/one.inf", "in a pack");
  writeFile(game / "un_levels/plain2/plain2.inf", "NAME 'no marker'\r\n");
}

void checkLevelListing(TForm1& form, const GameTree& game, const ShellOpenRecorder&) {
  auto& u = form.levelOrganizerUi;
  // The status bar shows the last folder searched (un_levels has pack and its other folders).
  QVERIFY2(form.ui.StatusBar1->currentMessage().startsWith(q(game / "un_levels")),
           qPrintable(form.ui.StatusBar1->currentMessage()));
  QCOMPARE(findItem(u.FoundFiles2, QStringLiteral("one"))->data(0, Qt::UserRole).toByteArray().toStdString(),
           game / "un_levels/pack");
  for (QPushButton* b : {u.BitBtn4, u.BitBtn5, u.BitBtn6, u.BitBtn7}) QVERIFY(b->isEnabled());
  QVERIFY(u.FoundFiles->selectedItems().isEmpty());
}

// A stock car's name in another spelling: a custom car. Linux has it beside the stock folder of
// the same name; Windows keeps one spelling of a name, so there it is another stock name's.
const QString kOtherSpelling = kOnLinux ? QStringLiteral("Adeon") : QStringLiteral("Amw");

void writeCarListingTree(const GameTree& game) {
  writeCarParameters(game / "cars/mycar", "My Car");
  writeCarParameters(game / "cars/adeon", "stock");  // stock folder name, exact case
  writeCarParameters(game / ("cars/" + kOtherSpelling.toStdString()), "Not Stock");
  writeCarParameters(game / "cars/pack/deep", "Deep Car");  // listed by its path below cars
  // Renamed through another name: Wine keeps the old spelling on a rename in letter case only.
  fs::rename(game / "cars/pack/deep/parameters.txt", game / "cars/pack/deep/renamed");
  fs::rename(game / "cars/pack/deep/renamed", game / "cars/pack/deep/PARAMETERS.TXT");
  writeCarParameters(game / "cars", "lying in cars");  // no list item for the whole folder
  writeFile(game / "cars/plain/parameters.txt", "Name \"no marker\"\r\n");
  writeCarParameters(game / "garage/adeon", "stock moved out");  // no stock filter in the garage
  writeCarParameters(game / "garage/Müll Wagen", "M\xFCll");     // the game's 8-bit text
  writeCarParameters(game / "garage", "lying in garage");
}

// Until the first selection both pictures show the placeholder that Image10 holds.
void checkCarPlaceholders(TForm1& form) {
  QVERIFY(form.ui.Image10->isHidden());
  QVERIFY(!shown(form.ui.Image10).isNull());
  QCOMPARE(shown(form.carOrganizerUi.Image9), shown(form.ui.Image10));
  QCOMPARE(shown(form.carOrganizerUi.Image3), shown(form.ui.Image10));
}

// A deeper car's details come from its own folder.
void checkCarListing(TForm1& form, const GameTree& game, const ShellOpenRecorder& opened) {
  auto& c = form.carOrganizerUi;
  select(c.Foundfiles3, QStringLiteral("pack/deep"));
  QCOMPARE(c.Edit10->text(), QStringLiteral("Deep Car"));
  QCOMPARE(form.CarUninstallFrom, game / "cars/pack/deep");
  QCOMPARE(form.CarUninstallTo, game / "garage/pack/deep");
  QTest::mouseDClick(c.Foundfiles3->viewport(), Qt::LeftButton, {},
                     c.Foundfiles3->visualItemRect(c.Foundfiles3->currentItem()).center());
  QCOMPARE(opened.size(), 1u);
  QCOMPARE(opened[0].file, std::string("PARAMETERS.TXT"));  // the file the search found
  QCOMPARE(opened[0].folder, game / "cars/pack/deep");
  select(c.foundfiles4, QStringLiteral("Müll Wagen"));
  QCOMPARE(c.Edit8->text(), QStringLiteral("Müll"));
  QCOMPARE(form.CarInstallFrom, game / "garage/Müll Wagen");
}

const ListingCase& listingCase(const QString& side) {
  static const ListingCase level{
      &writeLevelListingTree,
      {QStringLiteral("NHOOD1"), QStringLiteral("Rennbahn Müll"), QStringLiteral("mytrack"), QStringLiteral("second")},
      {QStringLiteral("nhood1"), QStringLiteral("one")}, 4, 22, 2, nullptr, &checkLevelListing};
  static const ListingCase car{
      &writeCarListingTree,
      {kOtherSpelling, QStringLiteral("mycar"), QStringLiteral("pack/deep")},
      {QStringLiteral("Müll Wagen"), QStringLiteral("adeon")}, 3, 38, 2, &checkCarPlaceholders, &checkCarListing};
  return side == QLatin1String("car") ? car : level;
}

}  // namespace

class OrganizerPagesTest : public QObject {
  Q_OBJECT

  ShellOpenRecorder opened_;
  // Each test runs once per page (its data row): the page, a fresh organizer game, the answerer.
  const OrganizerTab* side_ = nullptr;
  std::string in_, out_;  // the page's installed and uninstalled folders, with a separator
  std::unique_ptr<OrganizerGame> game_;
  std::unique_ptr<ModalAnswerer> watch_;

 private slots:
  void init() {
    opened_.clear();
    QFETCH(QString, side);
    side_ = &sideNamed(side);
    in_ = side_->installedTop + "/";
    out_ = side_->uninstalledTop + "/";
    game_ = std::make_unique<OrganizerGame>();
    watch_ = std::make_unique<ModalAnswerer>();
  }
  void cleanup() {
    watch_.reset();
    game_.reset();
  }

  void listingRulesAndCounters_data() { addSideRows(); }
  void listingRulesAndCounters() {
    const OrganizerTab& s = *side_;
    const ListingCase& c = listingCase(QString::fromLatin1(s.name));
    ModalAnswerer& watch = *watch_;
    const GameTree& game = *game_;
    c.writeTree(game);
    auto form = game.open();
    const OrganizerControls p = s.controls(*form);
    if (c.beforeGo != nullptr) c.beforeGo(*form);
    go(p);
    QCOMPARE(watch.boxes.size(), 0);
    QCOMPARE(captions(p.installed), c.installed);
    QCOMPARE(captions(p.uninstalled), c.uninstalled);
    QCOMPARE(p.installedCount->text(), count(c.installedCount));
    QCOMPARE(p.totalCount->text(), count(c.totalCount));
    QCOMPARE(p.uninstalledCount->text(), count(c.uninstalledCount));
    QVERIFY(p.go->isEnabled());
    c.afterGo(*form, game, opened_);

    // A second Go lists the same again (nothing doubled), and a missing uninstalled folder is
    // created.
    fs::remove_all(game / s.uninstalledTop);
    go(p);
    QCOMPARE(watch.boxes.size(), 0);
    QVERIFY(directoryExists(game / s.uninstalledTop));
    QCOMPARE(p.installed->topLevelItemCount(), int(c.installed.size()));
    QCOMPARE(p.uninstalledCount->text(), count(0));
  }

  // The uninstalled folder cannot be created where a file of that name is in the way.
  void goRefusesAFileInTheWayOfTheUninstalledFolder_data() { addSideRows(); }
  void goRefusesAFileInTheWayOfTheUninstalledFolder() {
    const OrganizerTab& s = *side_;
    ModalAnswerer& watch = *watch_;
    const GameTree& game = *game_;
    s.writeItem(game / (s.installedTop + "/mytrack"), "My Track");
    auto form = game.open();
    const OrganizerControls p = s.controls(*form);
    go(p);
    QCOMPARE(p.installed->topLevelItemCount(), 1);

    fs::remove_all(game / s.uninstalledTop);
    writeFile(game / s.uninstalledTop, "a file");
    go(p);
    QCOMPARE(watch.boxes.size(), 1);
    QCOMPARE(watch.boxes[0].text, q("Cannot create " + game.dir + "/" + s.uninstalledTop + "."));
    QCOMPARE(watch.boxes[0].title, QStringLiteral("Torvane Pit Kit"));
    QCOMPARE(p.installed->topLevelItemCount(), 1);  // the lists keep their items
    QCOMPARE(readFile(game / s.uninstalledTop), std::string("a file"));
  }

  void uninstallAndInstall_data() { addSideRows(); }
  void uninstallAndInstall() {
    const OrganizerTab& s = *side_;
    const std::string payload(100000, 'w');
    ModalAnswerer& watch = *watch_;
    const GameTree& game = *game_;
    s.writeItem(game / (in_ + "mytrack"), "My Track");
    writeFile(game / (in_ + "mytrack/payload.bin"), payload);
    s.writeItem(game / (in_ + "keep"), "Keep");
    auto form = game.open();
    const OrganizerControls p = s.controls(*form);

    // Nothing remembered yet: Uninstall and Install do nothing, the Deletes ask nothing.
    for (QPushButton* b : {p.uninstall, p.install, p.deleteInstalled, p.deleteUninstalled}) b->click();
    QCOMPARE(watch.boxes.size(), 0);
    QVERIFY(directoryExists(game / (in_ + "mytrack")));

    go(p);
    select(p.installed, QStringLiteral("mytrack"));
    p.uninstall->click();
    QCOMPARE(watch.boxes.size(), 0);
    QVERIFY(!fs::exists(game / (in_ + "mytrack")));
    QCOMPARE(readFile(game / (out_ + "mytrack/payload.bin")), payload);
    QCOMPARE(captions(p.installed), QStringList({QStringLiteral("keep")}));
    QCOMPARE(captions(p.uninstalled), QStringList({QStringLiteral("mytrack")}));
    QCOMPARE(p.installedCount->text(), count(1));
    QCOMPARE(p.uninstalledCount->text(), count(1));

    // The row now standing where the moved one stood is selected.
    QCOMPARE(p.installed->selectedItems().value(0)->text(0), QStringLiteral("keep"));
    // Uninstall again with no row selected (Go leaves none): the remembered item, no longer
    // listed there, is not moved and nothing is asked.
    go(p);
    p.uninstall->click();
    QCOMPARE(watch.boxes.size(), 0);
    QCOMPARE(readFile(game / (out_ + "mytrack/payload.bin")), payload);

    // A listed item whose folder went away meanwhile: the move fails, nothing is deleted and no
    // new search runs.
    select(p.installed, QStringLiteral("keep"));
    fs::remove_all(game / (in_ + "keep"));
    p.installed->addTopLevelItem(new QTreeWidgetItem(QStringList{QStringLiteral("sentinel")}));
    p.uninstall->click();
    QCOMPARE(watch.boxes.size(), 1);
    QCOMPARE(watch.boxes[0].text, q("Cannot move " + game.dir + "/" + in_ + "keep: No such file or directory."));
    QVERIFY(findItem(p.installed, QStringLiteral("sentinel")) != nullptr);
    QVERIFY(!fs::exists(game / (out_ + "keep")));
    QCOMPARE(readFile(game / (out_ + "mytrack/payload.bin")), payload);

    // Install brings it back.
    go(p);
    select(p.uninstalled, QStringLiteral("mytrack"));
    p.install->click();
    QCOMPARE(watch.boxes.size(), 1);
    QCOMPARE(readFile(game / (in_ + "mytrack/payload.bin")), payload);
    QVERIFY(!fs::exists(game / (out_ + "mytrack")));
    QCOMPARE(captions(p.installed), QStringList({QStringLiteral("mytrack")}));
    QCOMPARE(p.uninstalled->topLevelItemCount(), 0);
  }

  // A move onto a name already taken is refused on both sides before anything is touched, and
  // both lists still show both items.
  void movesOntoATakenNameAreRefused_data() { addSideRows(); }
  void movesOntoATakenNameAreRefused() {
    const OrganizerTab& s = *side_;
    ModalAnswerer& watch = *watch_;
    const GameTree& game = *game_;
    s.writeItem(game / (in_ + "keep"), "Keep");
    s.writeItem(game / (out_ + "keep"), "Older Keep");
    auto form = game.open();
    const OrganizerControls p = s.controls(*form);
    go(p);
    select(p.installed, QStringLiteral("keep"));
    select(p.uninstalled, QStringLiteral("keep"));
    const std::string file = s.foundFile("keep");
    for (QPushButton* move : {p.uninstall, p.install}) {
      const std::string target = move == p.uninstall ? s.uninstalledTop : s.installedTop;
      move->click();
      QCOMPARE(watch.boxes.last().text,
               q("Cannot move keep to " + game.dir + "/" + target + ": an entry named keep is already there."));
      QCOMPARE(readFile(game / (out_ + "keep/" + file)).find("Older Keep") != std::string::npos, true);
      QCOMPARE(readFile(game / (in_ + "keep/" + file)).find("Older") == std::string::npos, true);
      QCOMPARE(captions(p.installed), QStringList({QStringLiteral("keep")}));
      QCOMPARE(captions(p.uninstalled), QStringList({QStringLiteral("keep")}));
    }
    QCOMPARE(watch.boxes.size(), 2);
    QVERIFY(!fs::exists(game / (out_ + "keep (2)")));
    QVERIFY(!fs::exists(game / (in_ + "keep (2)")));
  }

  // From the keyboard: Space on Uninstall, Install and Delete acts, and the focus stays on the
  // action's own button (never on Exit), so a second Space does not end the program. Install and
  // Uninstall act only on a selected row: after Go and after another game folder none is.
  void keyboardActionsAndRowsNotShown_data() { addSideRows(); }
  void keyboardActionsAndRowsNotShown() {
    const OrganizerTab& s = *side_;
    ModalAnswerer& watch = *watch_;
    const GameTree& game = *game_;
    s.writeItem(game / (in_ + "alpha"), "Alpha");
    s.writeItem(game / (out_ + "beta"), "Beta");
    auto form = game.openShown();
    const OrganizerControls p = s.controls(*form);
    go(p);
    const auto spaceOn = [](QPushButton* button) {
      showPageOf(button);
      button->setFocus();
      pressKey(button, Qt::Key_Space);
      QCOMPARE(button->window()->focusWidget(), button);
    };

    select(p.installed, QStringLiteral("alpha"));
    spaceOn(p.uninstall);
    QVERIFY(directoryExists(game / (out_ + "alpha")));
    select(p.uninstalled, QStringLiteral("beta"));
    spaceOn(p.install);
    QVERIFY(directoryExists(game / (in_ + "beta")));
    // Again, with no row selected after Go: nothing moves and the window stays.
    go(p);
    spaceOn(p.install);
    spaceOn(p.uninstall);
    QVERIFY(form->isVisible());
    QVERIFY(directoryExists(game / (in_ + "beta")) && directoryExists(game / (out_ + "alpha")));

    select(p.installed, QStringLiteral("beta"));
    watch.answerWith(QMessageBox::Yes);
    spaceOn(p.deleteInstalled);
    QVERIFY(!fs::exists(game / (in_ + "beta")));
    spaceOn(p.deleteInstalled);
    QCOMPARE(watch.boxes.size(), 1);
    QVERIFY(form->isVisible());

    // Another game folder: the item selected before is not on screen, so Install leaves it.
    select(p.uninstalled, QStringLiteral("alpha"));
    GameTree other;
    form->changeDirectoryUi.DirectoryListBox1->setDirectory(other.dir);
    p.install->click();
    QVERIFY(directoryExists(game / (out_ + "alpha")));
    QVERIFY(!fs::exists(game / (in_ + "alpha")) && !fs::exists(other / (in_ + "alpha")));
    QCOMPARE(watch.boxes.size(), 1);
  }

  void deleteAsksFirst_data() { addSideRows(); }
  void deleteAsksFirst() {
    const OrganizerTab& s = *side_;
    ModalAnswerer& watch = *watch_;
    const GameTree& game = *game_;
    s.writeItem(game / (in_ + "mytrack"), "My Track");
    writeFile(game / (in_ + "mytrack/locked.txt"), "ro");
    fs::permissions(game / (in_ + "mytrack/locked.txt"), fs::perms::owner_read);
    s.writeItem(game / (out_ + "away"), "Far Away");
    auto form = game.open();
    const OrganizerControls p = s.controls(*form);
    go(p);

    // No selection in its own list: nothing asked, nothing deleted.
    for (QPushButton* b : {p.deleteInstalled, p.deleteUninstalled}) b->click();
    select(p.uninstalled, QStringLiteral("away"));
    p.deleteInstalled->click();
    QCOMPARE(watch.boxes.size(), 0);
    p.uninstalled->clearSelection();
    select(p.installed, QStringLiteral("mytrack"));
    p.deleteUninstalled->click();
    QCOMPARE(watch.boxes.size(), 0);

    // No (here through Escape) deletes nothing.
    watch.answerWithEscape();
    p.deleteInstalled->click();
    QCOMPARE(watch.boxes.size(), 1);
    QCOMPARE(watch.boxes[0].title, QStringLiteral("Confirm"));
    QCOMPARE(watch.boxes[0].text, QStringLiteral("Are you shure you want to delete this level?"));
    QCOMPARE(watch.boxes[0].icon, QMessageBox::Question);
    QCOMPARE(watch.boxes[0].defaultButton, QMessageBox::Yes);
    // The box names what it deletes, and its kind, under the page's one question.
    const QString kind = s.name == std::string("level") ? QStringLiteral("Level: ") : QStringLiteral("Car: ");
    QVERIFY2(watch.boxes[0].informative.startsWith(kind + QStringLiteral("mytrack\nIn: ") + q(game / s.installedTop)),
             qPrintable(watch.boxes[0].informative));
    QVERIFY(directoryExists(game / (in_ + "mytrack")));
    QCOMPARE(p.installed->topLevelItemCount(), 1);

    // Yes deletes the folder with its read-only file, and the lists are rebuilt.
    watch.answerWith(QMessageBox::Yes);
    p.deleteInstalled->click();
    QCOMPARE(watch.boxes.size(), 2);
    QVERIFY(!fs::exists(game / (in_ + "mytrack")));
    QCOMPARE(p.installed->topLevelItemCount(), 0);
    QCOMPARE(p.totalCount->text(), count(s.stockItems));

    select(p.uninstalled, QStringLiteral("away"));
    watch.answerWith(QMessageBox::Yes);
    p.deleteUninstalled->click();
    QCOMPARE(watch.boxes.size(), 3);
    QVERIFY(watch.boxes[2].informative.startsWith(kind + QStringLiteral("away\nIn: ") + q(game / s.uninstalledTop)));
    QVERIFY(!fs::exists(game / (out_ + "away")));
    QVERIFY(directoryExists(game / s.uninstalledTop));
    QCOMPARE(p.uninstalled->topLevelItemCount(), 0);
  }

  // After an action the list keeps its scroll position and selects the row that now stands where
  // the moved or deleted one stood, or the one before it at the end.
  void actionKeepsPlace_data() { addSideRows(); }
  void actionKeepsPlace() {
    const OrganizerTab& s = *side_;
    ModalAnswerer& watch = *watch_;
    const GameTree& game = *game_;
    for (int k = 0; k < 60; ++k) s.writeItem(game / (in_ + QStringLiteral("item%1").arg(k, 2, 10, QLatin1Char('0')).toStdString()), "x");
    s.writeItem(game / (out_ + "away1"), "Far");
    s.writeItem(game / (out_ + "away2"), "Farther");
    auto form = game.openShown();
    const OrganizerControls p = s.controls(*form);
    showPageOf(p.installed);
    go(p);
    QScrollBar* bar = p.installed->verticalScrollBar();
    QTRY_VERIFY(bar->maximum() > 10);
    const auto selected = [](QTreeWidget* list) {
      const QList<QTreeWidgetItem*> items = list->selectedItems();
      return items.size() == 1 ? items[0]->text(0) : QStringLiteral("(%1 selected)").arg(items.size());
    };

    p.installed->scrollToItem(findItem(p.installed, QStringLiteral("item30")), QAbstractItemView::PositionAtTop);
    const int scroll = bar->value();
    clickRow(p.installed, QStringLiteral("item33"));
    click(p.uninstall);
    QVERIFY(directoryExists(game / (out_ + "item33")));
    QCOMPARE(selected(p.installed), QStringLiteral("item34"));
    QCOMPARE(bar->value(), scroll);
    QCOMPARE(selected(p.uninstalled), QStringLiteral("(0 selected)"));

    p.installed->scrollToBottom();
    clickRow(p.installed, QStringLiteral("item59"));
    watch.answerWith(QMessageBox::Yes);
    click(p.deleteInstalled);
    QVERIFY(!fs::exists(game / (in_ + "item59")));
    QCOMPARE(selected(p.installed), QStringLiteral("item58"));
    QCOMPARE(bar->value(), bar->maximum());

    clickRow(p.uninstalled, QStringLiteral("away1"));
    click(p.install);
    QCOMPARE(selected(p.uninstalled), QStringLiteral("away2"));
    QCOMPARE(p.uninstalledName->text(), QStringLiteral("Farther"));  // the details follow the selection
    QCOMPARE(watch.unexpected, 0);
  }
};

QTEST_MAIN(OrganizerPagesTest)
#include "organizer_pages_test.moc"
