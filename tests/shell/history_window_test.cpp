// The history of actions on the real main window: Ctrl+Z undoes an uninstall, a rename and an
// archive install (its items to the trash, the replaced one back), refuses once the item was moved
// by hand and for a Delete, the History window lists the actions newest first, a damaged history
// file is reported once while the rename goes on, and the origin of an item as the status bar
// words it.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTest>
#include <QTreeWidget>
#include <QWindow>
#include <cstdio>
#include <ctime>

#include "archive/ArchiveInstallDialog.h"
#include "archive/archive_support.h"
#include "platform/FileSystem.h"
#include "platform/Sha256.h"
#include "shell/HistoryKeeper.h"
#include "shell/HistoryWindow.h"
#include "shell/Unit1.h"
#include "support/GameTree.h"
#include "support/ModalAnswerer.h"
#include "support/TrashHome.h"
#include "support/LinuxOnly.h"
#include "support/WindowHarness.h"

using namespace pitkit;
using namespace pitkit::test;

namespace {

// The renamer's GO and OK clicked through the window with the names in their boxes.
void renameThroughWindow(TForm1& form, const QString& from, const QString& to) {
  auto& r = form.renamerUi;
  showPageOf(r.OName);
  r.OName->setText(from);
  r.NName->setText(to);
  click(r.BitBtn2);
  click(r.bitbtn1);
}

// A key to the main window, made active again as a person's click would (a modal window closed
// before may have left no window active).
void keyToWindow(TForm1& form, Qt::Key key, Qt::KeyboardModifiers modifiers) {
  QApplication::setActiveWindow(&form);
  QVERIFY(QTest::qWaitForWindowActive(&form));
  pressKey(&form, key, modifiers);
}
void ctrlZ(TForm1& form) { keyToWindow(form, Qt::Key_Z, Qt::ControlModifier); }

QString status(const TForm1& form) { return form.ui.StatusBar1->currentMessage(); }

}  // namespace

