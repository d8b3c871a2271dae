// The preset file through the real main window: read at start-up, its problems, saving after a
// directory change, a save that fails half-way, and closing without writing.
#include <QApplication>
#include <QTest>
#include <QTreeWidget>

#include "platform/Posix.h"

#include <memory>

#include "platform/DirectoryListBox.h"
#include "platform/Errors.h"
#include "platform/FileSystem.h"
#include "shell/Unit1.h"
#include "support/ChildProcess.h"
#include "support/LinuxOnly.h"
#include "support/GameTree.h"
#include "support/ModalAnswerer.h"
#include "support/WindowHarness.h"

using namespace pitkit;
using namespace pitkit::test;

namespace {

// A start folder "kit" and another game folder "game", both usable game directories.
struct TwoGames {
  TempDir tmp;
  std::string root = realPath(tmp.path());
  std::string start = root + "/kit";
  std::string game = root + "/game";
  TwoGames() {
    makeGameFolders(start);
    makeGameFolders(game);
  }
};

}  // namespace

class PresetWindowTest : public test::WindowTestCase {
  Q_OBJECT
 private slots:
  void presetNamingAnotherGameOpensIt() {
    TempDir tmp;
    const std::string root = realPath(tmp.path());
    const std::string start = root + "/kit", game = root + "/My Game Ü";
    makeDirs(start);
    makeGameFolders(game);
    // Blank-free keys, a third line that is never read.
    const std::string preset = presetBytes(start, game) + "TorvaneDirectory:" + root + "\r\n";
    writeFile(start + "/Pitkit.ini", preset);
    ModalAnswerer errors(ModalAnswerer::OnlyErrorBoxes);
    auto form = startIn(start);

    QCOMPARE(form->GameDirectory, game);
    QCOMPARE(form->PresetFolder, start);
    QCOMPARE(form->changeDirectoryUi.DirectoryListBox1->Directory(), game);
    QCOMPARE(form->renamerUi.DirectoryListBox2->Directory(), game + "/levels");
    QCOMPARE(form->renamerUi.OName->text(), QStringLiteral("../levels"));
    QCOMPARE(form->ui.PageControl1->currentWidget(), form->ui.TabSheet5);
    QVERIFY(form->renamerUi.BitBtn2->isEnabled());
    QCOMPARE(readFile(start + "/Pitkit.ini"), preset);  // read, not rewritten
    QVERIFY(errors.texts().isEmpty());

    // A save goes back to the file it was read from and drops the extra line.
    form->changeDirectoryUi.BitBtn12->click();
    QCOMPARE(readFile(start + "/Pitkit.ini"), presetBytes(start, game));
  }

  void presetProblemsShowOneErrorAndKeepTheStartFolder() {
    const TwoGames games;
    const std::string &root = games.root, &start = games.start, &game = games.game;

    struct Case {
      const char* name;
      std::string preset;
    };
    const Case cases[] = {
        {"folder gone", presetBytes(start, root + "/gone")},
        // Blanks after the colon stay part of the path, which then names no folder.
        {"blank after colon", "PitkitDirectory:" + start + "\r\nTorvaneDirectory: " + game + "\r\n"},
    };
    for (const Case& c : cases) {
      writeFile(start + "/Pitkit.ini", c.preset);
      ModalAnswerer errors(ModalAnswerer::OnlyErrorBoxes);
      auto form = startIn(start);
      QVERIFY2(errors.texts() == QStringList{QStringLiteral("File not found.")}, c.name);
      QCOMPARE(form->GameDirectory, start);
      QCOMPARE(form->changeDirectoryUi.DirectoryListBox1->Directory(), start);
      QCOMPARE(form->carOrganizerUi.StaticText4->text().toStdString(), start);
      QCOMPARE(form->FindFile.Location(), start + "/levels/");
      QVERIFY(form->changeDirectoryUi.BitBtn12->isEnabled());
      QCOMPARE(readFile(start + "/Pitkit.ini"), c.preset);
      workingFolder_.restore();
    }

    // A preset that cannot be read (a folder in its place): one error, the window still opens.
    pitkit::test::removeTree(start + "/Pitkit.ini");
    makeDirs(start + "/Pitkit.ini");
    ModalAnswerer errors(ModalAnswerer::OnlyErrorBoxes);
    auto form = startIn(start);
    QCOMPARE(errors.texts(), QStringList{QStringLiteral("File access denied.")});
    QCOMPARE(form->GameDirectory, start);
    QVERIFY(form->ui.PageControl1 != nullptr);
    // A save still goes to the start folder, never to the top of the file system.
    QCOMPARE(form->PresetFolder, start);
    const bool rootPresetBefore = fileExists("/Pitkit.ini");
    form->changeDirectoryUi.BitBtn12->click();
    QCOMPARE(errors.texts().size(), 2);
    QCOMPARE(fileExists("/Pitkit.ini"), rootPresetBefore);
    QVERIFY(directoryExists(start + "/Pitkit.ini"));
  }

