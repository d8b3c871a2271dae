// The program's own start-up (first page first): the window is shown with its frame and first page
// finished; the other pages, the game folder and the secondary windows follow once it has been
// painted, or before the first input. Afterwards every page is as a whole start-up leaves it.
#include <QApplication>
#include <QLabel>
#include <QTest>

#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/DirectoryListBox.h"
#include "platform/Fonts.h"
#include "platform/Paths.h"
#include "renamer/Unit3.h"
#include "renamer/Unit5.h"
#include "shell/Preset.h"
#include "shell/Unit1.h"
#include "shell/unit2.h"
#include "support/GameTree.h"
#include "support/ModalAnswerer.h"
#include "support/WindowHarness.h"

using namespace pitkit;
using namespace pitkit::test;

namespace {

// Controls with fonts of their own, on the pages behind the first one.
std::vector<QWidget*> laterControls(TForm1& f) {
  return {f.changeDirectoryUi.Label7, f.changeDirectoryUi.Label14, f.programInfoUi.Label21,
          f.renamerUi.Label3,         f.levelOrganizerUi.Label9,   f.levelOrganizerUi.Findbutton,
          f.carOrganizerUi.Label17,   f.carOrganizerUi.FindButton2};
}

std::unique_ptr<TForm1> startFirstPageFirst(const std::string& folder) {
  setCurrentDir(folder);
  return std::make_unique<TForm1>(nullptr, TForm1::StartUp::FirstPageFirst);
}

}  // namespace

class StartUpTest : public test::WindowTestCase {
  Q_OBJECT
 private slots:
  void pagesAreFinishedOnceTheWindowIsPainted() {
    OrganizerGame game;
    game.level("levels/mytrack", "My Track");
    const auto whole = game.open();
    const auto staged = startFirstPageFirst(game.dir);
    QVERIFY(!staged->startUpFinished());
    QVERIFY(staged->Form2 == nullptr && staged->Form6 == nullptr);
    // The first page is whole; the pages behind it and the game folder wait.
    QCOMPARE(staged->coverDisplayUi.Label22->font(), whole->coverDisplayUi.Label22->font());
    QVERIFY(!staged->coverDisplayUi.Image4->pixmap().isNull());
    QVERIFY(staged->renamerUi.Image1 == nullptr && staged->levelOrganizerUi.Findbutton == nullptr);
    QVERIFY(staged->GameDirectory.empty());

    staged->show();
    whole->show();
    QVERIFY(QTest::qWaitForWindowExposed(staged.get()));
    QTRY_VERIFY(staged->startUpFinished());
    QCOMPARE(staged->GameDirectory, whole->GameDirectory);
    QVERIFY(staged->levelOrganizerUi.Findbutton->isEnabled());
    const std::vector<QWidget*> wanted = laterControls(*whole);
    const std::vector<QWidget*> got = laterControls(*staged);
    for (std::size_t i = 0; i < wanted.size(); ++i) QCOMPARE(got[i]->font(), wanted[i]->font());
    QCOMPARE(staged->renamerUi.Image1->pixmap().deviceIndependentSize(),
             whole->renamerUi.Image1->pixmap().deviceIndependentSize());
    QCOMPARE(staged->Form3->windowTitle(), QStringLiteral(".INF Editor"));
    QCOMPARE(staged->Form5->windowTitle(), QStringLiteral("Warning!"));
    // The smallest size holds every page, also those made after the window was shown.
    QVERIFY(QTest::qWaitForWindowExposed(whole.get()));
    QCOMPARE(staged->minimumSize(), whole->minimumSize());

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

  // A start in a game folder, as a double click on the program there: no error box, and every
  // folder list walks from the folder's own root (on Windows its drive, "C:/") down to its folder.
  void startsInTheGameFolderWithoutAnErrorBox() {
    OrganizerGame game;
    ModalAnswerer modals;
    const auto form = startFirstPageFirst(game.dir);
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    QTRY_VERIFY(form->startUpFinished());
    QVERIFY2(modals.boxes.isEmpty(), qPrintable(modals.texts().join(u'\n')));
    QCOMPARE(form->GameDirectory, game.dir);
    const auto& c = form->changeDirectoryUi;
    const std::pair<TDirectoryListBox*, std::string> lists[] = {
        {c.DirectoryListBox1, game.dir}, {c.DirectoryListBox3, game / "levels"}, {c.DirectoryListBox4, game / "cars"}};
    for (const auto& [list, folder] : lists) {
      QCOMPARE(list->Directory(), folder);
      QCOMPARE(list->itemPath(0), pathRoot(folder));
      QCOMPARE(list->itemPath(list->openRow()), folder);
      for (int row = 1; row <= list->openRow(); ++row)
        QVERIFY2(list->itemPath(row).starts_with(list->itemPath(row - 1)), list->itemPath(row).c_str());
    }
  }

  // An input that comes before the first paint finishes the start-up before it is handled.
  void inputBeforeThePaintFinishesTheStartUpFirst() {
    GameTree game;
    const std::pair<const char*, std::function<void(TForm1&)>> inputs[] = {
        {"key", [](TForm1& f) { QTest::keyClick(&f, Qt::Key_Tab); }},
        {"click", [](TForm1& f) { QTest::mouseClick(f.ui.StatusBar1, Qt::LeftButton); }},
        {"close", [](TForm1& f) { f.close(); }},
        {"handler", [](TForm1& f) { f.DirectoryListBox1Change(); }},
    };
    for (const auto& [what, send] : inputs) {
      std::remove((game / "Pitkit.ini").c_str());
      const auto form = startFirstPageFirst(game.dir);
      QVERIFY2(!form->startUpFinished(), what);
      // The preset file is there before the window is, as when FormCreate ran first.
      QCOMPARE(pitkit::test::readFile(game / "Pitkit.ini"), presetText(game.dir, game.dir));
      send(*form);
      QVERIFY2(form->startUpFinished(), what);
      QVERIFY2(form->Form2 != nullptr, what);
    }
  }
};

QTEST_MAIN(StartUpTest)
#include "startup_test.moc"
