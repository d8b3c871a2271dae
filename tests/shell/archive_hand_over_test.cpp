// `pitkit FILE` while the window runs: the archives go to the running window, which opens them as
// it opens a drop (its install dialog shows). A socket left behind by a program that ended does
// not keep a window from serving, and a second window does not take the name from the first.
#include <QTest>
#include <QThread>
#include <QTreeWidget>

#include "archive/ArchiveInstallDialog.h"
#include "archive/archive_support.h"
#include "shell/ArchiveHandOver.h"
#include "support/GameTree.h"
#include "support/LinuxOnly.h"
#include "support/ModalAnswerer.h"
#include "support/WindowTestEntries.h"
#include "support/WindowHarness.h"

using namespace pitkit;
using namespace pitkit::test;

class ArchiveHandOverTest : public QObject {
  Q_OBJECT
 private slots:
  void aLaterStartHandsItsArchiveToTheRunningWindow() {
    GameTree game;
    game.folder("levels").folder("cars");
    const std::string zip = game.tmp / "Pack #1.zip", name = game.tmp / "hand-over";
    makeZip(zip, {{"Meadow/Meadow.inf", infoText("Meadow Run")}});
    // The socket of a program that crashed: bound, never removed, served by no one (on Linux;
    // a Windows pipe ends with its program).
    QCOMPARE(leaveStaleSocket(name), kOnLinux);
    auto form = game.openShown();
    QVERIFY((new ArchiveHandOverServer(*form, q(name)))->listening());
    QVERIFY(!(new ArchiveHandOverServer(*form, q(name)))->listening());  // a second window

    ModalAnswerer watch;
    QStringList shown;
    watch.onOtherModal = [&](QWidget* modal) {
      auto* dialog = qobject_cast<ArchiveInstallDialog*>(modal);
      if (dialog == nullptr || !shown.isEmpty()) return;
      const QTreeWidgetItem* row = dialog->ui.ItemList->topLevelItem(0);
      shown << row->text(1) << row->text(2) << dialog->ui.ArchiveLabel->text();
      dialog->reject();
    };
    // The later start runs on a thread of its own, as a second program would.
    HandOver handedOver = HandOver::Failed;
    std::unique_ptr<QThread> start(
        QThread::create([&] { handedOver = handArchivesOver(q(name), {q(zip)}); }));
    start->start();
    QTRY_VERIFY(start->isFinished());
    QCOMPARE(handedOver, HandOver::Done);
    QTRY_COMPARE(shown.mid(0, 2),
                 (QStringList{QStringLiteral("Meadow Run"), QStringLiteral("Meadow")}));
    QVERIFY2(shown[2].contains(QStringLiteral("Pack #1.zip")), qPrintable(shown[2]));
    QCOMPARE(watch.unexpected, 0);
    // With the window gone nothing serves the name: the next start opens a window of its own.
    form.reset();
    QCOMPARE(handArchivesOver(q(name), {q(zip)}), HandOver::NoWindow);
  }

  void onlyACompleteListOfLocalFilesIsTaken() {
    const std::pair<QByteArray, std::optional<QStringList>> rows[] = {
        {"file:///d/a.zip\nfile:///d/B%20c%0A.7z\n\n",
         QStringList{QStringLiteral("/d/a.zip"), QStringLiteral("/d/B c\n.7z")}},
        {"file:///d/a.zip\n", std::nullopt},                  // unfinished
        {"file:///d/a.zip\n\nfile:///e\n\n", QStringList()},  // more after the end
        {"\n\n", QStringList()},
        {"a.zip\n\n", QStringList()},
        {"http://h/a.zip\n\n", QStringList()},
        {QByteArray(2 << 20, 'x'), QStringList()},  // too long to be a list
    };
    for (const auto& [message, files] : rows) QCOMPARE(handedOverFiles(message), files);
  }
};

QTEST_MAIN(ArchiveHandOverTest)
#include "archive_hand_over_test.moc"