  void presetWithMissingPartsStaysOnTheStartFolder() {
    const TwoGames games;
    const std::string &root = games.root, &start = games.start, &game = games.game;
    ModalAnswerer errors(ModalAnswerer::OnlyErrorBoxes);

    // An empty file: both values empty; the start folder stays and a save writes the file that
    // was read (an empty first line would otherwise send it to "/Pitkit.ini").
    writeFile(start + "/Pitkit.ini", "");
    {
      auto form = startIn(start);
      QCOMPARE(form->GameDirectory, start);
      QCOMPARE(form->PresetFolder, start);
      form->changeDirectoryUi.DirectoryListBox1->setDirectory(game);
      form->changeDirectoryUi.BitBtn12->click();
      QCOMPARE(readFile(start + "/Pitkit.ini"), presetBytes(start, game));
    }
    // Only the first line, without its line break: the list stays where it is.
    writeFile(start + "/Pitkit.ini", "PitkitDirectory:" + start);
    {
      auto form = startIn(start);
      QCOMPARE(form->GameDirectory, start);
      QCOMPARE(form->changeDirectoryUi.DirectoryListBox1->Directory(), start);
    }
    // Lines ending in LF alone read as one line, which names no folder: a save repairs the file
    // in the start folder. A game folder whose name holds a CR cannot be saved: the file would
    // read back naming another folder, so the save is refused and the file kept.
    writeFile(start + "/Pitkit.ini", "PitkitDirectory:" + start + "\nTorvaneDirectory:" + game + "\n");
    {
      auto form = startIn(start);
      QCOMPARE(form->PresetFolder, start);
      form->changeDirectoryUi.DirectoryListBox1->setDirectory(game);
      form->changeDirectoryUi.BitBtn12->click();
      QCOMPARE(readFile(start + "/Pitkit.ini"), presetBytes(start, game));
      // (Windows forbids control characters in names.)
      if (kOnLinux) {
        const std::string odd = root + "/odd\rname";
        makeGameFolders(odd);
        form->changeDirectoryUi.DirectoryListBox1->setDirectory(odd);
        form->changeDirectoryUi.BitBtn12->click();
        QCOMPARE(readFile(start + "/Pitkit.ini"), presetBytes(start, game));
        QCOMPARE(errors.texts().size(), 1);
        QVERIFY(errors.boxes.takeFirst().text.startsWith(QStringLiteral("The preset file cannot hold a folder")));
      }
    }
    // The preset naming the start folder itself, with a trailing separator: the same folder,
    // so nothing opens again and the list's form of the path is kept.
    writeFile(start + "/Pitkit.ini", presetBytes(start, start + "/"));
    {
      auto form = startIn(start);
      QCOMPARE(form->GameDirectory, start);
    }
    QVERIFY(errors.texts().isEmpty());
  }

  void startFolderThatIsGoneWritesNoPreset() {
    PITKIT_LINUX_ONLY_QT("Windows removes no folder that is a program's working folder");
    TempDir tmp;
    const std::string gone = realPath(tmp.path()) + "/gone";
    makeDirs(gone);
    setCurrentDir(gone);
    pitkit::test::removeTree(gone);
    const bool rootPresetBefore = fileExists("/Pitkit.ini");
    ModalAnswerer errors(ModalAnswerer::OnlyErrorBoxes);
    TForm1 form;
    QCOMPARE(errors.texts(), QStringList{QStringLiteral("File not found.")});
    QVERIFY(!form.changeDirectoryUi.BitBtn12->isEnabled());
    QCOMPARE(fileExists("/Pitkit.ini"), rootPresetBefore);

    // A game folder chosen afterwards can be worked on, but a save has no preset folder to go to.
    const std::string game = realPath(tmp.path()) + "/game";
    makeGameFolders(game);
    form.changeDirectoryUi.DirectoryListBox1->setDirectory(game);
    QVERIFY(form.changeDirectoryUi.BitBtn12->isEnabled());
    form.changeDirectoryUi.BitBtn12->click();
    QCOMPARE(errors.texts().size(), 2);
    QCOMPARE(errors.texts().last(), QStringLiteral("File not found."));
    QCOMPARE(fileExists("/Pitkit.ini"), rootPresetBefore);
    QVERIFY(!fileExists(game + "/Pitkit.ini"));
  }

