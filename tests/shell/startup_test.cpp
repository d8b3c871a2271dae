// The program's own start-up (first page first): the window is shown with its first page finished;
// the fonts of the other pages, the renamer's logo and the secondary windows follow once it has
// been painted, or before the first input. Afterwards every page is as a whole start-up leaves it.
#include <QApplication>
#include <QLabel>
#include <QTest>

#include <functional>
#include <memory>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/Fonts.h"
#include "renamer/Unit3.h"
#include "renamer/Unit5.h"
#include "shell/Unit1.h"
#include "shell/unit2.h"
#include "support/GameTree.h"
#include "support/ModalAnswerer.h"
#include "support/WindowHarness.h"

using namespace pitkit;
using namespace pitkit::test;

namespace {

// The controls whose fonts wait for the first paint, on the pages behind the first one.
std::vector<QWidget*> heldBackControls(TForm1& f) {
  return {f.changeDirectoryUi.Label7, f.changeDirectoryUi.Label14, f.programInfoUi.Label21,
          f.renamerUi.Label3,         f.levelOrganizerUi.Label9,   f.levelOrganizerUi.Findbutton,
          f.carOrganizerUi.Label17,   f.carOrganizerUi.FindButton2};
}

std::unique_ptr<TForm1> startFirstPageFirst(const std::string& folder) {
  setCurrentDir(folder);
  return std::make_unique<TForm1>(nullptr, TForm1::StartUp::FirstPageFirst);
}

}  // namespace

class StartUpTest : public QObject {
  Q_OBJECT
 private:
  std::string startDir_;

 private slots:
  void initTestCase() {
    startDir_ = getCurrentDir();
    QApplication::setQuitOnLastWindowClosed(false);
  }
  void cleanup() { setCurrentDir(startDir_); }

  void pagesAreFinishedOnceTheWindowIsPainted() {
    OrganizerGame game;
    game.level("levels/mytrack", "My Track");
    const auto whole = game.open();
    const auto staged = startFirstPageFirst(game.dir);
    QVERIFY(!staged->startUpFinished());
    QVERIFY(staged->Form2 == nullptr && staged->Form6 == nullptr);
    QVERIFY(staged->renamerUi.Image1->pixmap().isNull());
    QVERIFY(staged->changeDirectoryUi.Label7->font() != whole->changeDirectoryUi.Label7->font());
    // The game folder is open before the window shows: the pages behind the tabs follow it.
    QCOMPARE(staged->GameDirectory, whole->GameDirectory);
    QVERIFY(staged->levelOrganizerUi.Findbutton->isEnabled());

    staged->show();
    QVERIFY(QTest::qWaitForWindowExposed(staged.get()));
    QTRY_VERIFY(staged->startUpFinished());
    const std::vector<QWidget*> wanted = heldBackControls(*whole);
    const std::vector<QWidget*> got = heldBackControls(*staged);
    for (std::size_t i = 0; i < wanted.size(); ++i) QCOMPARE(got[i]->font(), wanted[i]->font());
    QCOMPARE(staged->renamerUi.Image1->pixmap().deviceIndependentSize(),
             whole->renamerUi.Image1->pixmap().deviceIndependentSize());
    QCOMPARE(staged->Form3->windowTitle(), QStringLiteral(".INF Editor"));
    QCOMPARE(staged->Form5->windowTitle(), QStringLiteral("Warning!"));

    // Shown through the window, the renamer page has its logo and the help opens from the menu.
    showPageOf(staged->renamerUi.Image1);
    QVERIFY(staged->renamerUi.Image1->isVisible());
    ModalAnswerer modals;
    bool helpShown = false;
    modals.expect([&](QWidget* window) {
      helpShown = qobject_cast<TForm2*>(window) != nullptr;
      window->close();
    });
    staged->ui.Help2->trigger();
    QVERIFY(helpShown);
  }

  // An input that comes before the first paint finishes the start-up before it is handled.
  void inputBeforeThePaintFinishesTheStartUpFirst() {
    GameTree game;
    const std::pair<const char*, std::function<void(TForm1&)>> inputs[] = {
        {"key", [](TForm1& f) { QTest::keyClick(&f, Qt::Key_Tab); }},
        {"click", [](TForm1& f) { QTest::mouseClick(f.ui.StatusBar1, Qt::LeftButton); }},
        {"close", [](TForm1& f) { f.close(); }},
    };
    for (const auto& [what, send] : inputs) {
      const auto form = startFirstPageFirst(game.dir);
      QVERIFY2(!form->startUpFinished(), what);
      send(*form);
      QVERIFY2(form->startUpFinished(), what);
      QVERIFY2(form->Form2 != nullptr, what);
    }
  }

  // Fonts held back are set in the order asked for; a control gone meanwhile is skipped.
  void heldBackFontsAreSetLaterAndSkipTheControlsGone() {
    QWidget parent;
    auto* kept = new QLabel(&parent);
    auto* gone = new QLabel(&parent);
    const QFont before = kept->font();
    holdBackFonts();
    setNamedFont(kept, QStringLiteral("MS Sans Serif"), 19, true);
    setNamedFont(gone, QStringLiteral("MS Sans Serif"), 19, true);
    setNamedFont(kept, QStringLiteral("MS Sans Serif"), 13, true);
    delete gone;
    QCOMPARE(kept->font(), before);
    setHeldBackFonts();
    QCOMPARE(kept->font(), namedFont(QStringLiteral("MS Sans Serif"), 13, true));
    // No longer held: set at once, also after a window closed before its start-up finished.
    GameTree game;
    startFirstPageFirst(game.dir).reset();
    setNamedFont(kept, QStringLiteral("MS Sans Serif"), 19, true);
    QCOMPARE(kept->font(), namedFont(QStringLiteral("MS Sans Serif"), 19, true));
  }
};

QTEST_MAIN(StartUpTest)
#include "startup_test.moc"
