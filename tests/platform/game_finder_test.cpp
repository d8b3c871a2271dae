// Finding the game in compatibility prefixes: the drive_c folders of every kind of prefix, the
// Steam library list, and which folders below a drive count as game folders.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "platform/GameFinder.h"
#include "support/TempDir.h"

namespace pitkit {
namespace {

using Strings = std::vector<std::string>;

TEST(GameFinder, DriveCFoldersComeFromEveryKindOfPrefixEachOnce) {
  test::TempDir home, lib;
  const std::string steam = ".local/share/Steam/steamapps/";
  for (const std::string& drive :
       Strings{".wine/drive_c", steam + "compatdata/1/pfx/drive_c", "Games/t/drive_c",
               ".var/app/com.usebottles.bottles/data/bottles/bottles/B/drive_c"})
    test::makeDirs(home / drive);
  test::makeDirs(home / (steam + "compatdata/2/pfx"));  // a prefix not made yet
  test::makeDirs(lib / "steamapps/compatdata/3/pfx/drive_c");
  test::makeDirs(home / ".steam");
  ASSERT_EQ(::symlink("../.local/share/Steam", (home / ".steam/steam").c_str()), 0);  // Steam twice
  // Both forms of the library list: "path" keys, and the older numbered keys.
  test::writeFile(home / (steam + "libraryfolders.vdf"),
                  "\"libraryfolders\"\n{\n \"0\" { \"path\" \"" + home / ".local/share/Steam" +
                      "\" \"apps\" { \"7\" \"5\" } }\n \"1\" { \"path\" \"" + lib.path() +
                      "\" }\n}\n");
  test::writeFile(home / "old.vdf",
                  "\"LibraryFolders\" { \"Time\" \"16\" \"1\" \"/data/steam \\\"x\\\"\" }");
  EXPECT_EQ(steamLibraryPaths(test::readFile(home / "old.vdf")), Strings{"/data/steam \"x\""});

  const WineDrives found = findWineDrives(home.path(), "");
  EXPECT_EQ(found.drives,
            (Strings{home / ".wine/drive_c", home / (steam + "compatdata/1/pfx/drive_c"),
                     lib / "steamapps/compatdata/3/pfx/drive_c", home / "Games/t/drive_c",
                     home / ".var/app/com.usebottles.bottles/data/bottles/bottles/B/drive_c"}));
  // Where it looked, for telling the user.
  EXPECT_NE(std::find(found.places.begin(), found.places.end(), home / "Games/*/drive_c"),
            found.places.end());
  EXPECT_EQ(findWineDrives("", lib / "steamapps/compatdata/3/pfx").drives,
            Strings{lib / "steamapps/compatdata/3/pfx/drive_c"});
}

TEST(GameFinder, GameFoldersHoldLevelsAndCarsInAnyCase) {
  test::TempDir a, b;
  for (const char* folder :
       {"Program Files/Torvane/Levels", "Program Files/Torvane/CARS",
        "Other/levels",                                        // no cars
        "Windows/T/levels", "Windows/T/cars",                  // left out
        "G/1/2/3/4/Six/levels", "G/1/2/3/4/Six/cars",          // depth 6
        "G/1/2/3/4/5/Seven/levels", "G/1/2/3/4/5/Seven/cars",  // too deep
        "Program Files/Torvane/levels/x/levels", "Program Files/Torvane/levels/x/cars"})
    test::makeDirs(a / folder);
  test::makeDirs(b / "T/levels");
  test::makeDirs(b / "T/cars");
  ASSERT_EQ(::symlink((b / "T").c_str(), (a / "users").c_str()), 0);  // links are not followed

  EXPECT_EQ(findGameFolders({a.path(), a / "missing"}),
            (Strings{a / "G/1/2/3/4/Six", a / "Program Files/Torvane"}));
  EXPECT_TRUE(findGameFolders({a.path()}, std::chrono::milliseconds(0)).empty());
}

TEST(GameFinder, LibraryListIsReadStrictly) {
  const std::string list = R"("libraryfolders" { "0" { "path" "/a" } )";
  const struct {
    std::string text;
    Strings paths;
  } rows[] = {
      {list + "}", {"/a"}},
      {"// Steam\n" + list + R"("1" {"PATH"	"/b\\c\td" "apps" {"7" "/x"}}})", {"/a", "/b\\c\td"}},
      {R"("libraryfolders" { "0" { "path" "C:\\Steam" "label" "/no" } })", {}},  // not absolute; no path
      {R"("other" { "0" { "path" "/a" } })", {}},                                 // not the library list
      {R"("libraryfolders" { "path" "/a" })", {}},                                // not in a numbered block
      {list, {}},                                                                 // cut off
      {list + "}}", {}},                                                          // a brace too many
      {list + "} x", {}},                                                         // a stray character
      {R"("libraryfolders" { "0" { "path" "/a\q" } })", {}},                      // an unknown escape
      {R"("libraryfolders" { "0" { "path" "/a)", {}},                             // an unfinished string
      {std::string(R"("libraryfolders" { "0" { "path" "/a)") + '\0' + R"(b" } })", {}},
      {R"("k" { "v" })", {}},                                                     // a block without a key
      {R"("libraryfolders" { "0" { "path" "/a" "apps" { "1" { "2" { "3" { "4" { "5" { "6" { } } } } } } } } })",
       {}},  // nested deeper than Steam writes
      {R"("libraryfolders" { "0" { "path" "/)" + std::string(kMaxSteamVdfBytes, 'x') + R"(" } })", {}},
  };
  for (const auto& row : rows) EXPECT_EQ(steamLibraryPaths(row.text), row.paths) << row.text.substr(0, 80);
}

TEST(GameFinder, AGameReachedByTwoRoadsIsListedOnce) {
  test::TempDir lib, other;
  test::makeDirs(lib / "common/T/Levels");
  test::makeDirs(lib / "common/T/CARS");
  ASSERT_EQ(::symlink(lib.path().c_str(), (other / "link").c_str()), 0);
  EXPECT_EQ(findGameFolders({lib / "common", other / "link/common"}), Strings{lib / "common/T"});
}

}  // namespace
}  // namespace pitkit
