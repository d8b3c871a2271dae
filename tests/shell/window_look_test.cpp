// The look of the real main window: captions that fit with the fallback fonts, coloured buttons,
// long paths, the "Program Info" and "Cover Display" pages, and the page control following the
// window's size.
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTreeWidget>

#include <memory>

#include "platform/DirectoryListBox.h"
#include "platform/FileSystem.h"
#include "platform/PathLabel.h"
#include "shell/Unit1.h"
#include "shell/Unit6.h"
#include "shell/WindowPlace.h"
#include "shell/unit2.h"
#include "support/LinuxOnly.h"
#include "support/GameTree.h"
#include "support/WindowHarness.h"

using namespace pitkit;
using namespace pitkit::test;

namespace {

// The captions of `window`'s labels, buttons and check boxes that their controls cut off.
QStringList cutCaptions(QWidget* window) {
  QStringList cut;
  for (QWidget* w : window->findChildren<QWidget*>()) {
    QString text;
    int room = 0;
    if (auto* label = qobject_cast<QLabel*>(w)) {
      // The organizer pages' directory displays clip a long path, as laid out.
      if (label->text().isEmpty() || !label->pixmap().isNull() || label->objectName().startsWith(QStringLiteral("StaticText")))
        continue;
      if (label->wordWrap()) {
        if (label->heightForWidth(label->width()) > label->height()) cut << label->text();
        continue;
      }
      text = label->text();
      room = label->contentsRect().width() - 2 * label->margin();
    } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
      text = button->text().remove(QLatin1Char('&'));
      room = button->width() - (qobject_cast<QCheckBox*>(w) ? 20 : 6);
    } else {
      continue;
    }
    if (w->fontMetrics().horizontalAdvance(text) > room) cut << w->objectName() + QStringLiteral(": ") + text;
  }
  return cut;
}

}  // namespace

class WindowLookTest : public test::WindowTestCase {
  Q_OBJECT
 private slots:
  void programInfoShowsItsTextsAndCoverItsPictures() {
    TempDir tmp;
    auto form = startIn(realPath(tmp.path()));
    form->show();
    form->ui.PageControl1->setCurrentWidget(form->ui.TabSheet4);
    const QStringList info = form->programInfoUi.Memo1->toPlainText().split(QLatin1Char('\n'));
    QCOMPARE(info.size(), 7);
    QCOMPARE(info.last(), QStringLiteral("I would like to thank the testers and everyone that made suggestions."));
    const QStringList important = form->programInfoUi.Memo2->toPlainText().split(QLatin1Char('\n'));
    QCOMPARE(important.size(), 12);
    QVERIFY(important.first().endsWith(QStringLiteral("normaly in there.  This may ")));
    QCOMPARE(form->programInfoUi.Label21->text(), QStringLiteral("Important:"));
    // Each picture is decoded at the size of the box that shows it.
    auto& c = form->coverDisplayUi;
    for (QLabel* picture : {c.Image4, c.Image5, c.Image6, form->renamerUi.Image1}) {
      QVERIFY(!picture->pixmap().isNull());
      QCOMPARE(picture->pixmap().size(), picture->size());
    }
    QCOMPARE(c.Label22->text(), QStringLiteral("TORVANE"));
    QCOMPARE(c.Label22->font().pixelSize(), 48);
  }

