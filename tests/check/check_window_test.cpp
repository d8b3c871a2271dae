// File > Check Game Folder... on the real main window: the problems listed, Fix enabled only on a
// row that has one, pressed through the window: the folder renamed, the list checked again, the
// rename in the Edit menu's Undo.
#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>

#include "platform/FileSystem.h"
#include "shell/CheckWindow.h"
#include "shell/Unit1.h"
#include "support/GameTree.h"
#include "support/LinuxOnly.h"
#include "support/ModalAnswerer.h"
#include "support/TrashHome.h"
#include "support/WindowHarness.h"

using namespace pitkit;
using namespace pitkit::test;

class CheckWindowTest : public WindowTestCase {
  Q_OBJECT
 private slots:
  void fixPressedThroughTheWindow() {
    PITKIT_LINUX_ONLY_QT("a set file taken in another letter case (hawk.CAM beside Hawk.cam)");
    GameTree game;
    game.organizerGame().level("levels/Fine", "Fine").file("levels/Kestrel/kestrel.inf", "NAME 'Kestrel'\r\n");
    game.file("levels/Empty/Empty.inf", "").level("levels/Hawk", "Hawk").file("levels/Hawk/Old.w", "w").file("levels/Hawk/Old.cam", "c");
    const QString hawk = QStringLiteral("level installed Hawk: 2 files carry another level's name, Old: Old.cam, Old.w");
    const QString hawkTaken = hawk + QStringLiteral(" (Hawk.cam is taken, so there is no fix)");
    TrashHome home(game.tmp / "data");
    ModalAnswerer modals(ModalAnswerer::OnlyErrorBoxes);
    // Fix checks again on a worker while the window waits: the check window stays the modal one
    // meanwhile and is left alone; any other window is unexpected.
    int others = 0;
    modals.onOtherModal = [&](QWidget* modal) {
      if (qobject_cast<CheckWindow*>(modal) != nullptr || qobject_cast<QProgressDialog*>(modal) != nullptr) return;
      ++others;
      modal->close();
    };
    auto form = game.openShown();
    const QString kestrel = QStringLiteral("level installed Kestrel: info file kestrel.inf is spelt differently from its folder");
    QStringList rows, after;
    bool fixEnabledFirst = true;
    modals.expect([&](QWidget* modal) {
      auto* window = qobject_cast<CheckWindow*>(modal);
      QVERIFY(window != nullptr);
      rows = captions(*window->CheckList);
      clickRow(window->CheckList, QStringLiteral("level installed Empty: info file Empty.inf is empty"));
      fixEnabledFirst = window->CheckFix->isEnabled();
      // A name taken since the check: the error box says so and the row shows the folder as it is.
      game.file("levels/Hawk/hawk.CAM", "mine");
      clickRow(window->CheckList, hawk);
      click(window->CheckFix);
      QVERIFY(captions(*window->CheckList).contains(hawkTaken));
      clickRow(window->CheckList, kestrel);
      QVERIFY(window->CheckFix->isEnabled());
      click(window->CheckFix);
      after = captions(*window->CheckList);
      QVERIFY(window->CheckStatus->text().startsWith(QStringLiteral("Fixed: ") + kestrel));
      click(window->CheckClose);
    });
    form->ui.CheckGame1->trigger();
    const QString empty = QStringLiteral("level installed Empty: info file Empty.inf is empty");
    QCOMPARE(rows, (QStringList{empty, hawk, kestrel}));
    QVERIFY(!fixEnabledFirst);
    QCOMPARE(after, (QStringList{empty, hawkTaken}));
    QCOMPARE(modals.texts(), QStringList{q("Cannot fix: the name Hawk.cam is taken by " + game / "levels/Hawk/hawk.CAM.")});
    QVERIFY(fileExists(game / "levels/kestrel/kestrel.inf") && !directoryExists(game / "levels/Kestrel"));
    QCOMPARE(form->ui.Undo1->text(), QStringLiteral("&Undo Rename of Level: Kestrel to kestrel"));
    QCOMPARE(modals.unexpected + others, 0);
  }
};

QTEST_MAIN(CheckWindowTest)
#include "check_window_test.moc"
