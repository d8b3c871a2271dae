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

}  // namespace
}  // namespace pitkit
