// Names looked up where letter case does not count: which entry a built name finds, which names
// count as taken, the name order of a folder listing, and how 8-bit names are shown.
#include <gtest/gtest.h>
#include "platform/Posix.h"

#include <algorithm>
#include <string>
#include <vector>

#include "platform/Charset.h"
#include "platform/NameCase.h"
#include "support/LinuxOnly.h"
#include "support/OddEntries.h"
#include "support/TempDir.h"

namespace pitkit {
namespace {

TEST(NameCase, BuiltNamesFindTheEntryTheGameWouldFind) {
  PITKIT_LINUX_ONLY("names that differ in case alone, and a dangling symbolic link");
  test::TempDir dir;
  for (const char* file : {"Levels/Run/ReadMe.txt", "Levels/Run/README.TXT", "Cars/A/A.JPG",
                           "Cars/A/a.jpg", "GFX", "gfX/Pellmoor.bmp"})
    test::writeFile(dir / file, "x");
  ASSERT_TRUE(test::makeSymlink("nowhere", dir / "Levels/DANGLING"));
  struct Case {
    const char* relative;
    EntryKind kind;
    const char* expected;
  };
  for (const Case& c : std::vector<Case>{
           {"levels/run/readme.txt", EntryKind::File,
            "Levels/Run/README.TXT"},                          // first in byte order
           {"cars/a/a.jpg", EntryKind::File, "Cars/A/a.jpg"},  // the exact name wins
           {"gfx/pellmoor.bmp", EntryKind::File,
            "gfX/Pellmoor.bmp"},  // parts on the way are folders
           {"gfx", EntryKind::Any, "GFX"},
           {"levels/nowhere/x.bmp", EntryKind::File, "Levels/nowhere/x.bmp"},  // the rest as given
           {"levels/run/", EntryKind::Folder, "Levels/Run/"},
           {"levels/../cars", EntryKind::Folder, "Levels/../Cars"}})
    EXPECT_EQ(findIgnoringCase(dir.path(), c.relative, c.kind), dir / c.expected) << c.relative;
  EXPECT_EQ(findIgnoringCase(dir.path() + "/", "levels"), dir.path() + "//Levels");
  // A name is taken by an entry of any kind in any case, a dangling link included.
  EXPECT_EQ(takenPath(dir / "levels", "run"), "");
  EXPECT_EQ(takenPath(dir / "Levels", "RUN"), dir / "Levels/Run");
  EXPECT_EQ(takenPath(dir / "Levels", "dangling"), dir / "Levels/DANGLING");
  EXPECT_EQ(takenPath(dir / "Levels", "walk"), "");
}

TEST(NameCase, FoldersListInNameOrderAndOldNamesShowInTheGamesCharacterSet) {
  std::vector<std::string> names = {"b",     "Zulu", "a_b", "ab", "alpha",
                                    "Alpha", "a",    "A",   "10", "9"};
  std::sort(names.begin(), names.end(),
            [](const std::string& x, const std::string& y) { return compareNames(x, y) < 0; });
  // Letters compare as capitals ('_' sorts after them); a tie in letters goes by the bytes.
  EXPECT_EQ(names, (std::vector<std::string>{"10", "9", "A", "a", "ab", "Alpha", "alpha", "a_b",
                                             "b", "Zulu"}));

  // Name by name: UTF-8 stays, any other name reads as Windows-1252, malformed forms included.
  for (const auto& [bytes, shown] : std::vector<std::pair<std::string, std::string>>{
           {"Fran\xE7ois", "Fran\xC3\xA7ois"},
           {"/home/jos\xC3\xA9/Fran\xE7ois", "/home/jos\xC3\xA9/Fran\xC3\xA7ois"},
           {"a\xC0\xAF", "a\xC3\x80\xC2\xAF"},  // an overlong '/' is no separator
           {"\xED\xA0\x80\x80", "\xC3\xAD\xC2\xA0\xE2\x82\xAC\xE2\x82\xAC"}}) {
    EXPECT_EQ(nameToUtf8(bytes), shown);
    EXPECT_TRUE(isValidUtf8(shown));
  }
  EXPECT_FALSE(isValidUtf8("\xF4\x90\x80\x80"));
}

}  // namespace
}  // namespace pitkit
