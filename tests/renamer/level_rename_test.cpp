#include <gtest/gtest.h>

#include <set>
#include <string>

#include "platform/FileSystem.h"
#include "renamer/LevelRename.h"
#include "support/LinuxOnly.h"
#include "support/TempDir.h"

namespace pitkit {
namespace {

using test::readFile;
using test::writeFile;

using test::namesIn;

TEST(LevelFileSuffixes, FifteenExtensionsThenTenLettersEachBmpThenBmq) {
  ASSERT_EQ(LevelFileSuffixes.size(), 35u);
  EXPECT_STREQ(LevelFileSuffixes[0], ".cam");
  EXPECT_STREQ(LevelFileSuffixes[6], ".inf");
  EXPECT_STREQ(LevelFileSuffixes[14], ".w");
  for (int letter = 0; letter < 10; ++letter) {
    const std::string l(1, static_cast<char>('a' + letter));
    EXPECT_EQ(LevelFileSuffixes[15 + 2 * letter], l + ".bmp");
    EXPECT_EQ(LevelFileSuffixes[16 + 2 * letter], l + ".bmq");
  }
}

TEST(RenameLevel, MovesFolderAndFileSetKeepsOtherFilesAndBytes) {
  test::TempDir game;
  const std::string levels = game / "levels";
  const std::string infText = "Torvane .INF file structure\r\nNAME 'nhood9 by me'\r\n";
  writeFile(levels + "/nhood9/nhood9.cam", "cam bytes");
  writeFile(levels + "/nhood9/nhood9.w", std::string("w\0bytes", 7));
  writeFile(levels + "/nhood9/nhood9a.bmp", "BMa");
  writeFile(levels + "/nhood9/nhood9j.bmq", "BMj");
  writeFile(levels + "/nhood9/nhood9k.bmp", "BMk");
  writeFile(levels + "/nhood9/readme.txt", "read me");
  writeFile(levels + "/nhood9/nhood9.inf", infText);
  // A folder named like a set file is not a file of the set.
  test::makeDirs(levels + "/nhood9/nhood9.fin");
  writeFile(levels + "/nhood9/nhood9.fin/inner", "x");

  const auto result = renameLevel(levels + "/nhood9", levels + "/mytrack", "nhood9", "mytrack");

  EXPECT_TRUE(result.folderMoved);
  EXPECT_TRUE(result.failedFiles.empty());
  EXPECT_EQ(result.renamedFiles.size(), 5u);
  EXPECT_EQ(result.renamedFiles.front().first, "nhood9.cam");  // table order
  EXPECT_EQ(result.renamedFiles.front().second, "mytrack.cam");
  EXPECT_EQ(namesIn(levels), (std::set<std::string>{"mytrack"}));
  EXPECT_EQ(namesIn(levels + "/mytrack"),
            (std::set<std::string>{"mytrack.cam", "mytrack.w", "mytracka.bmp", "mytrackj.bmq",
                                   "mytrack.inf", "nhood9k.bmp", "readme.txt", "nhood9.fin"}));
  EXPECT_EQ(readFile(levels + "/mytrack/mytrack.cam"), "cam bytes");
  EXPECT_EQ(readFile(levels + "/mytrack/mytrack.w"), std::string("w\0bytes", 7));
  EXPECT_EQ(readFile(levels + "/mytrack/mytracka.bmp"), "BMa");
  EXPECT_EQ(readFile(levels + "/mytrack/mytrack.inf"), infText);  // old name inside untouched
  EXPECT_EQ(readFile(levels + "/mytrack/nhood9.fin/inner"), "x");
}

TEST(RenameLevel, RefusedFolderMoveChangesNothing) {
  test::TempDir game;
  const std::string levels = game / "levels";
  writeFile(levels + "/old/old.cam", "old cam");
  writeFile(levels + "/taken/taken.cam", "taken cam");
  writeFile(levels + "/taken/old.cam", "a file named after the old level");

  // Target exists: neither folder changes, not even files named after the old level inside it.
  auto result = renameLevel(levels + "/old", levels + "/taken", "old", "taken");
  EXPECT_FALSE(result.folderMoved);
  EXPECT_TRUE(result.renamedFiles.empty());
  EXPECT_EQ(namesIn(levels + "/old"), (std::set<std::string>{"old.cam"}));
  EXPECT_EQ(namesIn(levels + "/taken"), (std::set<std::string>{"taken.cam", "old.cam"}));

  // Old folder missing.
  result = renameLevel(levels + "/gone", levels + "/fresh", "gone", "fresh");
  EXPECT_FALSE(result.folderMoved);
  EXPECT_EQ(namesIn(levels), (std::set<std::string>{"old", "taken"}));

  // A move the system refuses: the levels folder into a folder below itself.
  result = renameLevel(levels + "/../levels", levels + "/inside", "../levels", "inside");
  EXPECT_FALSE(result.folderMoved);
  EXPECT_EQ(namesIn(levels), (std::set<std::string>{"old", "taken"}));

  // The old name names a file, not a level folder: the file keeps its name.
  writeFile(levels + "/loose.txt", "loose");
  result = renameLevel(levels + "/loose.txt", levels + "/fresh", "loose.txt", "fresh");
  EXPECT_FALSE(result.folderMoved);
  EXPECT_EQ(namesIn(levels), (std::set<std::string>{"old", "taken", "loose.txt"}));
  EXPECT_EQ(readFile(levels + "/loose.txt"), "loose");
}

// Names that climb out of the levels folder (typed, or written by the levels list for a folder
// elsewhere) and paths not built from their names are refused: nothing moves, whoever asks.
TEST(RenameLevel, NamesAndPathsThatLeadOutOfLevelsAreRefusedAndNothingMoves) {
  test::TempDir game;
  const std::string levels = game / "levels";
  writeFile(levels + "/alpha/sub/alpha.cam", "alpha cam");
  writeFile(game / "cars/xcar/parameters.txt", "car");
  const auto before = test::treeSnapshot(game.path());
  const std::string notBuilt = "The level paths are not built from the level names";
  const struct {
    std::string oldName, newName, oldPath, newPath, refused;
  } cases[] = {
      {"alpha", "../x", "", "", "Level: ../x is not a valid level name: it holds \"/\"!"},
      {"../cars/xcar", "xcar", "", "", "Level: ../cars/xcar is not a valid level name: it holds \"/\"!"},
      {"alpha", "x", levels + "/alpha", game / "x", notBuilt},
      {"xcar", "xcar", game / "cars/xcar", levels + "/xcar", notBuilt},
  };
  for (const auto& c : cases) {
    const auto result = renameLevel(c.oldPath.empty() ? levels + "/" + c.oldName : c.oldPath,
                                    c.newPath.empty() ? levels + "/" + c.newName : c.newPath, c.oldName, c.newName);
    EXPECT_FALSE(result.folderMoved);
    EXPECT_EQ(result.refused, c.refused);
    EXPECT_EQ(test::treeSnapshot(game.path()), before) << c.refused;
  }
}

TEST(RenameLevel, SetFilesNamedInOtherLetterCaseAreRenamed) {
  PITKIT_LINUX_ONLY("files whose names differ in letter case alone");
  test::TempDir game;
  const std::string levels = game / "levels";
  writeFile(levels + "/MyTrack/mytrack.cam", "cam");
  writeFile(levels + "/MyTrack/MYTRACK.W", "w");
  writeFile(levels + "/MyTrack/MyTrack.inf", "exact");
  writeFile(levels + "/MyTrack/mytrack.INF", "other case of an exact name");
  // Two files that differ in case only cannot be told apart: both keep their names.
  writeFile(levels + "/MyTrack/mytrack.por", "1");
  writeFile(levels + "/MyTrack/MYTRACK.POR", "2");
  writeFile(levels + "/MyTrack/mytrackk.bmp", "not of the set");

  const auto result = renameLevel(levels + "/MyTrack", levels + "/Neu", "MyTrack", "Neu");

  EXPECT_TRUE(result.folderMoved);
  EXPECT_EQ(namesIn(levels + "/Neu"),
            (std::set<std::string>{"Neu.cam", "Neu.w", "Neu.inf", "mytrack.INF", "mytrack.por",
                                   "MYTRACK.POR", "mytrackk.bmp"}));
  EXPECT_EQ(readFile(levels + "/Neu/Neu.inf"), "exact");
  EXPECT_EQ(readFile(levels + "/Neu/Neu.w"), "w");
  EXPECT_EQ(std::set<std::string>(result.failedFiles.begin(), result.failedFiles.end()),
            (std::set<std::string>{"mytrack.por", "MYTRACK.POR"}));

  // A rename that changes letter case only.
  const auto again = renameLevel(levels + "/Neu", levels + "/NEU", "Neu", "NEU");
  EXPECT_TRUE(again.folderMoved);
  EXPECT_TRUE(fileExists(levels + "/NEU/NEU.cam"));
  EXPECT_TRUE(fileExists(levels + "/NEU/NEU.w"));
}

TEST(RenameLevel, FileThatCannotMoveKeepsItsNameAndTheRestStillMove) {
  test::TempDir game;
  const std::string levels = game / "levels";
  writeFile(levels + "/a/a.cam", "cam");
  writeFile(levels + "/a/a.por", "por");
  writeFile(levels + "/a/a.w", "w");
  // Something already stands where a.por would go, so that one move is refused (also as root).
  test::makeDirs(levels + "/a/b.por");

  const auto result = renameLevel(levels + "/a", levels + "/b", "a", "b");

  EXPECT_TRUE(result.folderMoved);
  EXPECT_EQ(result.failedFiles, (std::vector<std::string>{"a.por"}));
  EXPECT_EQ(result.renamedFiles.size(), 2u);
  EXPECT_EQ(namesIn(levels + "/b"), (std::set<std::string>{"b.cam", "a.por", "b.por", "b.w"}));
  EXPECT_EQ(readFile(levels + "/b/a.por"), "por");
  EXPECT_EQ(readFile(levels + "/b/b.w"), "w");
}

TEST(RenameLevel, NamesWithSpacesAndNonAsciiLetters) {
  test::TempDir game;
  const std::string levels = game / "levels";
  writeFile(levels + "/Straße 1/Straße 1.cam", "c");
  writeFile(levels + "/Straße 1/Straße 1b.bmq", "q");

  const auto result = renameLevel(levels + "/Straße 1", levels + "/Åre løypa", "Straße 1", "Åre løypa");

  EXPECT_TRUE(result.folderMoved);
  EXPECT_EQ(namesIn(levels + "/Åre løypa"),
            (std::set<std::string>{"Åre løypa.cam", "Åre løypab.bmq"}));
  EXPECT_EQ(readFile(levels + "/Åre løypa/Åre løypab.bmq"), "q");
}

}  // namespace
}  // namespace pitkit
