// The main window on a 1600 x 1000 screen scaled by 2: every picture it shows carries twice the
// pixels, so none is blown up from a small one; the help windows open inside the screen, scroll
// only downwards, and every text in them can be read whole, wrapped in its box or scrolled to.
#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

#include <memory>

#include "platform/DirectoryListBox.h"
#include "platform/FileSystem.h"
#include "shell/Unit1.h"
#include "shell/Unit6.h"
#include "shell/unit2.h"
#include "support/TempDir.h"

using namespace pitkit;

class Scale2Test : public QObject {
  Q_OBJECT
 private slots:
  void everyPictureHasTheScreensPixels() {
    QCOMPARE(qGuiApp->devicePixelRatio(), 2.0);
    pitkit::test::TempDir tmp;
    pitkit::test::makeDirs(tmp / "levels/track1");
    setCurrentDir(tmp.path());
    TForm1 form;
    form.Form2->show();
    struct Picture {
      const char* name;
      QPixmap pixmap;
      QSize logical;
    };
    const Picture pictures[] = {
        {"renamer logo", form.renamerUi.Image1->pixmap(), {257, 65}},
        {"tool chest", form.coverDisplayUi.Image4->pixmap(), {169, 169}},
        {"spanners", form.coverDisplayUi.Image5->pixmap(), {145, 145}},
        {"cover logo", form.coverDisplayUi.Image6->pixmap(), {305, 73}},
        {"level preview", form.levelOrganizerUi.Image2->pixmap(), {160, 120}},
        {"car placeholder", form.carOrganizerUi.Image9->pixmap(), {160, 120}},
        {"stock car picture", form.ui.Image10->pixmap(), {160, 120}},
        {"help picture", form.Form2->findChild<QLabel*>(QStringLiteral("Image1"))->pixmap(), {459, 288}},
        {"folder icon",
         form.changeDirectoryUi.DirectoryListBox1->item(0)->icon().pixmap(QSize(16, 16), 2.0), {16, 16}},
    };
    for (const Picture& p : pictures) {
      QVERIFY2(!p.pixmap.isNull(), p.name);
      QCOMPARE(p.pixmap.devicePixelRatio(), 2.0);
      QCOMPARE(p.pixmap.size(), p.logical * 2);
    }
    form.Form2->hide();
  }

  void helpWindowsFitTheScreenAndEveryTextCanBeReached() {
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    QCOMPARE(available.size() * qGuiApp->devicePixelRatio(), QSize(1600, 1000));
    pitkit::test::TempDir tmp;
    setCurrentDir(tmp.path());
    TForm1 form;
    for (QDialog* help : {static_cast<QDialog*>(form.Form2), static_cast<QDialog*>(form.Form6)}) {
      help->show();
      QVERIFY(QTest::qWaitForWindowExposed(help));
      QTRY_VERIFY2(available.contains(help->frameGeometry()), qPrintable(help->objectName()));
      auto* area = help->findChild<QScrollArea*>(QStringLiteral("HelpScroll"));
      QVERIFY(area != nullptr);
      QCOMPARE(area->horizontalScrollBar()->maximum(), 0);
      for (QWidget* control : area->widget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        const QString what = help->objectName() + QLatin1Char('.') + control->objectName();
        area->ensureWidgetVisible(control, 0, 0);
        QVERIFY2(area->viewport()->rect().contains(QRect(control->mapTo(area->viewport(), QPoint()), control->size())),
                 qPrintable(what));
        // A label's text is whole in its box; a text box wraps its lines and scrolls downwards.
        if (auto* label = qobject_cast<QLabel*>(control); label != nullptr && !label->text().isEmpty())
          QVERIFY2(label->wordWrap() ? label->heightForWidth(label->width()) <= label->height()
                                     : label->width() >= label->sizeHint().width(),
                   qPrintable(what));
        if (auto* memo = qobject_cast<QPlainTextEdit*>(control))
          QVERIFY(memo->lineWrapMode() == QPlainTextEdit::WidgetWidth && memo->horizontalScrollBar()->maximum() == 0);
      }
      help->hide();
    }
  }
};

int main(int argc, char** argv) {
  qputenv("QT_SCALE_FACTOR", "2");
  QApplication app(argc, argv);
  Scale2Test test;
  return QTest::qExec(&test, argc, argv);
}

#include "scale2_test.moc"
