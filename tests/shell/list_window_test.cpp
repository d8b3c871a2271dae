// File > Export Installed List... and Compare with List... on the real main window: the list the
// window writes is the one the command line prints; the comparison window shows the missing,
// different and extra rows, and its Install Missing and Uninstall Extra move the items as the
// organizer pages do (recorded for Undo), the rows then following the game.
#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include "inventory/InstalledList.h"
#include "platform/FileSystem.h"
#include "shell/CompareListDialog.h"
#include "support/GameTree.h"
#include "support/ModalAnswerer.h"
#include "support/TrashHome.h"
#include "support/WindowHarness.h"

using namespace pitkit;
using namespace pitkit::test;

namespace {

// Chooses `action` of the File menu as a person does: Alt+F, then a click on its entry.
void chooseFromFileMenu(TForm1& form, QAction* action) {
  QApplication::setActiveWindow(&form);
  QVERIFY(QTest::qWaitForWindowActive(&form));
  pressKey(&form, Qt::Key_F, Qt::AltModifier);
  QTRY_VERIFY(QApplication::activePopupWidget() == form.ui.File1);
  QTest::mouseClick(form.ui.File1->windowHandle(), Qt::LeftButton, {}, form.ui.File1->actionGeometry(action).center());
}

// Answers a file dialog by putting `path` into its name box and pressing Enter.
void answerFileDialog(QWidget* modal, const std::string& path) {
  auto* dialog = qobject_cast<QFileDialog*>(modal);
  QVERIFY(dialog != nullptr);
  auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
  QVERIFY(name != nullptr);
  // The text is set as a paste would (typing it letter by letter opens the box's completer).
  name->setText(q(path));
  pressKey(name, Qt::Key_Return);
}

// The dialog's rows as "what|kind|name".
QStringList rowsOf(const CompareListDialog& dialog) {
  QStringList rows;
  for (int i = 0; i < dialog.Differences->topLevelItemCount(); ++i) {
    const QTreeWidgetItem* row = dialog.Differences->topLevelItem(i);
    rows << row->text(0) + QLatin1Char('|') + row->text(1) + QLatin1Char('|') + row->text(2);
  }
  return rows;
}

}  // namespace

class ListWindowTest : public WindowTestCase {
  Q_OBJECT
 private slots:
  void exportThenCompareAndMoveTheDifferences() {
    GameTree game;
    game.organizerGame().level("levels/Kestrel", "Kestrel Run").level("levels/Ridge", "Ridge").car("cars/Viper", "Viper GT");
    TrashHome home(game.tmp / "data");
    ModalAnswerer modals(ModalAnswerer::OnlyErrorBoxes);
    auto form = game.openShown();

    const std::string listFile = game.tmp / "my list.txt";
    modals.expect([&](QWidget* modal) { answerFileDialog(modal, listFile); });
    chooseFromFileMenu(*form, form->ui.ExportList1);
    QTRY_VERIFY(fileExists(listFile));
    QCOMPARE(readFile(listFile), formatInstalledList(listInstalledItems(game.dir)));

    // The game changes: Ridge uninstalled, Viper repainted, Summit added.
    game.folder("un_levels");
    QCOMPARE(std::rename((game / "levels/Ridge").c_str(), (game / "un_levels/Ridge").c_str()), 0);
    game.file("cars/Viper/body.bmp", "blue").level("levels/Summit", "Summit");

    QStringList before, afterInstall, afterUninstall;
    bool installEnabled = false;
    modals.expect([&](QWidget* modal) {
      answerFileDialog(modal, listFile);
      modals.expect([&](QWidget* window) {
        auto* dialog = qobject_cast<CompareListDialog*>(window);
        QVERIFY(dialog != nullptr);
        // While its buttons' work runs, the comparison window stays the modal one: left open.
        modals.onOtherModal = [dialog](QWidget* other) { QCOMPARE(other, dialog); };
        before = rowsOf(*dialog);
        installEnabled = dialog->InstallMissing->isEnabled();
        click(dialog->InstallMissing);
        afterInstall = rowsOf(*dialog);
        click(dialog->UninstallExtra);
        afterUninstall = rowsOf(*dialog);
        modals.onOtherModal = nullptr;
        click(dialog->CloseButton);
      });
    });
    chooseFromFileMenu(*form, form->ui.CompareList1);
    QTRY_VERIFY(!afterUninstall.isEmpty());
    QCOMPARE(before, (QStringList{QStringLiteral("missing|level|Ridge"), QStringLiteral("different|car|Viper"),
                                  QStringLiteral("extra|level|Summit")}));
    QVERIFY(installEnabled);
    QCOMPARE(afterInstall, (QStringList{QStringLiteral("different|car|Viper"), QStringLiteral("extra|level|Summit")}));
    QCOMPARE(afterUninstall, QStringList{QStringLiteral("different|car|Viper")});
    QVERIFY(fileExists(game / "levels/Ridge/Ridge.inf") && fileExists(game / "un_levels/Summit/Summit.inf"));
    // Nothing was deleted; the moves are in the history, and the pages list the items where they are.
    QVERIFY(fileExists(game / "cars/Viper/parameters.txt"));
    QCOMPARE(form->ui.Undo1->text(), QStringLiteral("&Undo Uninstall of Level: Summit"));
    QVERIFY(captions(form->levelOrganizerUi.FoundFiles).contains(QStringLiteral("Ridge")));
    QCOMPARE(modals.boxes.size(), 0);
    QCOMPARE(modals.unexpected, 0);
  }
};

QTEST_MAIN(ListWindowTest)
#include "list_window_test.moc"
