// The help windows on a 1600 x 1000 screen scaled by 2: each opens inside the screen, and every
// text in it can be read whole, wrapped in its box or scrolled down to.
#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

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
    QCOMPARE(qGuiApp->devicePixelRatio(), 2.0);
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    QCOMPARE(available.size() * 2, QSize(1600, 1000));
    pitkit::test::TempDir tmp;
    setCurrentDir(tmp.path());
    TForm1 form;
    for (QDialog* help : {static_cast<QDialog*>(form.Form2), static_cast<QDialog*>(form.Form6)}) {
      const QString name = help->objectName();
      help->show();
      QVERIFY(QTest::qWaitForWindowExposed(help));
      QTRY_VERIFY2(available.contains(help->frameGeometry()), qPrintable(name));
      auto* area = help->findChild<QScrollArea*>(QStringLiteral("HelpScroll"));
      QVERIFY2(area != nullptr && area->widget() != nullptr, qPrintable(name));
      // It scrolls only downwards: every line can be read without scrolling sideways.
      QCOMPARE(area->horizontalScrollBar()->maximum(), 0);
      const auto controls = area->widget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
      QVERIFY(controls.size() >= 2);
      for (QWidget* control : controls) {
        const QString what = name + QLatin1Char('.') + control->objectName();
        // Scrolled to, the whole control is in view.
        area->ensureWidgetVisible(control, 0, 0);
        const QRect shown(control->mapTo(area->viewport(), QPoint(0, 0)), control->size());
        QVERIFY2(area->viewport()->rect().contains(shown), qPrintable(what));
        // A label's text is whole inside its box: wrapped where it is longer than a line.
        if (auto* label = qobject_cast<QLabel*>(control); label != nullptr && !label->text().isEmpty()) {
          const QSize needed = label->wordWrap() ? QSize(label->width(), label->heightForWidth(label->width()))
                                                 : label->sizeHint();
          QVERIFY2(needed.width() <= label->width() && needed.height() <= label->height(), qPrintable(what));
        }
        // A text box wraps its lines and scrolls down to the last.
        if (auto* memo = qobject_cast<QPlainTextEdit*>(control)) {
          QCOMPARE(memo->lineWrapMode(), QPlainTextEdit::WidgetWidth);
          QCOMPARE(memo->horizontalScrollBar()->maximum(), 0);
          memo->verticalScrollBar()->setValue(memo->verticalScrollBar()->maximum());
          QTextBlock last = memo->document()->lastBlock();
          while (last.isValid() && last.text().trimmed().isEmpty()) last = last.previous();
          QVERIFY(last.isValid());
          QVERIFY2(memo->viewport()->rect().contains(memo->cursorRect(QTextCursor(last)).center()), qPrintable(what));
        }
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
