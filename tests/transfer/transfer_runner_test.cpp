// The progress window of long folder transfers: when it comes up, what it shows, and what its
// Escape and close button do.
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QWindow>
#include "platform/Posix.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>
#include <utility>

#include "transfer/TransferRunner.h"
#include "support/ModalAnswerer.h"
#include "support/TempDir.h"
#include "support/WindowHarness.h"

using namespace pitkit;
using pitkit::test::ModalAnswerer;

namespace {

// Holds a transfer's worker (five seconds at most) until the test lets it go.
std::atomic<bool> released{false};
void holdUntilReleased() {
  for (int i = 0; i < 500 && !released; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
}
TransferProgress* heldMove = nullptr;  // held once two of its entries are done

// The kernel's copy done by hand, so that it is called for every file between any two file
// systems (the kernel refuses some, and is then not asked again).
ssize_t holdingCopyRange(int in, off_t* inOff, int out, off_t* outOff, std::size_t len, unsigned) {
  if (heldMove != nullptr && heldMove->entries >= 2) {
    heldMove = nullptr;
    holdUntilReleased();
  }
  char buffer[4096];
  const ssize_t n = ::pread(in, buffer, std::min(len, sizeof buffer), *inOff);
  if (n > 0 && ::pwrite(out, buffer, static_cast<std::size_t>(n), *outOff) != n) return -1;
  *inOff += std::max<ssize_t>(n, 0);
  *outOff += std::max<ssize_t>(n, 0);
  return n;
}

}  // namespace

// Cancellable work that runs until it is asked to stop (five seconds at most) and then stops as a
// cancelled copy does.
void waitForCancel(TransferProgress& progress) {
  for (int i = 0; i < 500 && !progress.cancelRequested; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  if (progress.cancelRequested) throw ETransferCancelled("Cancelled");
}

class TransferRunnerTest : public QObject {
  Q_OBJECT

 private slots:
  // The dialog waits for its whole delay, however long the work has run, and then comes up.
  void dialogWaitsForItsDelay() {
    ModalAnswerer watch;
    QWidget owner;
    std::atomic<bool> dialogSeen{false};
    watch.onOtherModal = [&](QWidget* modal) {
      if (qobject_cast<QProgressDialog*>(modal) != nullptr) dialogSeen = true;
    };
    QElapsedTimer clock;
    clock.start();
    QVERIFY(runTransfer(&owner, QStringLiteral("Deleting"), [](TransferProgress&) {
      std::this_thread::sleep_for(std::chrono::milliseconds(400));
    }, 3000));
    QVERIFY(clock.elapsed() >= 400);
    QVERIFY(!dialogSeen);

    clock.restart();
    QVERIFY(runTransfer(&owner, QStringLiteral("Deleting"), [&](TransferProgress&) {
      for (int i = 0; i < 500 && !dialogSeen; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }, 300));
    QVERIFY(dialogSeen);
    // The dialog's timer is a coarse one, which may fire up to 5% early.
    QVERIFY(clock.elapsed() >= 285);
    QVERIFY(QApplication::activeModalWidget() == nullptr);
  }

  // Escape asks cancellable work to stop, and the work's ETransferCancelled makes the run return
  // false; once the work has committed, Escape is no longer taken and the dialog stays.
  void escapeCancelsOnlyUntilCommitted() {
    ModalAnswerer watch;
    QWidget owner;
    std::atomic<int> escapes{0};
    watch.onOtherModal = [&](QWidget* modal) {
      if (qobject_cast<QProgressDialog*>(modal) == nullptr) return;
      QTest::keyClick(modal, Qt::Key_Escape);
      ++escapes;
    };
    const bool finished = runTransfer(&owner, QStringLiteral("Copying"), waitForCancel, 20, true);
    QVERIFY(!finished);
    QVERIFY(escapes > 0);

    escapes = 0;
    bool cancelSeen = true;
    const bool committedRun = runTransfer(&owner, QStringLiteral("Copying"), [&](TransferProgress& progress) {
      progress.committed = true;
      for (int i = 0; i < 500 && escapes < 3; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
      cancelSeen = progress.cancelRequested;
    }, 20, true);
    QVERIFY(committedRun);
    QVERIFY(escapes >= 3);
    QVERIFY(!cancelSeen);
    QVERIFY(QApplication::activeModalWidget() == nullptr);
  }

  // A real click comes through the dialog's window before it reaches the Cancel button: it is let
  // through like a click on the button itself.
  void aClickThroughTheDialogsWindowReachesCancel() {
    ModalAnswerer watch;
    QWidget owner;
    std::atomic<bool> clicked{false};
    watch.onOtherModal = [&](QWidget* modal) {
      auto* cancel = modal->findChild<QPushButton*>(QStringLiteral("TransferCancel"));
      if (cancel == nullptr || !cancel->isEnabled() || modal->windowHandle() == nullptr) return;
      QTest::mouseClick(modal->windowHandle(), Qt::LeftButton, {}, cancel->mapTo(modal, cancel->rect().center()));
      clicked = true;
    };
    const bool finished = runTransfer(&owner, QStringLiteral("Copying"), waitForCancel, 20, true);
    QVERIFY(clicked);
    QVERIFY(!finished);
  }

  // A delete and a move across file systems show their percentage and the entry they are at.
  // Closing the window through the window system cancels the move, which leaves its source whole;
  // the delete cannot be cancelled, and closing its window does nothing.
  void showsPercentAndEntryAndClosingCancelsAMove() {
    const std::string otherParent = test::otherFileSystemParent();
    if (otherParent.empty()) QSKIP("no second file system on this machine");
    test::TempDir disk, other(otherParent);
    const std::string level = disk / "levels/full";
    const QStringList files =
        QStringLiteral("full.inf models/mesh.m models/deep/tex.bmp readme.txt").split(QLatin1Char(' '));
    setCopyRangeCall(&holdingCopyRange);
    for (const bool move : {false, true}) {
      for (const QString& file : files) test::writeFile(level + "/" + file.toStdString(), std::string(4000, 'x'));
      released = false;
      std::atomic<TransferProgress*> running{nullptr};
      QString bar, entry;
      bool stayedOpen = false;
      ModalAnswerer watch;
      watch.onOtherModal = [&](QWidget* dialog) {
        const TransferProgress* progress = running;
        if (released || progress == nullptr) return;
        bar = dialog->findChild<QProgressBar*>()->text();
        entry = dialog->findChild<QLabel*>()->text().section(QLatin1Char('\n'), 1);
        // Until the dialog has caught up with the held work.
        if (bar != QStringLiteral("%1%").arg(transferPercent(*progress)) || entry != test::q(progress->currentItem()))
          return;
        dialog->windowHandle()->close();
        QCoreApplication::processEvents();
        stayedOpen = dialog->isVisible();
        released = true;
      };
      QWidget owner;
      const bool done = runTransfer(&owner, QStringLiteral("Working"), [&](TransferProgress& progress) {
        running = &progress;
        if (move) {
          heldMove = &progress;
          return MoveFolder(level, other / "un_levels/full", &progress);
        }
        bool held = false;
        DeleteFolder(level, &progress, [&](std::string_view, const struct stat&) {
          if (progress.entries >= 2 && !std::exchange(held, true)) holdUntilReleased();
          return true;
        });
      }, 20, move);
      QVERIFY(released && stayedOpen);
      QVERIFY2(bar != QStringLiteral("0%") && bar != QStringLiteral("100%") && files.contains(entry),
               qPrintable(bar + QLatin1Char(' ') + entry));
      QCOMPARE(done, !move);
      QCOMPARE(std::filesystem::exists(level + "/models/mesh.m"), move);
      QVERIFY(!std::filesystem::exists(other / "un_levels"));
    }
    setCopyRangeCall(nullptr);
  }
};

QTEST_MAIN(TransferRunnerTest)
#include "transfer_runner_test.moc"
