// The main window on a screen scaled by 2: every picture it shows carries twice the pixels, so
// none is blown up from a small one.
#include <QApplication>
#include <QLabel>
#include <QTest>

#include <memory>

#include "platform/DirectoryListBox.h"
#include "platform/FileSystem.h"
#include "shell/Unit1.h"
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
};

int main(int argc, char** argv) {
  qputenv("QT_SCALE_FACTOR", "2");
  QApplication app(argc, argv);
  Scale2Test test;
  return QTest::qExec(&test, argc, argv);
}

#include "scale2_test.moc"
