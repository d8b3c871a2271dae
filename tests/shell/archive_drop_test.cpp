// Archives on the real main window: a zip dropped over one of its controls opens the install
// dialog, whose "Install" puts the level in place and selects it on the level page.
#include <QApplication>
#include <QDialogButtonBox>
#include <QMimeData>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTreeWidget>
#include <QUrl>
#include <QWindow>

#include "organizers/ArchiveInstallDialog.h"
#include "organizers/archive_support.h"
#include "platform/FileSystem.h"
#include "shell/Unit1.h"
#include "support/ModalAnswerer.h"
#include "support/GameTree.h"
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
};

QTEST_MAIN(ArchiveDropTest)
#include "archive_drop_test.moc"