  void windowLookWithTheFallbackFonts() {
    TempDir tmp;
    const std::string start = realPath(tmp.path());
    const std::string deep = start + "/a rather long folder name/and another one below it/game";
    makeGameFolders(deep);
    auto form = startIn(start);
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    QCOMPARE(cutCaptions(form.get()), QStringList());
    QCOMPARE(cutCaptions(form->Form2), QStringList());

    // Disabled (no levels folder here), every coloured button draws the platform's greyed caption.
    auto& r = form->renamerUi;
    auto& l = form->levelOrganizerUi;
    auto& c = form->carOrganizerUi;
    const QColor greyed = QApplication::palette().color(QPalette::Disabled, QPalette::ButtonText);
    const std::pair<QPushButton*, QColor> coloured[] = {
        {r.BitBtn2, QColor(0, 255, 0)}, {r.bitbtn1, QColor(0, 255, 0)}, {r.BitBtn3, Qt::red},
        {l.Findbutton, QColor(0, 128, 0)}, {c.FindButton2, QColor(0, 128, 0)}, {l.BitBtn4, Qt::blue},
        {l.BitBtn6, Qt::blue}, {l.BitBtn5, Qt::red}, {l.BitBtn7, Qt::red}};
    for (const auto& [button, colour] : coloured) {
      QCOMPARE(button->palette().color(QPalette::Active, QPalette::ButtonText), colour);
      QCOMPARE(button->palette().color(QPalette::Disabled, QPalette::ButtonText), greyed);
    }

    // The renamer's "Selected Directory:" looks like the organizer pages' ones.
    QCOMPARE(r.Label3->font(), l.Label9->font());
    QCOMPARE(r.Label3->palette().color(QPalette::WindowText), QColor(Qt::red));

    // A path too long for the renamer's display: elided in the middle, whole as its tooltip.
    form->changeDirectoryUi.DirectoryListBox1->setDirectory(deep);
    const QString path = QString::fromStdString(deep);
    QCOMPARE(r.StaticText2->text(), path);
    QCOMPARE(r.StaticText2->toolTip(), path);
    const QString shown = r.StaticText2->shownText();
    QVERIFY2(shown.startsWith(path.left(kOnLinux ? 1 : 3)) && shown.endsWith(QStringLiteral("game")) &&
                 shown.contains(QChar(0x2026)),
             qPrintable(shown));
    QVERIFY(r.StaticText2->fontMetrics().horizontalAdvance(shown) <= r.StaticText2->contentsRect().width());

    // "Program Info": the first text wraps instead of scrolling sideways and shows all its lines.
    form->ui.PageControl1->setCurrentWidget(form->ui.TabSheet4);
    QPlainTextEdit* info = form->programInfoUi.Memo1;
    QCOMPARE(info->horizontalScrollBar()->maximum(), 0);
    QCOMPARE(info->verticalScrollBar()->maximum(), 0);
    // The organizer help scrolls when its text runs past the bottom.
    form->Form6->show();
    QTRY_VERIFY(form->Form6->ui.Memo1->verticalScrollBar()->isVisible());
    form->Form6->hide();
  }

  void pageControlFollowsTheWindowSize() {
    TempDir tmp;
    auto form = startIn(realPath(tmp.path()));
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    const QSize before = form->ui.PageControl1->size();
    // Both Exit buttons sit where the layout puts them, on the page shown while the window grows.
    QPushButton* exits[] = {form->levelOrganizerUi.Button2, form->carOrganizerUi.Button3};
    for (QPushButton* exit : exits) {
      form->ui.PageControl1->setCurrentWidget(exit->parentWidget());
      QCOMPARE(exit->geometry(), QRect(592, 304, 75, 25));
    }
    // All four organizer lists stretch downwards by what the window grew.
    QTreeWidget* lists[] = {form->levelOrganizerUi.FoundFiles, form->levelOrganizerUi.FoundFiles2,
                            form->carOrganizerUi.Foundfiles3, form->carOrganizerUi.foundfiles4};
    QList<QRect> listsBefore;
    for (QTreeWidget* list : lists) listsBefore << list->geometry();
    form->resize(form->width() + 150, form->height() + 100);
    QTRY_COMPARE(form->ui.PageControl1->size(), before + QSize(150, 100));
    QCOMPARE(form->ui.PageControl1->pos(), QPoint(0, 8));
    for (QPushButton* exit : exits) {
      form->ui.PageControl1->setCurrentWidget(exit->parentWidget());
      QCOMPARE(exit->geometry(), QRect(592, 304, 75, 25));
    }
    for (int i = 0; i < 4; ++i) QCOMPARE(lists[i]->geometry(), listsBefore[i].adjusted(0, 0, 0, 100));
    // It shrinks no further than the size at which every control of the working pages shows whole.
    form->resize(form->width() - 250, form->height() - 200);
    QTRY_COMPARE(form->size(), form->minimumSize());
    QVERIFY(form->ui.PageControl1->width() <= before.width() && form->ui.PageControl1->height() <= before.height());
    for (QWidget* page : {form->ui.TabSheet6, form->ui.TabSheet1, form->ui.TabSheet2, form->ui.TabSheet3}) {
      form->ui.PageControl1->setCurrentWidget(page);
      for (QWidget* control : page->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        QVERIFY2(page->rect().contains(control->geometry()), qPrintable(control->objectName()));
    }

    // A window that does not fit at its place is moved up and left onto the screen, as far as
    // needed and never past the screen's corner.
    const QRect screen(0, 0, 1024, 600);
    QCOMPARE(placeInside(QRect(318, 192, 708, 460), QRect(0, 0, 1280, 1024)), QPoint(318, 192));
    QCOMPARE(placeInside(QRect(318, 192, 708, 460), screen), QPoint(316, 140));
    QCOMPARE(placeInside(QRect(196, 251, 903, 367), screen), QPoint(121, 233));
    QCOMPARE(placeInside(QRect(500, 500, 2000, 900), QRect(10, 20, 1024, 600)), QPoint(10, 20));
  }
};

QTEST_MAIN(WindowLookTest)
#include "window_look_test.moc"