  void savingAfterADirectoryChangeIsReadAtTheNextStart() {
    const TwoGames games;
    const std::string &root = games.root, &start = games.start, &game = games.game;
    ModalAnswerer errors(ModalAnswerer::OnlyErrorBoxes);
    {
      auto form = startIn(start);
      form->changeDirectoryUi.DirectoryListBox1->setDirectory(game);
      QVERIFY(getCurrentDir() != start);  // the folder lists have moved the working directory
      QTest::mouseClick(form->changeDirectoryUi.BitBtn12, Qt::LeftButton);
      QCOMPARE(readFile(start + "/Pitkit.ini"), presetBytes(start, game));
      QVERIFY(!fileExists(game + "/Pitkit.ini"));
    }
    // The next start from the same folder opens the saved game directory.
    auto next = startIn(start);
    QCOMPARE(next->GameDirectory, game);
    // A start from another folder makes its own preset and leaves the first alone.
    const std::string other = root + "/other";
    makeDirs(other);
    auto third = startIn(other);
    QCOMPARE(third->GameDirectory, other);
    QCOMPARE(readFile(other + "/Pitkit.ini"), presetBytes(other, other));
    QCOMPARE(readFile(start + "/Pitkit.ini"), presetBytes(start, game));
    QVERIFY(errors.texts().isEmpty());
  }

  void failedSaveKeepsTheOldFile() {
    TempDir tmp;
    const std::string root = realPath(tmp.path());
    const std::string start = root + "/kit", game = root + "/a much longer game folder name";
    makeGameFolders(start);
    makeGameFolders(game);
    ModalAnswerer errors(ModalAnswerer::OnlyErrorBoxes);
    auto form = startIn(start);
    const std::string old = readFile(start + "/Pitkit.ini");
    form->changeDirectoryUi.DirectoryListBox1->setDirectory(game);

    // The disk fills up half-way through the write (a child with a file-size limit; a forked child
    // is Linux only).
    if (kOnLinux) {
      const ChildOutcome child = runInChild(withFileSizeLimit(20), [&]() -> std::string {
        try {
          form->BitBtn12Click();
        } catch (const EInOutError& e) {
          return e.ErrorCode == 101 ? "" : "the save failed with code " + std::to_string(e.ErrorCode);
        }
        return "the save did not fail";
      });
      QVERIFY2(child.waited, child.describe().c_str());
      QVERIFY2(child.exited, child.describe().c_str());
      QCOMPARE(child.exitCode, 0);
      QCOMPARE(readFile(start + "/Pitkit.ini"), old);
      QCOMPARE(pitkit::test::readFile(start + "/Pitkit.ini").size(), old.size());
    }

    // A read-only preset is refused with the error box and stays as it was.
    ::chmod((start + "/Pitkit.ini").c_str(), 0444);
    form->changeDirectoryUi.BitBtn12->click();
    QCOMPARE(errors.texts(), QStringList{QStringLiteral("File access denied.")});
    QCOMPARE(readFile(start + "/Pitkit.ini"), old);

    // The preset's folder gone: the error box, nothing written anywhere else.
    ::chmod((start + "/Pitkit.ini").c_str(), 0644);
    pitkit::test::removeTree(start);
    form->changeDirectoryUi.BitBtn12->click();
    QCOMPARE(errors.texts().size(), 2);
    QCOMPARE(errors.texts().last(), QStringLiteral("File not found."));
    QVERIFY(!fileExists(game + "/Pitkit.ini"));
  }

  void everyWayOfClosingWritesNothing() {
    const TwoGames games;
    const std::string &root = games.root, &start = games.start, &game = games.game;
    ModalAnswerer errors(ModalAnswerer::OnlyErrorBoxes);
    for (const std::string way : {"title bar", "File > Exit", "EXIT", "level Exit", "car Exit"}) {
      auto form = startIn(start);
      const std::string preset = readFile(start + "/Pitkit.ini");
      form->show();
      QVERIFY(QTest::qWaitForWindowExposed(form.get()));
      form->changeDirectoryUi.DirectoryListBox1->setDirectory(game);
      form->LevelUninstallFrom = "x";
      form->CarInstallTo = "y";
      new QTreeWidgetItem(form->levelOrganizerUi.FoundFiles, QStringList{QStringLiteral("lvl")});
      new QTreeWidgetItem(form->carOrganizerUi.foundfiles4, QStringList{QStringLiteral("car")});

      if (way == "title bar") form->close();
      if (way == "File > Exit") form->ui.Exit1->trigger();
      if (way == "EXIT") QTest::mouseClick(form->renamerUi.Button1, Qt::LeftButton);
      if (way == "level Exit") form->levelOrganizerUi.Button2->click();
      if (way == "car Exit") form->carOrganizerUi.Button3->click();

      QVERIFY2(!form->isVisible(), way.c_str());
      QVERIFY(form->GameDirectory.empty());
      QVERIFY(form->OldLevelPath.empty() && form->NewLevelPath.empty());
      QVERIFY(form->LevelUninstallFrom.empty() && form->CarInstallTo.empty());
      QCOMPARE(form->levelOrganizerUi.FoundFiles->topLevelItemCount(), 0);
      QCOMPARE(form->carOrganizerUi.foundfiles4->topLevelItemCount(), 0);
      QCOMPARE(readFile(start + "/Pitkit.ini"), preset);
      QVERIFY(!fileExists(game + "/Pitkit.ini"));
    }
    QVERIFY(errors.texts().isEmpty());
  }
};

QTEST_MAIN(PresetWindowTest)
#include "preset_window_test.moc"
