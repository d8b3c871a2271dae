// Several rows at once on both organizer pages, through the window: Shift and Ctrl selection, a
// batch where one row fails while the others move, Delete of several with one question, Cancel
// between rows, and the one record each action leaves for the history.
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <chrono>
#include <filesystem>
#include <thread>

#include "transfer/FileCopy.h"
#include "support/CopyThroughBuffer.h"
#include "support/GameTree.h"
#include "support/ModalAnswerer.h"
#include "support/OrganizerTab.h"
#include "support/WindowHarness.h"

using namespace pitkit;
using namespace pitkit::test;
namespace fs = std::filesystem;

namespace {

QString names(const HistoryAction& action) {
  QString out;
  for (const HistoryItem& item : action.items) out += q(item.name);
  return out;
}

void shiftClickRow(QTreeWidget* list, const QString& caption) {
  click(list->viewport(), list->visualItemRect(findItem(list, caption)).center(), Qt::ShiftModifier);
}

}  // namespace

class OrganizerBatchTest : public WindowTestCase {
  Q_OBJECT
 private slots:
  void severalRowsInOneAction_data() { addSideRows(); }
  void severalRowsInOneAction() {
    QFETCH(QString, side);
    const OrganizerTab& s = sideNamed(side);
    const std::string in = s.installedTop + "/", out = s.uninstalledTop + "/";
    const bool car = side == QLatin1String("car");
    const std::string kind = car ? "Car" : "Level", noun = car ? "cars" : "levels";
    OrganizerGame game;
    for (const std::string name : {"a", "b", "c", "d"}) s.writeItem(game / (in + name), "Item " + name);
    s.writeItem(game / (out + "d"), "Older d");
    s.writeItem(game / (out + "e"), "Item e");
    ModalAnswerer watch;
    auto form = game.openShown();
    const OrganizerControls p = s.controls(*form);
    std::vector<HistoryAction> recorded;
    // As the history keeps them: an action recorded again under its id replaces what it said.
    (car ? form->carOrganizer() : form->levelOrganizer()).setActionRecorder([&](const HistoryAction& a) {
      if (a.id == 0) recorded.push_back(a);
      recorded[a.id == 0 ? recorded.size() - 1 : a.id - 1] = a;
      return a.id == 0 ? static_cast<std::int64_t>(recorded.size()) : a.id;
    });
    clickGo(p);

    // Click and Shift+click select a to c, the details show the row clicked last, and one click
    // on Uninstall moves all three and records them as one action.
    clickRow(p.installed, QStringLiteral("a"));
    shiftClickRow(p.installed, QStringLiteral("c"));
    QCOMPARE(p.installed->selectedItems().size(), 3);
    QCOMPARE(p.installedName->text(), QStringLiteral("Item c"));
    click(p.uninstall);
    QCOMPARE(captions(p.installed), QStringList({QStringLiteral("d")}));
    QCOMPARE(captions(p.uninstalled).join(QString()), QStringLiteral("abcde"));
    QVERIFY(recorded.size() == 1 && recorded[0].kind == HistoryActionKind::Uninstall);
    QCOMPARE(recorded[0].gameFolder, game.dir);
    QCOMPARE(names(recorded[0]), QStringLiteral("abc"));
    QVERIFY(recorded[0].items[1] == (HistoryItem{.kind = car ? ItemKind::Car : ItemKind::Level, .name = "b",
                                                 .fromPath = game / (in + "b"), .toPath = game / (out + "b"), .replacedTo = {}}));

    // Shift+Down twice from c selects c, d and e; d's name is taken on the other side, so c and e
    // move and one error box names d with its reason.
    clickRow(p.uninstalled, QStringLiteral("c"));
    pressKey(p.uninstalled, Qt::Key_Down, Qt::ShiftModifier);
    pressKey(p.uninstalled, Qt::Key_Down, Qt::ShiftModifier);
    QCOMPARE(p.uninstalledName->text(), QStringLiteral("Item e"));
    click(p.install);
    QCOMPARE(watch.texts(), QStringList({q("1 of 3 " + noun + " could not be installed:\nd: Cannot move d to " +
                                           game.dir + "/" + s.installedTop + ": an entry named d is already there.")}));
    QCOMPARE(captions(p.installed).join(QString()), QStringLiteral("cde"));
    QCOMPARE(captions(p.uninstalled).join(QString()), QStringLiteral("abd"));
    QVERIFY(recorded.size() == 2 && recorded[1].kind == HistoryActionKind::Install);
    QCOMPARE(names(recorded[1]), QStringLiteral("ce"));

    // Ctrl+A selects the whole list; one question, naming how many and which, deletes them all.
    clickRow(p.installed, QStringLiteral("d"));
    pressKey(p.installed, Qt::Key_A, Qt::ControlModifier);
    watch.answerWith(QMessageBox::Yes);
    click(p.deleteInstalled);
    QCOMPARE(watch.boxes.size(), 2);
    QCOMPARE(watch.boxes[1].text, q("Are you sure you want to delete these 3 " + noun + "?"));
    QVERIFY2(watch.boxes[1].informative.startsWith(q(kind + ": c\n" + kind + ": d\n" + kind + ": e\nIn: " +
                                                     game.dir + "/" + s.installedTop + "\n")),
             qPrintable(watch.boxes[1].informative));
    QCOMPARE(p.installed->topLevelItemCount(), 0);
    QVERIFY(namesIn(game / s.installedTop).empty());
    QCOMPARE(captions(p.uninstalled).join(QString()), QStringLiteral("abd"));
    QVERIFY(recorded.size() == 3 && recorded[2].kind == HistoryActionKind::Delete);
    QCOMPARE(names(recorded[2]), QStringLiteral("cde"));
    QCOMPARE(recorded[2].items[0].toPath, std::string());
    QCOMPARE(watch.unexpected, 0);
  }