class HistoryWindowTest : public WindowTestCase {
  Q_OBJECT
 private slots:
  // One game: an uninstall and a rename undone, a rename refused once moved by hand, a Delete
  // refused, then the window.
  void undoOfActionsRefusalsAndTheHistoryWindow() {
    GameTree game;
    game.organizerGame().level("levels/Old", "Old Track").level("levels/Other", "Other");
    TrashHome home(game.tmp / "data");
    ModalAnswerer modals;
    auto form = game.openShown();
    QCOMPARE(form->ui.MainMenu1->actions(),
             (QList<QAction*>{form->ui.File1->menuAction(), form->ui.Edit1->menuAction(),
                              form->ui.Help1->menuAction()}));
    QVERIFY(!form->ui.Undo1->isEnabled());

    // An organizer's Uninstall clicked through the window: undone, the level is listed installed again.
    game.level("levels/Spare", "Spare");
    auto& u = form->levelOrganizerUi;
    click(u.Findbutton);
    clickRow(u.FoundFiles, QStringLiteral("Spare"));
    click(u.BitBtn4);
    QVERIFY(fileExists(game / "un_levels/Spare/Spare.inf"));
    QCOMPARE(form->ui.Undo1->text(), QStringLiteral("&Undo Uninstall of Level: Spare"));
    ctrlZ(*form);
    QVERIFY(fileExists(game / "levels/Spare/Spare.inf"));
    QVERIFY(captions(form->levelOrganizerUi.FoundFiles).contains(QStringLiteral("Spare")));

    renameThroughWindow(*form, QStringLiteral("Old"), QStringLiteral("Rock&Roll"));
    QVERIFY(fileExists(game / "levels/Rock&Roll/Rock&Roll.inf"));
    // A "&" of a name stays a letter in the menu.
    QCOMPARE(form->ui.Undo1->text(), QStringLiteral("&Undo Rename of Level: Old to Rock&&Roll"));
    ctrlZ(*form);
    QVERIFY2(fileExists(game / "levels/Old/Old.inf") && !directoryExists(game / "levels/Rock&Roll"),
             qPrintable(status(*form)));
    QCOMPARE(status(*form), QStringLiteral("Undone: Rename of Level: Old to Rock&Roll"));
    QCOMPARE(form->renamerUi.OName->text(), QStringLiteral("Old"));
    QCOMPARE(form->ui.Undo1->text(), QStringLiteral("&Undo"));
    QVERIFY(!form->ui.Undo1->isEnabled());

    renameThroughWindow(*form, QStringLiteral("Other"), QStringLiteral("Second"));
    // Moved by hand behind the program's back (its folder lists may show it: the platform's move).
    QVERIFY(moveFileNoReplace(game / "levels/Second", game / "levels/Moved"));
    const auto before = treeSnapshot(game / "levels");
    ctrlZ(*form);
    form->recordOrganizerAction(
        {.kind = HistoryActionKind::Delete,
         .items = {{ItemKind::Level, "Gone", game / "levels/Gone", "", ""}}});
    QCOMPARE(form->ui.Undo1->text(), QStringLiteral("&Undo Delete of Level: Gone"));
    ctrlZ(*form);
    QCOMPARE(
        modals.texts(),
        (QStringList{
            q("Level: Second cannot be put back: it is no longer at " + game / "levels/Second."),
            QStringLiteral("Level: Gone was deleted for good and cannot be brought back.")}));
    QCOMPARE(treeSnapshot(game / "levels"), before);

    // Edit > History... by its keys lists the actions newest first, the undone one marked.
    QStringList rows;
    modals.expect([&](QWidget* modal) {
      auto* window = qobject_cast<HistoryWindow*>(modal);
      QVERIFY(window != nullptr);
      for (int i = 0; i < window->list->topLevelItemCount(); ++i) {
        QStringList cells;  // all but When
        for (int c = 1; c < window->list->columnCount(); ++c)
          cells << window->list->topLevelItem(i)->text(c);
        rows << cells.join(QLatin1Char('|'));
      }
      window->reject();
    });
    keyToWindow(*form, Qt::Key_E, Qt::AltModifier);
    QTRY_VERIFY(QApplication::activePopupWidget() != nullptr);
    QTest::keyClick(QApplication::activePopupWidget()->windowHandle(), Qt::Key_H);
    const std::string levels = game / "levels/";
    QTRY_COMPARE(
        rows, (QStringList{
                  q("Delete|Level: Gone|" + levels + "Gone||"),
                  q("Rename|Level: Second|" + levels + "Other|" + levels + "Second|"),
                  q("Rename (undone)|Level: Rock&Roll|" + levels + "Old|" + levels + "Rock&Roll|"),
                  q("Uninstall (undone)|Level: Spare|" + levels + "Spare|" +
                    game / "un_levels/Spare|")}));
    QCOMPARE(modals.unexpected, 0);
  }

  void anArchiveInstallIsUndoneToTheTrashAndTheReplacedItemComesBack() {
    PITKIT_LINUX_ONLY_QT("the replaced level and the undone install go to the trash; Wine offers no recycle bin");
    GameTree game;
    game.organizerGame()
        .level("levels/Kestrel", "Old Kestrel")
        .file("levels/Kestrel/notes.txt", "mine");
    TrashHome home(game.tmp / "data");
    const std::string zip = game.tmp / "Pack.zip";
    makeZip(zip, {{"Pack/Meadow/Meadow.inf", infoText("Meadow Run")},
                  {"Pack/Kestrel/Kestrel.inf", infoText("New Kestrel")}});
    auto form = game.openShown();
    ModalAnswerer watch(ModalAnswerer::OnlyErrorBoxes);
    bool answered = false;
    watch.onOtherModal = [&](QWidget* modal) {
      auto* dialog = qobject_cast<ArchiveInstallDialog*>(modal);
      if (dialog == nullptr || answered || !dialog->windowHandle()->isExposed()) return;
      answered = true;
      const auto choices =
          dialog->findChildren<QComboBox*>(QRegularExpression(QStringLiteral("^WhenTaken")));
      QCOMPARE(choices.size(), 1);
      choices.front()->setCurrentIndex(1);  // Replace
      QTest::mouseClick(
          dialog->windowHandle(), Qt::LeftButton, {},
          dialog->InstallButton->mapTo(dialog, dialog->InstallButton->rect().center()));
    };
    form->openArchives({q(zip)});
    QVERIFY(answered);
    QCOMPARE(readFile(game / "levels/Kestrel/Kestrel.inf"), infoText("New Kestrel"));
    QCOMPARE(form->ui.Undo1->text(), QStringLiteral("&Undo Replace of 2 items"));

    // The archive is known by its path, size and digest; the selected item's origin shows.
    History store(home.history());
    const auto actions = store.actions(game.dir);
    QVERIFY(actions.ok() && actions.value().size() == 1);
    QCOMPARE(actions.value().front().archive,
             (std::optional<HistoryArchive>{
                 {zip, static_cast<std::uint64_t>(statOf(zip).st_size), sha256OfFile(zip)}}));
    clickRow(form->levelOrganizerUi.FoundFiles, QStringLiteral("Kestrel"));
    QVERIFY2(QRegularExpression(
                 QStringLiteral("^Installed \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d from Pack\\.zip$"))
                 .match(status(*form))
                 .hasMatch(),
             qPrintable(status(*form)));

    ctrlZ(*form);
    QCOMPARE(status(*form), QStringLiteral("Undone: Replace of 2 items"));
    QCOMPARE(namesIn(game / "levels"), (std::set<std::string>{"Kestrel"}));
    QCOMPARE(namesIn(game / "levels/Kestrel"), (std::set<std::string>{"Kestrel.inf", "notes.txt"}));
    QVERIFY(readFile(game / "levels/Kestrel/Kestrel.inf").find("Old Kestrel") != std::string::npos);
    QCOMPARE(readFile(home.trash() + "/files/Meadow/Meadow.inf"), infoText("Meadow Run"));
    QCOMPARE(namesIn(home.trash() + "/files").size(), 2u);  // the new Kestrel beside it
    QCOMPARE(captions(form->levelOrganizerUi.FoundFiles), QStringList{QStringLiteral("Kestrel")});
    QCOMPARE(watch.boxes.size(), 0);
  }

