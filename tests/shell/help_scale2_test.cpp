// The help windows on a 1600 x 1000 screen scaled by 2: each opens inside the screen, scrolls
// only downwards, and every text in it can be read whole, wrapped in its box or scrolled to.
#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

#include "platform/FileSystem.h"
#include "shell/Unit1.h"
#include "shell/Unit6.h"
#include "shell/unit2.h"
#include "support/TempDir.h"

using namespace pitkit;

class HelpScale2Test : public QObject {
  Q_OBJECT
 private slots:
  void helpWindowsFitTheScreenAndEveryTextCanBeReached() {
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    QCOMPARE(available.size() * qGuiApp->devicePixelRatio(), QSize(1600, 1000));
    QCOMPARE(qGuiApp->devicePixelRatio(), 2.0);
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
  HelpScale2Test test;
  return QTest::qExec(&test, argc, argv);
}

#include "help_scale2_test.moc"