  // Across file systems each row is copied: Cancel during the second row leaves it whole where
  // it was and the third untouched, and the status bar says how far the batch got.
  void cancelStopsTheRowInHandAndTheRest() {
    const std::string other = otherFileSystemParent();
    if (other.empty()) QSKIP("no second file system on this machine");
    OrganizerGame game;
    TempDir away(other);
    makeDirs(away / "un_levels");
    fs::create_symlink(away / "un_levels", game / "un_levels");
    for (const std::string name : {"a", "b", "c"}) {
      writeLevelInfo(game / ("levels/" + name + "/" + name + ".inf"), name);
      writeFile(game / ("levels/" + name + "/big.bin"), std::string(3000000, name[0]));
    }
    ModalAnswerer watch;
    watch.onOtherModal = [&](QWidget* modal) {
      auto* cancel = modal->findChild<QPushButton*>(QStringLiteral("TransferCancel"));
      if (cancel != nullptr && cancel->isEnabled() && fs::exists(game / "un_levels/a"))
        QTest::mouseClick(modal->windowHandle(), Qt::LeftButton, {}, cancel->mapTo(modal, cancel->rect().center()));
    };
    auto form = game.openShown();
    auto& u = form->levelOrganizerUi;
    clickGo(*form, levelSide());
    clickRow(u.FoundFiles, QStringLiteral("a"));
    shiftClickRow(u.FoundFiles, QStringLiteral("c"));
    setCopyRangeCall([](int in, off_t* inOff, int out, off_t* outOff, std::size_t len, unsigned) {
      std::this_thread::sleep_for(std::chrono::milliseconds(40));
      return copyThroughBuffer(in, inOff, out, outOff, len);
    });
    click(u.BitBtn4);
    setCopyRangeCall(nullptr);
    QCOMPARE(captions(u.FoundFiles2), QStringList({QStringLiteral("a")}));
    QCOMPARE(captions(u.FoundFiles).join(QString()), QStringLiteral("bc"));
    QCOMPARE(readFile(game / "levels/b/big.bin"), std::string(3000000, 'b'));
    QCOMPARE(form->ui.StatusBar1->currentMessage(),
             QStringLiteral("Uninstalling cancelled after 1 of 3 levels; the rest were left as they were"));
    QCOMPARE(watch.boxes.size(), 0);
  }
};

QTEST_MAIN(OrganizerBatchTest)
#include "organizer_batch_test.moc"
