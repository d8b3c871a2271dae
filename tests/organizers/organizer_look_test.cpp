// Long names and big windows on both organizer pages: a row or a name box whose text is cut shows
// the whole text as its tooltip, a name box shows a long name from its start, and the pictures
// grow with the window, keeping their shape and clear of the other controls.
#include <QLabel>
#include <QTest>
#include <QToolTip>
#include <QWindow>

#include "support/GameTree.h"
#include "support/ModalAnswerer.h"
#include "support/OrganizerTab.h"
#include "support/WindowHarness.h"

using namespace pitkit;
using namespace pitkit::test;

// The tooltip once the pointer, moved there through the window, has rested at `at` of `widget`
// for the style's delay (under a second, waited for up to two); "" when none comes up.
QString tooltipAt(QWidget* widget, QPoint at) {
  QToolTip::hideText();
  for (int i = 0; i < 100 && QToolTip::isVisible(); ++i) QTest::qWait(10);
  QWindow* window = widget->window()->windowHandle();
  QTest::mouseMove(window, QPoint(1, 1));  // a move to where the pointer already is never arrives
  QTest::mouseMove(window, widget->mapTo(widget->window(), at));
  for (int i = 0; i < 200 && !QToolTip::isVisible(); ++i) QTest::qWait(10);
  return QToolTip::isVisible() ? QToolTip::text() : QString();
}

class OrganizerLookTest : public QObject {
  Q_OBJECT

 private slots:
  void longNamesShowWholeInTooltips_data() { addSideRows(); }
  void longNamesShowWholeInTooltips() {
    QFETCH(QString, side);
    const OrganizerTab& s = sideNamed(side);
    ModalAnswerer watch;
    OrganizerGame game;
    const QString longFolder = QStringLiteral("a_folder_name_far_too_long_for_the_narrow_list_of_the_page");
    const QString longName = QStringLiteral("A Display Name Longer Than Its Box Shows At Once");
    s.writeItem(game / (s.installedTop + "/" + longFolder.toStdString()), longName.toStdString());
    s.writeItem(game / (s.installedTop + "/short"), "Short");
    auto form = game.openShown();
    const OrganizerControls p = s.controls(*form);
    clickGo(p);
    clickRow(p.installed, longFolder);
    QCOMPARE(p.installedName->text(), longName);
    QCOMPARE(p.installedName->cursorPosition(), 0);
    const auto rowCentre = [&](const QString& caption) {
      return p.installed->visualItemRect(findItem(p.installed, caption)).center();
    };
    QCOMPARE(tooltipAt(p.installed->viewport(), rowCentre(longFolder)), longFolder);
    QCOMPARE(tooltipAt(p.installedName, p.installedName->rect().center()), longName);
    QCOMPARE(tooltipAt(p.installed->viewport(), rowCentre(QStringLiteral("short"))), QString());
    clickRow(p.installed, QStringLiteral("short"));
    QCOMPARE(tooltipAt(p.installedName, p.installedName->rect().center()), QString());
    QCOMPARE(watch.boxes.size(), 0);
  }

  void picturesGrowWithTheWindowKeepingTheirShape_data() { addSideRows(); }
  void picturesGrowWithTheWindowKeepingTheirShape() {
    QFETCH(QString, side);
    const OrganizerTab& s = sideNamed(side);
    OrganizerGame game;
    auto form = game.openShown();
    const OrganizerControls p = s.controls(*form);
    showPageOf(p.go);
    QList<QLabel*> pictures;
    for (const char* name : side == QLatin1String("car") ? std::vector{"Image9", "Image3"} : std::vector{"Image2"})
      pictures << control<QLabel>(form.get(), QString::fromLatin1(name));
    QList<QRect> design;
    for (QLabel* picture : pictures) design << picture->geometry();
    // At the window's first size they have the layout's size.
    QCOMPARE(design[0].size(), side == QLatin1String("car") ? QSize(121, 97) : QSize(128, 96));
    const QSize before = form->size();

    form->resize(1200, 900);
    QTRY_VERIFY(p.page->height() > 700);
    for (int i = 0; i < pictures.size(); ++i) {
      const QRect grown = pictures[i]->geometry();
      const QString what = pictures[i]->objectName();
      QVERIFY2(grown.width() >= design[i].width() * 3 / 2, qPrintable(what));
      QVERIFY2(std::abs(double(grown.width()) / grown.height() - double(design[i].width()) / design[i].height()) < 0.02,
               qPrintable(what));
      QVERIFY(p.page->rect().contains(grown));
      for (QWidget* other : p.page->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        QVERIFY2(other == pictures[i] || other->isHidden() || !other->geometry().intersects(grown),
                 qPrintable(what + QLatin1Char('/') + other->objectName()));
    }
    form->resize(before);
    QTRY_COMPARE(pictures[0]->geometry(), design[0]);
    QCOMPARE(pictures.last()->geometry(), design.last());
  }
};

QTEST_MAIN(OrganizerLookTest)
#include "organizer_look_test.moc"
