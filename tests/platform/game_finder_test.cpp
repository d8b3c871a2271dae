// Finding the game in compatibility prefixes: the drive_c folders of every kind of prefix, the
// Steam library list, and which folders below a drive count as game folders.
#include "platform/Posix.h"
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/GameFinder.h"
#include "support/LinuxOnly.h"
#include "support/OddEntries.h"
#include "support/StoppedMount.h"
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
  // Steam twice (where links can be made; the finding is the same without it).
  ASSERT_TRUE(test::makeSymlink("../.local/share/Steam", home / ".steam/steam") || !test::kOnLinux);
  // Both forms of the library list: "path" keys, and the older numbered keys.
  test::writeFile(home / (steam + "libraryfolders.vdf"),
                  "\"libraryfolders\"\n{\n \"0\" { \"path\" \"" + home / ".local/share/Steam" +
                      "\" \"apps\" { \"7\" \"5\" } }\n \"1\" { \"path\" \"" + lib.path() +
                      "\" }\n}\n");
  test::writeFile(home / "old.vdf",
                  "\"LibraryFolders\" { \"Time\" \"16\" \"1\" \"/data/steam \\\"x\\\"\" }");
  EXPECT_EQ(steamLibraryPaths(test::readFile(home / "old.vdf"), PathForm::Posix), Strings{"/data/steam \"x\""});

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
  // Links are not followed (where links can be made).
  ASSERT_TRUE(test::makeSymlink(b / "T", a / "users") || !test::kOnLinux);

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
  for (const auto& row : rows) EXPECT_EQ(steamLibraryPaths(row.text, PathForm::Posix), row.paths) << row.text.substr(0, 80);
}

// The places of the game on Windows: Steam's installation and the libraries its list names (one
// reached by two roads counted once), and each program's folder in the Program Files folders.
TEST(GameFinder, WindowsRootsAreTheSteamLibrariesAndTheProgramsFolders) {
  test::TempDir steam, lib, programs, programs86;
  test::makeDirs(steam / "steamapps/common/Torvane/levels");
  test::makeDirs(lib / "steamapps/common");
  test::makeDirs(programs / "Maker/Torvane");
  test::makeDirs(programs / "Other");
  test::makeDirs(programs86 / "Torvane/cars");
  ASSERT_TRUE(test::makeSymlink(lib.path(), steam / "lib-link") || !test::kOnLinux);
  test::writeFile(steam / "steamapps/libraryfolders.vdf",
                  "\"libraryfolders\" { \"0\" { \"path\" \"" + steam.path() + "\" } \"1\" { \"path\" \"" +
                      lib.path() + "\" } \"2\" { \"path\" \"" + steam / "lib-link" + "\" } \"3\" { \"path\" \"" +
                      steam / "gone" + "\" } }");

  const WineDrives found = findWindowsGameRoots(steam.path(), {programs.path(), programs86.path(), programs / "none"},
                                                kPrefixPlaceBudget, kNativePathForm);
  EXPECT_TRUE(found.drives.empty());
  EXPECT_EQ(found.steamCommons, (Strings{steam / "steamapps/common", lib / "steamapps/common"}));
  EXPECT_EQ(found.programFolders, (Strings{programs / "Maker", programs / "Other", programs86 / "Torvane"}));
  EXPECT_EQ(found.gameRoots(), (Strings{steam / "steamapps/common", lib / "steamapps/common", programs / "Maker",
                                        programs / "Other", programs86 / "Torvane"}));
  for (const std::string& place : {steam / "gone/steamapps/common/*", programs / "none/*"})
    EXPECT_NE(std::find(found.places.begin(), found.places.end(), place), found.places.end()) << place;
  // The game is found below them: in the library, and a maker's folder down.
  test::makeDirs(steam / "steamapps/common/Torvane/cars");
  test::makeDirs(programs / "Maker/Torvane/levels");
  test::makeDirs(programs / "Maker/Torvane/cars");
  EXPECT_EQ(findGameFolders(found.gameRoots()), (Strings{steam / "steamapps/common/Torvane", programs / "Maker/Torvane"}));

  // Without Steam and program folders nothing is looked at.
  const WineDrives none = findWindowsGameRoots("", {}, kPrefixPlaceBudget, kNativePathForm);
  EXPECT_TRUE(none.gameRoots().empty());
  EXPECT_TRUE(none.places.empty());
}

