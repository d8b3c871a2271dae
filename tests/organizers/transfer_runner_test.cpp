// The progress window of long folder transfers: when it comes up and what its Escape does.
#include <QApplication>
#include <QElapsedTimer>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <atomic>
#include <chrono>
#include <thread>

#include "organizers/TransferRunner.h"
#include "support/ModalAnswerer.h"

using namespace pitkit;
using pitkit::test::ModalAnswerer;

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
};

QTEST_MAIN(TransferRunnerTest)
#include "transfer_runner_test.moc"
