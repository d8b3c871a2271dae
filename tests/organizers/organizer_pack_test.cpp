// "Pack as Zip..." through the window on both organizer pages: a right click on a row opens the
// lists' context menu, its entry asks where to save the zip, and the status bar says where it went.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QMenu>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

#include "support/LinuxOnly.h"
#include "support/GameTree.h"
#include "support/ModalAnswerer.h"
#include "support/OrganizerTab.h"
#include "support/WindowHarness.h"

using namespace pitkit;
using namespace pitkit::test;

class OrganizerPackTest : public WindowTestCase {
  Q_OBJECT
 private slots:
  void packAsZipFromTheContextMenu_data() { addSideRows(); }
  void packAsZipFromTheContextMenu() {
    QFETCH(QString, side);
    const OrganizerTab& s = sideNamed(side);
    OrganizerGame game;
    s.writeItem(game / (s.installedTop + "/Blue Hill"), "Blue Hill shown");
    s.writeItem(game / (s.uninstalledTop + "/Spare"), "Spare shown");
    TempDir downloads;
    const std::string zip = downloads / "Blue Hill.zip";
    ModalAnswerer modals(ModalAnswerer::OnlyErrorBoxes);
    auto form = game.openShown();
    const OrganizerControls p = s.controls(*form);
    clickGo(p);
    // Each list has the entry in its context menu.
    for (QTreeWidget* list : {p.installed, p.uninstalled}) {
      QCOMPARE(list->contextMenuPolicy(), Qt::ActionsContextMenu);
      QCOMPARE(list->findChild<QAction*>(QStringLiteral("PackAsZip"))->text(), QStringLiteral("Pack as Zip..."));
    }

    // The menu is taken with the keys, the dialog offers the item's name and is answered.
    QStringList menu;
    QTimer menuWatch;
    QObject::connect(&menuWatch, &QTimer::timeout, [&] {
      auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
      if (popup == nullptr || !menu.isEmpty()) return;
      for (const QAction* action : popup->actions()) menu << action->text();
      QTest::keyClick(popup->windowHandle(), Qt::Key_Down);
      QTest::keyClick(popup->windowHandle(), Qt::Key_Return);
    });
    menuWatch.start(10);
    QString offered;
    modals.expect([&](QWidget* modal) {
      auto* dialog = qobject_cast<QFileDialog*>(modal);
      QVERIFY(dialog != nullptr);
      offered = dialog->selectedFiles().value(0);
      dialog->selectFile(q(zip));
      pressKey(dialog, Qt::Key_Return);
    });
    // A right click on the row, once its page is in front.
    showPageOf(p.installed);
    QTreeWidgetItem* row = findItem(p.installed, QStringLiteral("Blue Hill"));
    QTest::mouseClick(form->windowHandle(), Qt::RightButton, {},
                      p.installed->viewport()->mapTo(form.get(), p.installed->visualItemRect(row).center()));
    QTRY_VERIFY(!offered.isEmpty());
    QCOMPARE(menu, QStringList{QStringLiteral("Pack as Zip...")});
    QVERIFY(offered.endsWith(QStringLiteral("/Blue Hill.zip")));
    // The status bar names the zip in the system's own form ('\\' on Windows).
    QTRY_COMPARE(form->statusBar()->currentMessage(), QStringLiteral("Blue Hill packed into ") + QDir::toNativeSeparators(q(zip)));
    QCOMPARE(namesIn(downloads.path()), std::set<std::string>{"Blue Hill.zip"});
    if (kOnLinux) QCOMPARE(std::system(("unzip -tqq '" + zip + "'").c_str()), 0);  // no unzip on Windows
    QCOMPARE(modals.unexpected, 0);
    QVERIFY(modals.boxes.isEmpty());
  }
};

QTEST_MAIN(OrganizerPackTest)
#include "organizer_pack_test.moc"