TEST(GameFinder, AGameReachedByTwoRoadsIsListedOnce) {
  PITKIT_LINUX_ONLY("symbolic links");
  test::TempDir lib, other;
  test::makeDirs(lib / "common/T/Levels");
  test::makeDirs(lib / "common/T/CARS");
  ASSERT_TRUE(test::makeSymlink(lib.path(), other / "link"));
  EXPECT_EQ(findGameFolders({lib / "common", other / "link/common"}), Strings{lib / "common/T"});
}

// A place that cannot be read, is too large to take whole, hangs or takes long hides no game found
// in another place and does not hold the finder past its time.
TEST(GameFinder, NoPlaceHidesAGameInAnother) {
  using namespace std::chrono_literals;
  const std::string steam = ".local/share/Steam/steamapps/";
  const auto game = [](const std::string& folder) {
    test::makeDirs(folder + "/levels");
    test::makeDirs(folder + "/cars");
  };
  const auto listNaming = [](const std::string& first, int more) {
    std::string text = "\"libraryfolders\" { \"1\" \"" + first + "\"";
    for (int i = 0; i < more; ++i) text += " \"1\" \"/n/" + std::to_string(i) + "\"";
    return text + " }";
  };
  const struct {
    const char* what;
    // Makes the home's odd place; a stopped mount or slow disk, when there is one, is returned.
    std::function<std::unique_ptr<test::StoppedMount>(const test::TempDir& home)> arrange;
  } rows[] = {
      {"a pipe as a library list",
       [&](const test::TempDir& home) {
         test::makeDirs(home / ".steam/root/steamapps");
         // No FIFOs on Windows: a plain missing list there.
         EXPECT_TRUE(test::makeFifo(home / ".steam/root/steamapps/libraryfolders.vdf", 0600) || !test::kOnLinux);
         return nullptr;
       }},
      {"a 64 GiB sparse library list",
       [&](const test::TempDir& home) {
         test::makeDirs(home / ".steam/root/steamapps");
         test::writeFile(home / ".steam/root/steamapps/libraryfolders.vdf",
                         listNaming(home / "lib", 0));
         EXPECT_TRUE(test::setFileSize(home / ".steam/root/steamapps/libraryfolders.vdf", 64LL << 30));
         return nullptr;
       }},
      {"a library list naming as many libraries as fit in it",
       [&](const test::TempDir& home) {
         test::writeFile(home / ".steam/root/steamapps/libraryfolders.vdf",
                         listNaming(home / "lib", 60000));
         return nullptr;
       }},
      {"a stopped mount among the prefixes",
       [&](const test::TempDir& home) {
         test::makeDirs(home / "Games/m/drive_c");
         return std::make_unique<test::StoppedMount>(home / "Games/m");
       }},
      {"a stopped mount inside a drive, after its game",
       [&](const test::TempDir& home) {
         test::makeDirs(home / "Games/a/drive_c/Zed");
         return std::make_unique<test::StoppedMount>(home / "Games/a/drive_c/Zed");
       }},
      {"a vast prefix",
       [&](const test::TempDir& home) {
         for (int i = 0; i < 300; ++i)
           test::makeDirs(home / ("Games/b/drive_c/Big/" + std::to_string(i)));
         return std::make_unique<test::StoppedMount>(home / "Games/b/drive_c/Big", 5ms);
       }},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    test::TempDir home;
    game(home / ".wine/drive_c/T");
    game(home / "Games/a/drive_c/Torvane");
    game(home / "Games/z/drive_c/Torvane");
    game(home / "lib/steamapps/common/Torvane");
    test::writeFile(home / (steam + "libraryfolders.vdf"), listNaming(home / "lib", 0));
    const std::unique_ptr<test::StoppedMount> stopped = row.arrange(home);

    const WineDrives drives = findWineDrives(home.path(), "", 400ms);
    EXPECT_EQ(findGameFolders(drives.gameRoots(), 400ms),
              (Strings{home / ".wine/drive_c/T", home / "Games/a/drive_c/Torvane",
                       home / "Games/z/drive_c/Torvane", home / "lib/steamapps/common/Torvane"}));
    EXPECT_LT(drives.places.size(), 3 * kMaxSteamLibrariesPerList);
    if (stopped) {
      EXPECT_GT(stopped->held(), 0);
      EXPECT_FALSE(stopped->heldTooLong());  // nobody waited for it
    }
  }
}

}  // namespace
}  // namespace pitkit