  void aDamagedHistoryIsReportedOnceAndTheRenameGoesOn() {
    GameTree game;
    game.organizerGame().level("levels/Old", "Old Track");
    TrashHome home(game.tmp / "data");
    writeFile(home.history(), std::string(4096, 'x'));
    ModalAnswerer errors(ModalAnswerer::OnlyErrorBoxes);
    auto form = game.openShown();
    renameThroughWindow(*form, QStringLiteral("Old"), QStringLiteral("New"));
    QVERIFY(fileExists(game / "levels/New/New.inf"));
    ctrlZ(*form);
    QVERIFY(directoryExists(game / "levels/New"));
    QCOMPARE(errors.boxes.size(), 1);
    QVERIFY2(errors.boxes.front().text.startsWith(
                 q("Cannot open the history of actions " + home.history())),
             qPrintable(errors.boxes.front().text));
    QCOMPARE(readFile(home.history()), std::string(4096, 'x'));
  }

  // The status bar's words for an item's origin, in a history of its own.
  void originTextNamesTheArchiveOfTheGameShown() {
    qputenv("TZ", "UTC");
    ::tzset();
    TempDir tmp;
    std::string gameFolder = "/g";
    HistoryKeeper keeper(nullptr, gameFolder, tmp / "history.sqlite");
    const std::chrono::sys_seconds when{std::chrono::sys_days{std::chrono::year{2026} / 12 / 8} +
                                        std::chrono::hours{7} + std::chrono::minutes{15}};
    keeper.record({.when = when,
                   .kind = HistoryActionKind::ArchiveInstall,
                   .archive = HistoryArchive{"/dl/Pack One.zip", 10, std::string(64, 'a')},
                   .items = {{ItemKind::Level, "Meadow", "Meadow", "/g/levels/Meadow", ""}}});
    keeper.record(
        {.kind = HistoryActionKind::Install,
         .items = {{ItemKind::Level, "Other", "/g/un_levels/Other", "/g/levels/Other", ""}}});
    const struct {
      const char *game, *name, *text;
    } cases[] = {{"/g", "Meadow", "Installed 2026-12-08 07:15 from Pack One.zip"},
                 {"/g/", "MEADOW", "Installed 2026-12-08 07:15 from Pack One.zip"},
                 {"/g", "Other", ""},
                 {"/other", "Meadow", ""}};
    for (const auto& c : cases) {
      gameFolder = c.game;
      QCOMPARE(keeper.originText(ItemKind::Level, c.name), QString::fromUtf8(c.text));
    }
  }
};

QTEST_MAIN(HistoryWindowTest)
#include "history_window_test.moc"
