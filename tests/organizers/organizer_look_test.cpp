// Long names and big windows on both organizer pages: a row or a name box whose text is cut shows
// the whole text as its tooltip when the pointer rests on it, a name box shows a long name from
// its start, and the pictures grow with the window, keeping their shape and clear of the controls.
#include <QLabel>
#include <QTest>
#include <QToolTip>
#include <QWindow>
#include <memory>

#include "platform/CutTextTip.h"
#include "support/GameTree.h"
#include "support/ModalAnswerer.h"
#include "support/OrganizerTab.h"
#include "support/WindowHarness.h"

using namespace pitkit;
using namespace pitkit::test;

namespace {

// The pictures of each page, left to right.
QList<QLabel*> picturesOf(const OrganizerTab& side, const QWidget* form) {
  const QStringList names = side.name == std::string("car") ? QStringList{QStringLiteral("Image9"), QStringLiteral("Image3")}
                                                             : QStringList{QStringLiteral("Image2")};
  QList<QLabel*> pictures;
  for (const QString& name : names) pictures << control<QLabel>(form, name);
  return pictures;
}

// The tooltip shown once the pointer has rested at `at` of `widget`, moved there through the
// window; "" when none comes up.
QString tooltipAt(QWidget* widget, QPoint at) {
  QToolTip::hideText();
  for (int i = 0; i < 100 && QToolTip::isVisible(); ++i) QTest::qWait(10);
  QWindow* window = widget->window()->windowHandle();
  // From elsewhere first: a move to where the pointer already is never arrives.
  QTest::mouseMove(window, QPoint(1, 1));
  QTest::mouseMove(window, widget->mapTo(widget->window(), at));
  // The tooltip comes once the pointer has rested for the style's delay (under a second).
  for (int i = 0; i < 100 && !QToolTip::isVisible(); ++i) QTest::qWait(10);
  return QToolTip::isVisible() ? QToolTip::text() : QString();
}

}  // namespace

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
    QVERIFY(textIsCut(p.installedName));

    const QRect longRow = p.installed->visualItemRect(findItem(p.installed, longFolder));
    const QRect shortRow = p.installed->visualItemRect(findItem(p.installed, QStringLiteral("short")));
    struct Case {
      const char* what;
      QWidget* widget;
      QPoint at;
      QString tooltip;
    };
    const Case cases[] = {
        {"a cut row", p.installed->viewport(), longRow.center(), longFolder},
        {"a cut name", p.installedName, p.installedName->rect().center(), longName},
        {"a whole row", p.installed->viewport(), shortRow.center(), QString()},
        {"below the rows", p.installed->viewport(), QPoint(10, p.installed->viewport()->height() - 5), QString()},
    };
    for (const Case& c : cases) QCOMPARE(tooltipAt(c.widget, c.at), c.tooltip);
    // A name that fits shows no tooltip.
    clickRow(p.installed, QStringLiteral("short"));
    QCOMPARE(p.installedName->text(), QStringLiteral("Short"));
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
    const QList<QLabel*> pictures = picturesOf(s, form.get());
    QList<QRect> design;
    for (QLabel* picture : pictures) design << picture->geometry();
    const QSize windowBefore = form->size();

    form->resize(1200, 900);
    QTRY_VERIFY(p.page->height() > 700);
    for (int i = 0; i < pictures.size(); ++i) {
      const QRect grown = pictures[i]->geometry();
      QVERIFY2(grown.width() >= design[i].width() * 3 / 2, qPrintable(pictures[i]->objectName()));
      const double before = double(design[i].width()) / design[i].height();
      const double after = double(grown.width()) / grown.height();
      QVERIFY2(std::abs(after - before) < 0.02, qPrintable(pictures[i]->objectName()));
      // Inside the page and clear of every other control on it.
      QVERIFY(p.page->rect().contains(grown));
      for (QWidget* other : p.page->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (other != pictures[i] && other->isVisible())
          QVERIFY2(!other->geometry().intersects(grown), qPrintable(pictures[i]->objectName() + QLatin1Char('/') + other->objectName()));
    }

    // Back at its size, the pictures are as they were.
    form->resize(windowBefore);
    QTRY_COMPARE(pictures[0]->geometry(), design[0]);
    for (int i = 0; i < pictures.size(); ++i) QCOMPARE(pictures[i]->geometry(), design[i]);
  }
};

QTEST_MAIN(OrganizerLookTest)
#include "organizer_look_test.moc"
