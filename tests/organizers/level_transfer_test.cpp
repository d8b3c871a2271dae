// The "Level Organizer" tab while work runs: a move across file systems cancelled from its
// progress window and Go's sweep of leftover copies, a directory change or a close during a
// search, and the progress window of long transfers.
#include <QApplication>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/Posix.h"

#include "transfer/FolderTransfer.h"
#include "transfer/TransferRunner.h"
#include "platform/DirectoryListBox.h"
#include "platform/Errors.h"
#include "platform/FileSystem.h"
#include "shell/Unit1.h"
#include "support/ChildProcess.h"
#include "support/GameTree.h"
#include "support/ModalAnswerer.h"
#include "support/OrganizerTab.h"
#include "support/WindowHarness.h"

using namespace pitkit;
using namespace pitkit::test;
namespace fs = std::filesystem;

namespace {

using Game = OrganizerGame;

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

void go(TForm1& form) { clickGo(form, levelSide()); }

}  // namespace

class LevelTransferTest : public QObject {
  Q_OBJECT

  void changeToAPlainFolderAndCloseDuringASearch(TForm1& form, const std::string& firstDir) {
    auto& u = form.levelOrganizerUi;
    // A change to a folder without levels during a search leaves Go disabled when it ends.
    TempDir plain;
    form.changeDirectoryUi.DirectoryListBox1->setDirectory(firstDir);
    QTimer::singleShot(0, &form, [&] { form.changeDirectoryUi.DirectoryListBox1->setDirectory(realPath(plain.path())); });
    go(form);
    QCOMPARE(form.GameDirectory, realPath(plain.path()));
    QVERIFY(!u.Findbutton->isEnabled());
    QCOMPARE(u.Edit2->text(), QStringLiteral("1  "));

    // Closing the window while a search runs does not crash; the search ends on its own.
    form.changeDirectoryUi.DirectoryListBox1->setDirectory(firstDir);
    bool closedWhileBusy = false;
    QTimer::singleShot(0, &form, [&] {
      closedWhileBusy = form.FindFile.Busy() || form.FindFile2.Busy();
      form.close();
    });
    go(form);
    QVERIFY(closedWhileBusy);
    QVERIFY(!form.FindFile.Busy() && !form.FindFile2.Busy());
    // The closed window's lists stay empty: what the search still reports is no longer wanted.
    QVERIFY(form.GameDirectory.empty());
    QCOMPARE(u.FoundFiles->topLevelItemCount(), 0);
    QCOMPARE(u.FoundFiles2->topLevelItemCount(), 0);
  }

 private slots:
  // un_levels on another file system: the move copies, and its progress window offers Cancel,
  // which leaves the source whole and no partial copy. Go sweeps only the program's dead copies.
  // A person cancels with a click on Cancel or with Escape, both arriving at the dialog's window.
  void cancelledMoveAndLeftoverCopies_data() {
    QTest::addColumn<bool>("byEscape");
    QTest::newRow("click") << false;
    QTest::newRow("escape") << true;
  }
  void cancelledMoveAndLeftoverCopies() {
    QFETCH(bool, byEscape);
    const std::string other = otherFileSystemParent();
    if (other.empty()) QSKIP("no second file system on this machine");
    ModalAnswerer watch;
    Game game;
    TempDir away(other);
    makeDirs(away / "un_levels");
    fs::create_symlink(away / "un_levels", game / "un_levels");
    const std::string big(10 * 1000 * 1000, 'b');
    writeLevelInfo(game / "levels/big/big.inf", "Big");
    writeFile(game / "levels/big/big.bin", big);
    const std::string dead = ".pitkit-partial-copy-" + std::to_string(endedProcessId()) + "-abcdefgh12";
    writeFile(game / "levels/" + dead + "/big.bin", "part");
    writeFile(game / "un_levels/" + dead + "/big.bin", "part");
    writeFile(game / "un_levels/.pitkit-partial-copy-1-x/keep.txt", "not ours");
    auto form = game.openShown();
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
      if (byEscape)
        QTest::keyClick(modal->windowHandle(), Qt::Key_Escape);
      else
        QTest::mouseClick(modal->windowHandle(), Qt::LeftButton, {}, cancel->mapTo(modal, cancel->rect().center()));
    };
    setCopyRangeCall(&slowCopyRange);
    select(u.FoundFiles, QStringLiteral("big"));
    click(u.BitBtn4);
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

  void directoryChangeAndCloseDuringASearch() {
    ModalAnswerer watch;
    Game first;
    Game second;
    // Enough levels that the search handles events several times on the way.
    for (int i = 0; i < 1500; ++i) {
      writeLevelInfo(first / ("levels/l" + std::to_string(i) + "/l" + std::to_string(i) + ".inf"), "x");
      writeLevelInfo(first / ("un_levels/u" + std::to_string(i) + "/u" + std::to_string(i) + ".inf"), "x");
    }
    writeLevelInfo(second / "levels/only/only.inf", "Only");
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

    changeToAPlainFolderAndCloseDuringASearch(*form, first.dir);
  }

  void longTransfersShowAProgressDialogAndPassErrorsOn() {
    ModalAnswerer watch;
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

QTEST_MAIN(LevelTransferTest)
#include "level_transfer_test.moc"
