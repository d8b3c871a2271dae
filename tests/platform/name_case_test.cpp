// Names looked up where letter case does not count: which entry a built name finds, which names
// count as taken, and the name order of a folder listing.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/Charset.h"
#include "platform/NameCase.h"
#include "support/TempDir.h"

namespace pitkit {
namespace {

using test::makeDirs;
using test::TempDir;
using test::writeFile;

TEST(NameCase, BuiltNamesFindTheEntryTheGameWouldFind) {
  TempDir dir;
  const std::string& root = dir.path();
  makeDirs(dir / "Levels/Desert Run");
  writeFile(dir / "Levels/Desert Run/ReadMe.txt", "a");
  writeFile(dir / "Levels/Desert Run/README.TXT", "b");
  writeFile(dir / "Cars/MyCar/MYCAR.JPG", "c");
  writeFile(dir / "Cars/MyCar/mycar.jpg", "d");
  writeFile(dir / "GFX", "a file named like the folder");
  makeDirs(dir / "gfX");
  writeFile(dir / "gfX/Pellmoor.bmp", "e");
  writeFile(dir / "readme", "f");
  makeDirs(dir / "README");

  struct Case {
    const char* relative;
    EntryKind kind;
    std::string expected;
  };
  const std::vector<Case> cases = {
      // Every part in another case; of two spellings the first in byte order.
      {"levels/desert run/readme.txt", EntryKind::File, dir / "Levels/Desert Run/README.TXT"},
      // An exact match wins over every other spelling.
      {"cars/mycar/mycar.jpg", EntryKind::File, dir / "Cars/MyCar/mycar.jpg"},
      {"CARS/MYCAR/MYCAR.JPG", EntryKind::Any, dir / "Cars/MyCar/MYCAR.JPG"},
      // The names on the way are folders; the last is of the kind asked for.
      {"gfx/pellmoor.bmp", EntryKind::File, dir / "gfX/Pellmoor.bmp"},
      {"gfx", EntryKind::Folder, dir / "gfX"},
      {"gfx", EntryKind::Any, dir / "GFX"},
      {"readme", EntryKind::Folder, dir / "README"},
      {"readme", EntryKind::Any, dir / "readme"},
      // From the first name that fits nothing on, the rest stays as given.
      {"levels/nowhere/x.bmp", EntryKind::File, dir / "Levels/nowhere/x.bmp"},
      {"un_levels", EntryKind::Folder, dir / "un_levels"},
      {"levels/Desert Run/", EntryKind::Folder, dir / "Levels/Desert Run/"},
      {"levels/../cars", EntryKind::Folder, dir / "Levels/../Cars"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(findIgnoringCase(root, c.relative, c.kind), c.expected) << c.relative;
  // The given folder is used as it is, and a trailing separator in it doubles as in concatenation.
  EXPECT_EQ(findIgnoringCase(root + "/", "levels"), root + "//Levels");
}

TEST(NameCase, ANameTakenInAnotherCaseIsTaken) {
  TempDir dir;
  makeDirs(dir / "un_levels/Kestrel001");
  makeDirs(dir / "un_levels/pack/Inner");
  ASSERT_EQ(::symlink("nowhere", (dir / "un_levels/DANGLING").c_str()), 0);
  const std::string un = dir / "un_levels";
  EXPECT_EQ(takenPath(un, "kestrel001"), dir / "un_levels/Kestrel001");
  EXPECT_EQ(takenPath(un, "Kestrel001"), dir / "un_levels/Kestrel001");
  EXPECT_EQ(takenPath(un, "PACK/inner"), dir / "un_levels/pack/Inner");
  EXPECT_EQ(takenPath(un, "dangling"), dir / "un_levels/DANGLING");
  EXPECT_EQ(takenPath(un, "kestrel002"), "");
  EXPECT_EQ(takenPath(un, "pack/other"), "");
  EXPECT_EQ(takenPath(dir / "missing", "x"), "");
}

TEST(NameCase, FoldersListInTheHomeFileSystemsNameOrder) {
  std::vector<std::string> names = {"b", "Zulu",  "a_b", "ab", "A",           "alpha", "Alpha",
                                    "a", "ALPHA", "10",  "9",  "caf\xC3\xA9", "cafe"};
  std::sort(names.begin(), names.end(),
            [](const std::string& x, const std::string& y) { return compareNames(x, y) < 0; });
  // Letters compare as capitals ('_' sorts after them); a tie in letters goes by the bytes.
  EXPECT_EQ(names, (std::vector<std::string>{"10", "9", "A", "a", "ab", "ALPHA", "Alpha", "alpha",
                                             "a_b", "b", "cafe", "caf\xC3\xA9", "Zulu"}));
  EXPECT_LT(compareNames("Kestrel", "kestrel"), 0);
  EXPECT_EQ(compareNames("same", "same"), 0);
  EXPECT_GT(compareNames("abc", "AB"), 0);
}

TEST(NameCase, NamesThatAreNotUtf8ShowThroughTheGamesCharacterSet) {
  struct Case {
    std::string bytes, shown;
  };
  const std::vector<Case> cases = {
      {"Fran\xE7ois", "Fran\xC3\xA7ois"},
      {"caf\xC3\xA9", "caf\xC3\xA9"},  // valid UTF-8 stays as it is
      // Name by name: a UTF-8 folder keeps its letters beside an 8-bit one.
      {"/home/jos\xC3\xA9/Fran\xE7ois/x.inf", "/home/jos\xC3\xA9/Fran\xC3\xA7ois/x.inf"},
      {"\x80\x9F", "\xE2\x82\xAC\xC5\xB8"},
      // Malformed forms read as 8-bit bytes: an overlong '/' is no separator, a surrogate no
      // letter.
      {"a\xC0\xAF"
       "b",
       "a\xC3\x80\xC2\xAF"
       "b"},
      {"\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xE2\x82\xAC"},
      {"cut\xC3", "cut\xC3\x83"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(nameToUtf8(c.bytes), c.shown) << c.bytes;
    EXPECT_TRUE(isValidUtf8(nameToUtf8(c.bytes))) << c.bytes;
  }
  EXPECT_FALSE(isValidUtf8("\xF4\x90\x80\x80"));  // above U+10FFFF
  EXPECT_TRUE(isValidUtf8("\xF4\x8F\xBF\xBF"));
}

}  // namespace
}  // namespace pitkit
