// Archives on the real main window: a zip dropped over one of its controls opens the install
// dialog, whose "Install" puts the level in place and selects it on the level page; a game whose
// folders are spelt in capitals; a level folder spelt otherwise than its info file; a name taken
// in the other place, skipped and then replaced, the old folder going to the trash; a long read
// stopped with Escape.
#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QMimeData>
#include <QProgressDialog>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTreeWidget>
#include <QUrl>
#include <QWindow>

#include "platform/Posix.h"

#include "archive/ArchiveInstallDialog.h"
#include "archive/archive_support.h"
#include "platform/FileSystem.h"
#include "platform/Trash.h"
#include "shell/Unit1.h"
#include "support/ModalAnswerer.h"
#include "support/GameTree.h"
#include "support/LinuxOnly.h"
#include "support/WindowTestEntries.h"
#include "support/WindowHarness.h"

using namespace pitkit;
using namespace pitkit::test;

namespace {

// Drags the file over the window to `pos` and drops it there, as the window system delivers a
// drag from a file manager: to the top-level window, which hands it to the control under it.
void dropFile(QWidget* window, const QPoint& pos, const QString& file) {
  QWindow* handle = window->windowHandle();
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(file)});
  QDragEnterEvent enter(pos, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(handle, &enter);
  QVERIFY2(enter.isAccepted(), "the window refused the drag");
  QDragMoveEvent move(pos, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(handle, &move);
  QVERIFY(move.isAccepted());
  QDropEvent drop(pos, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(handle, &drop);
  QVERIFY(drop.isAccepted());
}

// A user's click on `widget` of `dialog`, through the dialog's window.
void clickIn(QWidget* dialog, QWidget* widget) {
  QTest::mouseClick(dialog->windowHandle(), Qt::LeftButton, Qt::NoModifier,
                    widget->mapTo(dialog, widget->rect().center()));
}

// The rows of the dialog's list: kind, name, folder name, name taken.
QStringList dialogRows(const ArchiveInstallDialog& dialog) {
  QStringList rows;
  for (int i = 0; i < dialog.ui.ItemList->topLevelItemCount(); ++i) {
    const QTreeWidgetItem* row = dialog.ui.ItemList->topLevelItem(i);
    rows << QStringList{row->text(0), row->text(1), row->text(2), row->text(4)}.join(QLatin1Char('|'));
  }
  return rows;
}

// Drops `zip` on the window; once the install dialog shows, `choose` acts on it as the user would
// and Install is clicked. Returns the status bar's message once the install has ended, after a
// line "box: <text>" for each message box.
QString installDropped(TForm1& form, const std::string& zip, const std::function<void(ArchiveInstallDialog&)>& choose) {
  ModalAnswerer watch;
  bool answered = false;
  watch.onOtherModal = [&](QWidget* modal) {
    auto* dialog = qobject_cast<ArchiveInstallDialog*>(modal);
    if (dialog == nullptr || answered || !dialog->windowHandle() || !dialog->windowHandle()->isExposed()) return;
    answered = true;
    choose(*dialog);
    clickIn(dialog, dialog->InstallButton);
  };
  form.ui.StatusBar1->clearMessage();
  dropFile(&form, form.rect().center(), q(zip));
  const QString archive = QString::fromStdString(zip.substr(zip.rfind('/') + 1));
  if (!QTest::qWaitFor([&] { return form.ui.StatusBar1->currentMessage().contains(archive); }, 10000))
    return QStringLiteral("no outcome shown");
  QStringList lines;
  for (const ModalAnswerer::Box& box : watch.boxes) lines << QStringLiteral("box: ") + box.text;
  return (lines << form.ui.StatusBar1->currentMessage()).join(QLatin1Char('\n'));
}

}  // namespace

class ArchiveDropTest : public QObject {
  Q_OBJECT
 private slots:
  void droppedZipInstallsAndSelectsTheLevel() {
    GameTree game;
    writeBitmap(game / "gfx/pellmoor.bmp", 16, Qt::blue);
    writeFile(game / "levels/Stock1/Stock1.inf", infoText("Stock"));
    writeFile(game / "levels/Kestrel/Kestrel.inf", infoText("Old Kestrel"));
    const std::string zip = game.tmp / "Pack.zip";
    makeZip(zip, {{"Pack/Meadow/Meadow.inf", infoText("Meadow Run")},
                  {"Pack/Meadow/Meadow.w", "world"},
                  {"Pack/Kestrel/Kestrel.inf", infoText("New Kestrel")},
                  {"Pack/readme.txt", "read me"}});
    auto form = game.open();
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));

    ModalAnswerer watch;
    QStringList rows;
    bool clicked = false;
    watch.onOtherModal = [&](QWidget* modal) {
      auto* dialog = qobject_cast<ArchiveInstallDialog*>(modal);
      if (dialog == nullptr || clicked || !dialog->windowHandle() || !dialog->windowHandle()->isExposed()) return;
      for (int i = 0; i < dialog->ui.ItemList->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* row = dialog->ui.ItemList->topLevelItem(i);
        rows << QStringList{row->text(0), row->text(1), row->text(2), row->text(4)}.join(QLatin1Char('|'));
      }
      QCOMPARE(dialog->InstallButton->text(), QStringLiteral("Install"));
      clicked = true;
      // The user's click goes to the dialog's window at the button.
      const QPoint at = dialog->InstallButton->mapTo(dialog, dialog->InstallButton->rect().center());
      QTest::mouseClick(dialog->windowHandle(), Qt::LeftButton, Qt::NoModifier, at);
    };
    // Over the renamer's name box, a control that takes text drops of its own.
    form->ui.PageControl1->setCurrentWidget(form->ui.TabSheet1);
    QWidget* over = form->renamerUi.OName;
    QVERIFY(over->isVisible() && over->acceptDrops());
    dropFile(form.get(), over->mapTo(form.get(), over->rect().center()), q(zip));
    QTRY_VERIFY_WITH_TIMEOUT(fileExists(game / "levels/Meadow/Meadow.w"), 10000);
    QTRY_COMPARE(form->ui.PageControl1->currentWidget(), form->ui.TabSheet2);

    // Taken names are shown and skipped by default; the new level is listed and selected.
    QCOMPARE(rows, (QStringList{QStringLiteral("Level|Meadow Run|Meadow|No"),
                                QStringLiteral("Level|New Kestrel|Kestrel|Yes, installed: levels/Kestrel")}));
    QCOMPARE(readFile(game / "levels/Kestrel/Kestrel.inf"), infoText("Old Kestrel"));
    QTreeWidget* list = form->levelOrganizerUi.FoundFiles;
    QTRY_VERIFY(list->currentItem() != nullptr);
    QCOMPARE(list->currentItem()->text(0), QStringLiteral("Meadow"));
    QVERIFY(list->currentItem()->isSelected());
    QVERIFY(captions(list).contains(QStringLiteral("Kestrel")));
    QCOMPARE(form->ui.StatusBar1->currentMessage(),
             QStringLiteral("Installed Meadow from Pack.zip; skipped Kestrel (the name is taken)"));
    QVERIFY2(watch.boxes.isEmpty(), qPrintable(watch.boxes.isEmpty() ? QString() : watch.boxes.first().text));
  }
  void aGameSpeltInCapitalsKeepsItsFoldersAndLevelsTakeTheirInfoFilesSpelling() {
    GameTree game;
    game.level("LEVELS/Stock1", "Stock").folder("UN_LEVELS").folder("Cars").folder("Garage");
    writeBitmap(game / "GFX/pellmoor.bmp", 16, Qt::blue);
    writeBitmap(game.tmp / "preview.bmp", 8, Qt::red);
    const std::string installed = game.tmp / "Installed.zip", uninstalled = game.tmp / "Uninstalled.zip";
    makeZip(installed, {{"pack/MyTrack/MYTRACK.INF", infoText("My Track")}, {"pack/gfx/mytrack.bmp", readFile(game.tmp / "preview.bmp")},
                        {"pack/Bolt/parameters.txt", carText("Bolt")}});
    makeZip(uninstalled, {{"Dune/Dune.inf", infoText("Dune")}, {"Comet/parameters.txt", carText("Comet")}});
    auto form = game.open();
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));

    QStringList rows;
    QString note;
    QCOMPARE(installDropped(*form, installed, [&](ArchiveInstallDialog& d) {
               rows = dialogRows(d);
               note = d.ui.NoteLabel->isVisible() ? d.ui.NoteLabel->text() : QString();
             }),
             QStringLiteral("Installed MYTRACK, Bolt from Installed.zip"));
    QCOMPARE(rows, (QStringList{QStringLiteral("Level|My Track|MYTRACK|No"), QStringLiteral("Car|Bolt|Bolt|No")}));
    QVERIFY2(note.contains(QStringLiteral("MyTrack is installed as MYTRACK")), qPrintable(note));
    QCOMPARE(form->ui.PageControl1->currentWidget(), form->ui.TabSheet2);
    QTRY_VERIFY(form->levelOrganizerUi.FoundFiles->currentItem() != nullptr);
    QCOMPARE(form->levelOrganizerUi.FoundFiles->currentItem()->text(0), QStringLiteral("MYTRACK"));
    QVERIFY(captions(form->carOrganizerUi.Foundfiles3).contains(QStringLiteral("Bolt")));

    QCOMPARE(installDropped(*form, uninstalled, [](ArchiveInstallDialog& d) { clickIn(&d, d.ui.UninstalledButton); }),
             QStringLiteral("Installed Dune, Comet from Uninstalled.zip"));
    QTRY_VERIFY(form->levelOrganizerUi.FoundFiles2->currentItem() != nullptr);
    QCOMPARE(form->levelOrganizerUi.FoundFiles2->currentItem()->text(0), QStringLiteral("Dune"));
    QVERIFY(captions(form->carOrganizerUi.foundfiles4).contains(QStringLiteral("Comet")));
    // Everything went into the game's own folders; none was made a second time in lower case.
    QStringList folders;
    for (const std::string& name : namesIn(game.dir))
      if (directoryExists(game / name)) folders << q(name);
    QCOMPARE(folders.join(QLatin1Char(' ')), QStringLiteral("Cars GFX Garage LEVELS UN_LEVELS"));
    QVERIFY(fileExists(game / "GFX/MYTRACK.bmp"));
  }

  void aNameTakenInTheOtherPlaceIsSkippedOrReplacedThereAndTheOldOneTrashed() {
    PITKIT_LINUX_ONLY_QT("the replaced level goes to the desktop trash; Wine offers no recycle bin");
    GameTree game;
    game.organizerGame().level("levels/desert", "Old Desert").file("levels/desert/notes.txt", "the player's notes");
    TrashHome home(game.tmp / "data");
    const std::string zip = game.tmp / "Desert.zip";
    makeZip(zip, {{"desert/desert.inf", infoText("New Desert")}});
    auto form = game.open();
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    const auto before = treeSnapshot(game / "levels");

    const struct {
      bool replace;
      const char* message;
    } steps[] = {
        {false, "Nothing was installed from Desert.zip; skipped desert (the name is taken)"},
        {true, "Installed desert from Desert.zip; the replaced desert went to the trash"},
    };
    for (const auto& step : steps) {
      QStringList rows;
      QString note;
      QCOMPARE(installDropped(*form, zip, [&](ArchiveInstallDialog& d) {
                 clickIn(&d, d.ui.UninstalledButton);
                 rows = dialogRows(d);
                 note = d.ui.NoteLabel->text();
                 auto* choice = d.findChild<QComboBox*>(QStringLiteral("WhenTaken0"));
                 QVERIFY(choice != nullptr);
                 if (!step.replace) return;
                 choice->setFocus();
                 QTest::keyClick(d.windowHandle(), Qt::Key_Down);
               }),
               QString::fromUtf8(step.message));
      QCOMPARE(rows, QStringList{QStringLiteral("Level|New Desert|desert|Yes, installed: levels/desert")});
      QVERIFY2(note.contains(QStringLiteral("moves the old one to the trash")), qPrintable(note));
      QVERIFY(namesIn(game / "un_levels").empty());
      if (!step.replace) QCOMPARE(treeSnapshot(game / "levels"), before);
    }
    // The new one is where the old one was, listed and selected there; the old one is in the trash.
    QCOMPARE(readFile(game / "levels/desert/desert.inf"), infoText("New Desert"));
    QVERIFY(!fileExists(game / "levels/desert/notes.txt"));
    QTRY_VERIFY(form->levelOrganizerUi.FoundFiles->currentItem() != nullptr);
    QCOMPARE(form->levelOrganizerUi.FoundFiles->currentItem()->text(0), QStringLiteral("desert"));
    QCOMPARE(readFile(home.trash() + "/files/desert/notes.txt"), std::string("the player's notes"));
    const std::string info = readFile(home.trash() + "/info/desert.trashinfo");
    QVERIFY2(info.rfind("[Trash Info]\nPath=" + trashInfoPathOf(game / "levels/desert") + "\nDeletionDate=", 0) == 0,
             info.c_str());
  }

  // The progress window of a long read (a huge sparse file that looks like a zip) takes Escape.
  void aLongReadStopsOnEscape() {
    GameTree game;
    game.organizerGame();
    const std::string sparse = game.tmp / "Sparse.zip";
    writeFile(sparse, "PK\x03\x04");
    QVERIFY(setFileSize(sparse, 64LL << 30));
    auto form = game.open();
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    ModalAnswerer watch;
    int escapes = 0;
    watch.onOtherModal = [&](QWidget* modal) {
      auto* progress = qobject_cast<QProgressDialog*>(modal);
      if (progress == nullptr || !progress->windowHandle() || !progress->windowHandle()->isExposed()) return;
      QTest::keyClick(progress->windowHandle(), Qt::Key_Escape);
      ++escapes;
    };
    dropFile(form.get(), form->rect().center(), q(sparse));
    QTRY_COMPARE_WITH_TIMEOUT(form->ui.StatusBar1->currentMessage(),
                              QStringLiteral("Reading Sparse.zip cancelled: nothing was installed"), 15000);
    QVERIFY(escapes > 0);
    QVERIFY(watch.boxes.isEmpty());
  }
};

QTEST_MAIN(ArchiveDropTest)
#include "archive_drop_test.moc"
