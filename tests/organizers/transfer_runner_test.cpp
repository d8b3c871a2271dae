// The progress window of long folder transfers: when it comes up, what it shows, and what its
// Escape and close button do.
#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QWindow>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <set>
#include <thread>
#include <utility>

#include "organizers/TransferRunner.h"
#include "support/ModalAnswerer.h"
#include "support/TempDir.h"

using namespace pitkit;
using pitkit::test::ModalAnswerer;
using pitkit::test::TempDir;
using pitkit::test::writeFile;

namespace {

// Holds a transfer's worker in place (five seconds at most) until the window test lets it go.
struct Pause {
  std::atomic<bool> released{false};
  void wait() const {
    for (int i = 0; i < 500 && !released; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
};
Pause* copyPause = nullptr;
TransferProgress* pausedProgress = nullptr;

// The kernel's copy done by hand, which works between any two file systems (the kernel's call
// refuses some, and is then not called again), paused once two entries of the move are done.
ssize_t pausingCopyRange(int in, off_t* inOff, int out, off_t* outOff, std::size_t len, unsigned) {
  if (copyPause != nullptr && pausedProgress->entries >= 2) std::exchange(copyPause, nullptr)->wait();
  char buffer[4096];
  const ssize_t n = ::pread(in, buffer, std::min(len, sizeof buffer), *inOff);
  if (n <= 0 || ::pwrite(out, buffer, static_cast<std::size_t>(n), *outOff) != n) return n <= 0 ? n : -1;
  *inOff += n;
  *outOff += n;
  return n;
}

// What the progress dialog shows: the bar's text and the line below the label's first.
struct Shown {
  QString bar, item;
};
Shown shownIn(QWidget* dialog) {
  const auto* bar = dialog->findChild<QProgressBar*>(QStringLiteral("TransferBar"));
  const auto* label = dialog->findChild<QLabel*>();
  return {bar != nullptr && bar->maximum() > 0 ? bar->text() : QString(), label->text().section(QLatin1Char('\n'), 1)};
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

  // A delete and a move across file systems show their percentage and the entry they are at. Closing
  // the window through the window system cancels the move, which leaves its source whole; the
  // delete cannot be cancelled, and closing its window does nothing.
  void showsPercentAndCurrentItemAndClosingCancelsAMove() {
    TempDir disk;
    const std::string otherParent = test::otherFileSystemParent();
    if (otherParent.empty()) QSKIP("no second file system on this machine");
    TempDir other(otherParent);
    const std::string level = disk / "levels/full";
    const std::set<QString> files{QStringLiteral("full.inf"), QStringLiteral("models/mesh.m"),
                                  QStringLiteral("models/deep/tex.bmp"), QStringLiteral("readme.txt")};
    for (const QString& file : files) writeFile(level + "/" + file.toStdString(), std::string(4000, 'x'));
    setCopyRangeCall(&pausingCopyRange);

    struct Case {
      const char* what;
      bool move;
    };
    for (const Case c : {Case{"delete", false}, Case{"move", true}}) {
      Pause pause;
      std::atomic<TransferProgress*> running{nullptr};
      Shown shown;
      QString expectedBar, expectedItem;
      bool stayedOpen = false;
      ModalAnswerer watch;
      watch.onOtherModal = [&](QWidget* dialog) {
        if (pause.released || running == nullptr || !dialog->isVisible()) return;
        shown = shownIn(dialog);
        expectedBar = QStringLiteral("%1%").arg(transferPercent(*running.load()));
        expectedItem = QString::fromStdString(running.load()->currentItem());
        if (shown.bar != expectedBar || shown.item != expectedItem) return;  // not refreshed yet
        dialog->windowHandle()->close();
        QCoreApplication::processEvents();
        stayedOpen = dialog->isVisible();
        pause.released = true;
      };
      QWidget owner;
      bool done = false;
      try {
        done = runTransfer(&owner, QStringLiteral("Working"), [&](TransferProgress& progress) {
          running = &progress;
          if (c.move) {
            pausedProgress = &progress;
            copyPause = &pause;
            MoveFolder(level, other / "un_levels/full", &progress);
          } else {
            bool paused = false;
            DeleteFolder(level, &progress, [&](std::string_view, const struct stat&) {
              if (progress.entries >= 2 && !std::exchange(paused, true)) pause.wait();
              return true;
            });
          }
        }, 20, c.move);
      } catch (const std::exception& e) {
        QFAIL(e.what());
      }
      QVERIFY2(pause.released, c.what);
      QVERIFY2(shown.bar.endsWith(QLatin1Char('%')) && shown.bar != QStringLiteral("0%") &&
                   shown.bar != QStringLiteral("100%"), qPrintable(shown.bar));
      QVERIFY2(files.count(shown.item) == 1, qPrintable(shown.item));
      QVERIFY2(stayedOpen, c.what);
      QCOMPARE(done, !c.move);
      QCOMPARE(QFileInfo::exists(QString::fromStdString(level)), c.move);
      if (c.move) {
        for (const QString& file : files) QVERIFY(QFileInfo::exists(QString::fromStdString(level + "/") + file));
        QVERIFY(!QFileInfo::exists(QString::fromStdString(other / "un_levels/full")));
      } else {
        for (const QString& file : files) writeFile(level + "/" + file.toStdString(), std::string(4000, 'x'));
      }
    }
    setCopyRangeCall(nullptr);
  }
};

QTEST_MAIN(TransferRunnerTest)
#include "transfer_runner_test.moc"
