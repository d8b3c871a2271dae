// File > Check Game Folder... on the real main window: the problems listed, Fix enabled only on a
// row that has one, pressed through the window: the folder renamed, the list checked again, the
// rename in the Edit menu's Undo.
#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "platform/FileSystem.h"
#include "shell/CheckWindow.h"
#include "shell/Unit1.h"
#include "support/GameTree.h"
#include "support/ModalAnswerer.h"
#include "support/TrashHome.h"
#include "support/WindowHarness.h"

using namespace pitkit;
using namespace pitkit::test;

class CheckWindowTest : public WindowTestCase {
  Q_OBJECT
 private slots:
  void fixPressedThroughTheWindow() {
    GameTree game;
    game.organizerGame().level("levels/Fine", "Fine").file("levels/Kestrel/kestrel.inf", "NAME 'Kestrel'\r\n");
    game.file("levels/Empty/Empty.inf", "");
    TrashHome home(game.tmp / "data");
    ModalAnswerer modals(ModalAnswerer::OnlyErrorBoxes);
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
      clickRow(window->CheckList, kestrel);
      QVERIFY(window->CheckFix->isEnabled());
      click(window->CheckFix);
      after = captions(*window->CheckList);
      QVERIFY(window->CheckStatus->text().startsWith(QStringLiteral("Fixed: ") + kestrel));
      click(window->CheckClose);
    });
    form->ui.CheckGame1->trigger();
    QCOMPARE(rows, (QStringList{QStringLiteral("level installed Empty: info file Empty.inf is empty"), kestrel}));
    QVERIFY(!fixEnabledFirst);
    QCOMPARE(after, QStringList{QStringLiteral("level installed Empty: info file Empty.inf is empty")});
    QVERIFY(fileExists(game / "levels/kestrel/kestrel.inf") && !directoryExists(game / "levels/Kestrel"));
    QCOMPARE(form->ui.Undo1->text(), QStringLiteral("&Undo Rename of Level: Kestrel to kestrel"));
    QCOMPARE(modals.boxes.size(), 0);
    QCOMPARE(modals.unexpected, 0);
  }
};

QTEST_MAIN(CheckWindowTest)
#include "check_window_test.moc"
