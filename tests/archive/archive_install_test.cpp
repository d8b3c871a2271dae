// Installing from archives made here: what counts as an item, byte-exact installs into both
// places, game folders in any letter case, unsafe entries, taken names in either place and the
// trash, broken and encrypted archives, old name encodings, a full disk and a crash half-way;
// hostile archives read safely (a pipe, rar-signed garbage, a nameless level, overflowing sizes,
// thousands of large info files) and rename faults at commit (missing flags, crashes, sweeps).
#include <gtest/gtest.h>
#include "platform/Posix.h"

#include <algorithm>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>

#include "archive/ArchiveInstall.h"
#include "archive/ArchiveReader.h"
#include "archive/archive_support.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "platform/Trash.h"
#include "support/ChildProcess.h"
#include "support/LinuxFileSystems.h"
#include "support/LinuxOnly.h"
#include "support/TempDir.h"

namespace pitkit {
namespace {

namespace fs = std::filesystem;
using test::carText;
using test::infoText;
using test::makeZip;
using test::readFile;
using test::TempDir;
using test::treeSnapshot;
using test::writeFile;
using test::ZipEntry;

// A game folder beside a folder for the archives, in one temporary folder, so that a test can see
// that nothing was written outside the game; the home trash is the test's own.
struct Downloads {
  TempDir tmp;
  std::string game = tmp / "game";
  std::string downloads = tmp / "downloads";
  test::TrashHome home{tmp / "data"};
  explicit Downloads(std::vector<const char*> folders = {"levels", "un_levels", "cars", "garage", "gfx"}) {
    for (const char* sub : folders) test::makeDirs(game + "/" + sub);
    test::makeDirs(downloads);
  }
  std::string zip(const std::string& name, const std::vector<ZipEntry>& entries) const {
    makeZip(downloads + "/" + name, entries);
    return downloads + "/" + name;
  }
};

std::string describe(const ArchiveItem& i) {
  return std::string(i.kind == ContentKind::Level ? "level " : "car ") + i.name + " '" + i.displayName + "' at '" +
         i.source + "' " + std::to_string(i.files) + " files " + std::to_string(i.bytes) + " bytes";
}

bool mentions(const std::vector<std::string>& lines, const std::string& text) {
  return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return l.find(text) != std::string::npos; });
}

TEST(ArchiveInstall, FindsItemsWrappedInLayoutsLooseAndSeveral) {
  const std::string inf = infoText("Harbor Run");
  struct Case {
    const char* what;
    std::vector<ZipEntry> entries;
    std::vector<std::string> items;
    std::vector<std::string> leftOut;
  } cases[] = {
      {"wrapped",
       {{"Harbor v2/", "", false, 040755}, {"Harbor v2/Harbor/Harbor.inf", inf}, {"Harbor v2/Harbor/Harbor.w", "wwww"},
        {"Harbor v2/readme.txt", "read me"}},
       {"level Harbor 'Harbor Run' at 'Harbor v2/Harbor' 2 files " + std::to_string(inf.size() + 4) + " bytes"},
       {"Harbor v2/readme.txt: it is not part of a level or car"}},
      {"layout with a preview, backslashes and letter case",
       {{"levels\\Quarry\\QUARRY.INF", infoText("Quarry")}, {"levels\\Quarry\\sub\\x.bmq", "12"},
        {"gfx/quarry.bmp", "BM"}, {"cars/Bolt/PARAMETERS.TXT", carText("Bolt RS")}, {"cars/Bolt/bolt.bmp", "b"}},
       {"car Bolt 'Bolt RS' at 'cars/Bolt' 2 files " + std::to_string(carText("Bolt RS").size() + 1) + " bytes",
        "level QUARRY 'Quarry' at 'levels/Quarry' 3 files " + std::to_string(infoText("Quarry").size() + 4) + " bytes"},
       {}},
      {"loose files at the top",
       {{"Loose.inf", infoText("Loose")}, {"Loose.w", "w"}, {"readme.txt", "r"}, {"extra/notes.txt", "n"}},
       {"level Loose 'Loose' at '' 3 files " + std::to_string(infoText("Loose").size() + 2) + " bytes"},
       {"extra/notes.txt: it is not part of a level or car"}},
      {"several, nested, unmarked and mismatched",
       {{"A/A.inf", infoText("A")}, {"A/car/parameters.txt", carText("inner")}, {"B/B.inf", "no marker"},
        {"C/other.inf", infoText("C")}, {"pack/D/d.inf", infoText("D")}, {"pack2/D/D.inf", infoText("D2")},
        {"Z/parameters.txt", carText("Zed")}},
       {"car Z 'Zed' at 'Z' 1 files " + std::to_string(carText("Zed").size()) + " bytes",
        "level A 'A' at 'A' 2 files " + std::to_string(infoText("A").size() + carText("inner").size()) + " bytes",
        "level d 'D' at 'pack/D' 1 files " + std::to_string(infoText("D").size()) + " bytes"},
       {"B/B.inf: it is not part", "C/other.inf: it is not part", "pack2/D: another level named D comes first"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Downloads s;
    const ArchiveContents contents = ReadArchiveContents(s.zip("a.zip", c.entries));
    std::vector<std::string> items;
    for (const ArchiveItem& i : contents.items) items.push_back(describe(i));
    std::sort(items.begin(), items.end());
    EXPECT_EQ(items, c.items);
    for (const std::string& l : c.leftOut) EXPECT_TRUE(mentions(contents.leftOut, l)) << l;
    if (c.leftOut.empty()) EXPECT_TRUE(contents.leftOut.empty()) << contents.leftOut.front();
  }
}

TEST(ArchiveInstall, InstallsByteExactIntoBothPlacesWithPreviews) {
  std::string big(300000, '\0');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>((i * 131) ^ (i >> 7));
  for (InstallPlace place : {InstallPlace::Installed, InstallPlace::Uninstalled}) {
    const bool installed = place == InstallPlace::Installed;
    SCOPED_TRACE(installed ? "installed" : "uninstalled");
    Downloads s;
    writeFile(s.game + "/gfx/Taken.bmp", "old preview");
    const std::string zip = s.zip("pack.zip", {{"pack/levels/Canal/Canal.inf", infoText("Canal")},
                                                {"pack/levels/Canal/models/big.bin", big},
                                                {"pack/levels/Canal/empty/", "", false, 040755},
                                                {"pack/levels/Taken/Taken.inf", infoText("Taken")},
                                                {"pack/gfx/CANAL.bmp", "new preview"},
                                                {"pack/gfx/taken.bmp", "other preview"},
                                                {"pack/readme.txt", "not installed"}});
    // A car from a 7z.
    writeFile(s.tmp / "src/Comet/parameters.txt", carText("Comet"));
    writeFile(s.tmp / "src/Comet/comet.bmp", big.substr(1000));
    test::makeArchiveOfTree(s.downloads + "/car.7z", s.tmp / "src", "7zip");

    const ArchiveInstallResult r = InstallFromArchive(zip, s.game, {}, place, WhenTaken::Skip);
    EXPECT_EQ(r.installed, (std::vector<std::string>{"Canal", "Taken"}));
    const std::string levels = s.game + (installed ? "/levels/" : "/un_levels/");
    EXPECT_EQ(readFile(levels + "Canal/models/big.bin"), big);
    EXPECT_EQ(readFile(levels + "Canal/Canal.inf"), infoText("Canal"));
    EXPECT_TRUE(fs::is_directory(levels + "Canal/empty"));
    EXPECT_EQ(readFile(s.game + "/gfx/Canal.bmp"), "new preview");
    EXPECT_EQ(readFile(s.game + "/gfx/Taken.bmp"), "old preview");  // a preview there stays
    EXPECT_EQ(test::namesIn(s.game + "/gfx").count("taken.bmp"), 0u);  // not beside it in another case
    EXPECT_FALSE(fs::exists(levels + "readme.txt"));

    TransferProgress progress;
    const ArchiveInstallResult car =
        InstallFromArchive(s.downloads + "/car.7z", s.game, {"Comet"}, place, WhenTaken::Skip, &progress);
    EXPECT_EQ(car.installed, std::vector<std::string>{"Comet"});
    const std::string cars = s.game + (installed ? "/cars/" : "/garage/");
    EXPECT_EQ(readFile(cars + "Comet/comet.bmp"), big.substr(1000));
    EXPECT_EQ(progress.bytes.load(), big.size() - 1000 + carText("Comet").size());
    // No staging folder or file is left anywhere.
    for (const auto& [path, kind] : treeSnapshot(s.game)) EXPECT_EQ(path.find(".pitkit"), std::string::npos) << path;
  }
}

TEST(ArchiveInstall, LeavesOutEveryUnsafeEntryAndWritesNothingOutsideTheGame) {
  Downloads s;
  const struct {
    ZipEntry entry;
    const char* reason;
  } unsafe[] = {
      {{"../escape.txt", "x"}, "'..' step"},
      {{"Safe/../../escape2.txt", "x"}, "'..' step"},
      {{"Safe\\..\\..\\escape3.txt", "x"}, "'..' step"},
      {{"/tmp/absolute.txt", "x"}, "absolute"},
      {{"\\absolute2.txt", "x"}, "absolute"},
      {{"C:/drive.txt", "x"}, "drive"},
      {{"c:drive2.txt", "x"}, "drive"},
      {{"Safe//empty.txt", "x"}, "empty part"},
      {{"Safe/" + std::string(300, 'n') + ".txt", "x"}, "longer than 255"},
      {{std::string("Safe/nul\0../../x.txt", 20), "x"}, "NUL"},
      {{"Safe/link", "/etc/passwd", false, 0120777}, "symbolic link"},
      {{"Safe/up", "../../../outside", false, 0120777}, "symbolic link"},
      {{"Safe/device", "", false, 0020644}, "device"},
      {{"Safe/socket", "", false, 0140644}, "device"},
  };
  std::vector<ZipEntry> entries{{"Safe/Safe.inf", infoText("Safe")}};
  for (const auto& u : unsafe) entries.push_back(u.entry);
  entries.push_back({"Safe/data.txt", "kept"});
  const std::string zip = s.zip("unsafe.zip", entries);

  const ArchiveContents contents = ReadArchiveContents(zip);
  ASSERT_EQ(contents.items.size(), 1u);
  EXPECT_EQ(contents.items[0].files, 2u);
  EXPECT_EQ(contents.leftOut.size(), std::size(unsafe));
  for (std::size_t i = 0; i < std::size(unsafe) && i < contents.leftOut.size(); ++i)
    EXPECT_NE(contents.leftOut[i].find(unsafe[i].reason), std::string::npos) << contents.leftOut[i];

  const auto outsideBefore = treeSnapshot(s.tmp.path());
  const ArchiveInstallResult r = InstallFromArchive(zip, s.game, {}, InstallPlace::Installed, WhenTaken::Skip);
  EXPECT_EQ(r.installed, std::vector<std::string>{"Safe"});
  auto after = treeSnapshot(s.tmp.path());
  std::map<std::string, std::string> added;
  for (const auto& [path, content] : after)
    if (!outsideBefore.count(path)) added[path] = content;
  const std::map<std::string, std::string> expected{{"game/levels/Safe", "dir"},
                                                    {"game/levels/Safe/Safe.inf", infoText("Safe")},
                                                    {"game/levels/Safe/data.txt", "kept"}};
  EXPECT_EQ(added, expected);
  EXPECT_FALSE(fs::exists("/tmp/absolute.txt"));
}

TEST(ArchiveInstall, TakenNamesAreSkippedOrReplacedWholeIgnoringCase) {
  PITKIT_LINUX_ONLY("a replaced item goes to the trash; Wine offers no recycle bin");
  for (WhenTaken when : {WhenTaken::Skip, WhenTaken::Replace}) {
    for (const char* oldName : {"Marsh", "MARSH"}) {
      SCOPED_TRACE(std::string(when == WhenTaken::Skip ? "skip " : "replace ") + oldName);
      Downloads s;
      writeFile(s.game + "/levels/" + oldName + "/" + oldName + ".inf", infoText("Old"));
      writeFile(s.game + "/levels/" + oldName + "/old-only.txt", "old");
      const std::string zip = s.zip("m.zip", {{"Marsh/Marsh.inf", infoText("New")}, {"Spire/Spire.inf", infoText("S")}});
      const auto before = treeSnapshot(s.game + "/levels");
      const ArchiveInstallResult r = InstallFromArchive(zip, s.game, {}, InstallPlace::Installed, when);
      if (when == WhenTaken::Skip) {
        EXPECT_EQ(r.skipped, std::vector<std::string>{"Marsh"});
        EXPECT_EQ(r.installed, std::vector<std::string>{"Spire"});
        auto after = treeSnapshot(s.game + "/levels");
        after.erase("Spire");
        after.erase("Spire/Spire.inf");
        EXPECT_EQ(after, before);
      } else {
        EXPECT_TRUE(r.skipped.empty());
        EXPECT_EQ(r.installed, (std::vector<std::string>{"Marsh", "Spire"}));
        const std::map<std::string, std::string> expected{{"Marsh", "dir"},
                                                          {"Marsh/Marsh.inf", infoText("New")},
                                                          {"Spire", "dir"},
                                                          {"Spire/Spire.inf", infoText("S")}};
        EXPECT_EQ(treeSnapshot(s.game + "/levels"), expected);  // the old spelling and its staging copy are gone
        // Where each item went and where the one it replaced lies in the trash, for the history.
        ASSERT_EQ(r.placed.size(), 2u);
        EXPECT_EQ(r.placed[0].path, s.game + "/levels/Marsh");
        EXPECT_TRUE(r.placed[0].replaced);
        EXPECT_EQ(readFile(r.placed[0].replacedTo + "/old-only.txt"), "old");
        EXPECT_EQ(r.placed[1].path + "|" + r.placed[1].source + "|" + r.placed[1].replacedTo,
                  s.game + "/levels/Spire|Spire|");
      }
    }
  }
  // Per-item choice: only the names asked for are replaced.
  Downloads s;
  writeFile(s.game + "/cars/Tusk/parameters.txt", carText("Old"));
  writeFile(s.game + "/cars/Quill/parameters.txt", carText("Old"));
  const std::string zip = s.zip("c.zip", {{"Tusk/parameters.txt", carText("T")}, {"Quill/parameters.txt", carText("Q")}});
  ArchiveInstallRequest request;
  request.replace = {"Quill"};
  const ArchiveInstallResult r = InstallFromArchive(zip, s.game, request);
  EXPECT_EQ(r.skipped, std::vector<std::string>{"Tusk"});
  EXPECT_EQ(readFile(s.game + "/cars/Tusk/parameters.txt"), carText("Old"));
  EXPECT_EQ(readFile(s.game + "/cars/Quill/parameters.txt"), carText("Q"));
}

TEST(ArchiveInstall, UsesTheGamesFoldersInAnyCaseAndSpellsLevelsAsTheirInfoFiles) {
  // The game has only Levels: the missing folders are made in the documented lower case.
  Downloads s({"Levels"});
  const std::string zip = s.zip("pack.zip", {{"pack/MyTrack/MYTRACK.INF", infoText("Mine")}, {"pack/gfx/mytrack.bmp", "BM"},
                                              {"pack/Bolt/parameters.txt", carText("Bolt")}});
  const ArchiveContents contents = ReadArchiveContents(zip);
  ASSERT_EQ(contents.items.size(), 2u);
  EXPECT_EQ(contents.items[0].name + " from " + contents.items[0].renamedFrom, "MYTRACK from MyTrack");
  EXPECT_EQ(contents.items[1].renamedFrom, "");
  EXPECT_EQ(InstallFromArchive(zip, s.game, {}, InstallPlace::Uninstalled, WhenTaken::Skip).installed,
            (std::vector<std::string>{"MYTRACK", "Bolt"}));
  EXPECT_EQ(test::namesIn(s.game), (std::set<std::string>{"Levels", "garage", "gfx", "un_levels"}));
  EXPECT_EQ(readFile(s.game + "/un_levels/MYTRACK/MYTRACK.INF"), infoText("Mine"));
  EXPECT_EQ(readFile(s.game + "/garage/Bolt/parameters.txt"), carText("Bolt"));
  EXPECT_EQ(readFile(s.game + "/gfx/MYTRACK.bmp"), "BM");
}

TEST(ArchiveInstall, ANameTakenInEitherPlaceIsSkippedOrReplacedWhereItIs) {
  PITKIT_LINUX_ONLY("a replaced item goes to the trash; Wine offers no recycle bin");
  const struct {
    std::string old;  // the taken folder, below the game
    InstallPlace place;
    WhenTaken when;
    bool elsewhere;  // the new one goes to the other place, where the old one is
  } cases[] = {
      {"levels/desert", InstallPlace::Uninstalled, WhenTaken::Skip, false},
      {"levels/desert", InstallPlace::Uninstalled, WhenTaken::Replace, true},
      {"un_levels/DESERT", InstallPlace::Installed, WhenTaken::Replace, true},
      {"un_levels/Desert", InstallPlace::Uninstalled, WhenTaken::Replace, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.old + (c.when == WhenTaken::Skip ? " skip" : " replace"));
    Downloads s;
    writeFile(s.game + "/" + c.old + "/notes.txt", "the player's notes");
    const std::string zip = s.zip("d.zip", {{"desert/desert.inf", infoText("New")}});
    const auto before = treeSnapshot(s.game);
    const ArchiveInstallResult r = InstallFromArchive(zip, s.game, {}, c.place, c.when);
    const std::vector<std::string> desert{"desert"}, none;
    EXPECT_EQ(r.skipped, c.when == WhenTaken::Skip ? desert : none);
    EXPECT_EQ(r.trashed, c.when == WhenTaken::Skip ? none : desert);
    EXPECT_EQ(r.installedElsewhere, c.elsewhere ? desert : none);
    if (c.when == WhenTaken::Skip) {
      EXPECT_EQ(treeSnapshot(s.game), before);
      continue;
    }
    // Only the old folder's place holds the name; the old folder is whole in the trash.
    const bool inLevels = c.old.rfind("levels/", 0) == 0;
    EXPECT_EQ(readFile(s.game + (inLevels ? "/levels" : "/un_levels") + "/desert/desert.inf"), infoText("New"));
    EXPECT_TRUE(test::namesIn(s.game + (inLevels ? "/un_levels" : "/levels")).empty());
    const std::string name = extractFileName(c.old);
    EXPECT_EQ(readFile(s.home.trash() + "/files/" + name + "/notes.txt"), "the player's notes");
    EXPECT_NE(readFile(s.home.trash() + "/info/" + name + ".trashinfo").find("\nPath=" + test::trashRecordOf(s.game + "/" + c.old) + "\n"),
              std::string::npos);
  }
}

TEST(ArchiveInstall, AReplaceThatCannotFinishLeavesTheGameAndTheTrashAsTheyWere) {
  PITKIT_LINUX_ONLY("the freedesktop.org trash and a file-size limit in a forked child");
  // The first old folder goes to the trash; the second's info file, longer by its path, passes
  // the file-size limit, so the install fails after one item is in the trash.
  Downloads s;
  const std::string longName = "B" + std::string(60, 'b');
  for (const std::string& name : {std::string("A"), longName}) {
    writeFile(s.game + "/levels/" + name + "/" + name + ".inf", "Torvane .INF file structure");
    writeFile(s.game + "/levels/" + name + "/notes.txt", "old");
  }
  const std::string zip = s.zip("ab.zip", {{"A/A.inf", "Torvane .INF file structure"},
                                            {longName + "/" + longName + ".inf", "Torvane .INF file structure"}});
  const auto before = treeSnapshot(s.game);
  const long long limit = static_cast<long long>(s.game.size()) + 110;
  const test::ChildOutcome outcome = test::runInChild(test::withFileSizeLimit(limit), [&]() -> std::string {
    try {
      InstallFromArchive(zip, s.game, {}, InstallPlace::Installed, WhenTaken::Replace);
      return "installed";
    } catch (const EOSError& e) {
      return std::string(e.what()).find("trash") != std::string::npos ? "" : e.what();
    }
  });
  EXPECT_EQ(outcome.exitCode, 0) << outcome;
  EXPECT_EQ(treeSnapshot(s.game), before);
  EXPECT_TRUE(test::namesIn(s.home.trash() + "/files").empty());
  EXPECT_TRUE(test::namesIn(s.home.trash() + "/info").empty());
}

TEST(ArchiveInstall, WithoutATrashReplaceDeletesOnlyWhenAllowed) {
  PITKIT_LINUX_ONLY("a tmpfs mount and the freedesktop.org trash");
  TempDir tmp;
  test::TrashHome home(tmp / "data");
  const std::string top = tmp / "disk";
  test::makeDirs(top);
  const test::Mounted disk("pitkit-test", top, "tmpfs", 0, "size=8m");
  if (!disk.ok) GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
  // The disk's own trash cannot be made (a file holds its name) and the home trash is elsewhere.
  writeFile(top + "/.Trash-" + std::to_string(::geteuid()), "");
  const std::string game = top + "/game";
  writeFile(game + "/levels/Marsh/Marsh.inf", infoText("Old"));
  const std::string zip = tmp / "m.zip";
  makeZip(zip, {{"Marsh/Marsh.inf", infoText("New")}});
  const auto before = treeSnapshot(game);
  for (const bool allowed : {false, true}) {
    SCOPED_TRACE(allowed ? "allowed" : "not allowed");
    ArchiveInstallRequest request;
    request.whenTaken = WhenTaken::Replace;
    request.deleteWithoutTrash = allowed;
    if (!allowed) {
      EXPECT_THROW(InstallFromArchive(zip, game, request), ETrashUnavailable);
      EXPECT_EQ(treeSnapshot(game), before);
      continue;
    }
    const ArchiveInstallResult r = InstallFromArchive(zip, game, request);
    EXPECT_EQ(r.deleted, std::vector<std::string>{"Marsh"});
    EXPECT_EQ(treeSnapshot(game + "/levels"), (std::map<std::string, std::string>{{"Marsh", "dir"}, {"Marsh/Marsh.inf", infoText("New")}}));
  }
  EXPECT_FALSE(fs::exists(home.trash()));
}

TEST(ArchiveInstall, BrokenJunkAndEncryptedArchivesLeaveTheGameAsItWas) {
  Downloads s;
  writeFile(s.game + "/levels/Keep/Keep.inf", infoText("Keep"));
  std::string noise(5000, '\0');
  for (std::size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>((i * 2654435761u) >> 13);
  const std::string good = s.zip("good.zip", {{"Lvl/Lvl.inf", infoText("L")}, {"Lvl/noise.bin", noise + noise + noise}});
  const std::string whole = readFile(good);
  writeFile(s.downloads + "/truncated.zip", whole.substr(0, whole.size() * 2 / 3));
  std::string corrupt = whole;
  corrupt[whole.find("Lvl/noise.bin") + 40] ^= 0x55;  // inside the compressed data
  writeFile(s.downloads + "/corrupt.zip", corrupt);
  writeFile(s.downloads + "/junk.zip", noise);
  writeFile(s.downloads + "/empty.7z", "");
  writeFile(s.tmp / "src/Lvl/Lvl.inf", infoText("L"));
  test::makeArchiveOfTree(s.downloads + "/locked.zip", s.tmp / "src", "zip", "zip:encryption=zipcrypt", "secret");

  const struct {
    const char* file;
    const char* password;
    const char* message;
    bool asksPassword;
  } cases[] = {
      {"truncated.zip", "", "damaged", false}, {"corrupt.zip", "", "damaged", false},
      {"junk.zip", "", "not a zip, 7z or rar archive", false}, {"empty.7z", "", "not a zip, 7z or rar", false},
      {"missing.rar", "", "Cannot open", false},  {"locked.zip", "", "password", true},
      {"locked.zip", "wrong", "password", true},
  };
  const auto before = treeSnapshot(s.game);
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.file) + " '" + c.password + "'");
    ArchiveInstallRequest request;
    request.password = c.password;
    try {
      InstallFromArchive(s.downloads + "/" + c.file, s.game, request);
      ADD_FAILURE() << "installed";
    } catch (const Exception& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
      EXPECT_EQ(dynamic_cast<const EArchivePassword*>(&e) != nullptr, c.asksPassword) << e.what();
    }
    EXPECT_EQ(treeSnapshot(s.game), before);
  }
  // The right password opens it; a cancel before the end leaves nothing.
  ArchiveInstallRequest request;
  request.password = "secret";
  TransferProgress cancelled;
  cancelled.cancelRequested = true;
  EXPECT_THROW(InstallFromArchive(s.downloads + "/locked.zip", s.game, request, &cancelled), ETransferCancelled);
  EXPECT_EQ(treeSnapshot(s.game), before);
  EXPECT_EQ(InstallFromArchive(s.downloads + "/locked.zip", s.game, request).installed, std::vector<std::string>{"Lvl"});
  EXPECT_EQ(readFile(s.game + "/levels/Lvl/Lvl.inf"), infoText("L"));
}

TEST(ArchiveInstall, OldWindowsNamesAreReadAsCodePage437AndUtf8IsKept) {
  Downloads s;
  const std::string zip = s.zip("names.zip", {
      {"Caf\x82/Caf\x82.inf", infoText("Caf\xE9")},                        // CP437 é, no flag
      {"Caf\x82/\x84rger.txt", "cp437"},                                   // CP437 ä
      {"\xC3\x9C" "ber/\xC3\x9C" "ber.inf", infoText("U")},                 // UTF-8, no flag
      {"Stra\xC3\x9F" "e/Stra\xC3\x9F" "e.inf", infoText("S"), true},       // UTF-8 with the flag
  });
  const ArchiveContents contents = ReadArchiveContents(zip);
  std::vector<std::string> names;
  for (const ArchiveItem& i : contents.items) names.push_back(i.name);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"Caf\xC3\xA9", "Stra\xC3\x9F" "e", "\xC3\x9C" "ber"}));
  EXPECT_EQ(contents.items[0].displayName, "Caf\xC3\xA9");  // the info file's own text is Windows-1252
  InstallFromArchive(zip, s.game, {}, InstallPlace::Uninstalled, WhenTaken::Skip);
  EXPECT_EQ(readFile(s.game + "/un_levels/Caf\xC3\xA9/\xC3\xA4rger.txt"), "cp437");
  EXPECT_TRUE(fileExists(s.game + "/un_levels/\xC3\x9C" "ber/\xC3\x9C" "ber.inf"));
  EXPECT_TRUE(fileExists(s.game + "/un_levels/Stra\xC3\x9F" "e/Stra\xC3\x9F" "e.inf"));
}

TEST(ArchiveInstall, TooBigForTheDiskIsRefusedBeforeWriting) {
  PITKIT_LINUX_ONLY("a small tmpfs mount");
  TempDir tmp;
  const std::string mountPoint = tmp / "small";
  test::makeDirs(mountPoint);
  const test::Mounted disk("pitkit-test", mountPoint, "tmpfs", 0, "size=32m");
  if (!disk.ok) GTEST_SKIP() << "cannot mount a 32 MB tmpfs here: " << std::strerror(errno);
  const std::string game = mountPoint + "/game";
  for (const char* sub : {"levels", "gfx"}) test::makeDirs(game + "/" + sub);
  const std::string zip = tmp / "big.zip";
  makeZip(zip, {{"Big/Big.inf", infoText("Big")}, {"Big/a.bin", "", false, 0100644, 20u << 20},
                {"Big/b.bin", "", false, 0100644, 20u << 20}});
  const auto before = treeSnapshot(game);
  try {
    InstallFromArchive(zip, game, {}, InstallPlace::Installed, WhenTaken::Skip);
    ADD_FAILURE() << "installed";
  } catch (const Exception& e) {
    EXPECT_NE(std::string(e.what()).find("not enough space"), std::string::npos) << e.what();
  }
  EXPECT_EQ(treeSnapshot(game), before);
}

TEST(ArchiveInstall, AnInstallKilledHalfWayLeavesOnlyWhatTheSweepRemoves) {
  PITKIT_LINUX_ONLY("a forked child killed by the file-size limit");
  Downloads s;
  const std::string zip = s.zip("big.zip", {{"Big/Big.inf", infoText("Big")}, {"Big/a.bin", "", false, 0100644, 1u << 20}});
  const auto before = treeSnapshot(s.game);
  // A write past the file-size limit kills the process, as a crash would.
  bool killed = false;
  const int child = test::crashAtFileSize(
      65536, [&] { InstallFromArchive(zip, s.game, {}, InstallPlace::Installed, WhenTaken::Skip); }, &killed);
  ASSERT_GT(child, 0);
  ASSERT_TRUE(killed);
  std::vector<std::string> levels;
  for (const auto& e : fs::directory_iterator(s.game + "/levels")) levels.push_back(e.path().filename().string());
  ASSERT_EQ(levels.size(), 1u);
  EXPECT_EQ(levels[0].rfind(".pitkit-partial-copy-" + std::to_string(child) + "-", 0), 0u) << levels[0];
  EXPECT_EQ(removeLeftoverCopies(s.game + "/levels"), 1);
  EXPECT_EQ(treeSnapshot(s.game), before);
}

TEST(ArchiveRead, PipesGarbageNamelessItemsAndHugeSizesAreRefusedWithTheirReason) {
  PITKIT_LINUX_ONLY("a FIFO, and archives written by python3");
  Downloads s;
  ASSERT_TRUE(test::makeFifo(s.downloads + "/pipe.zip", 0600));
  writeFile(s.downloads + "/garbage.rar", std::string("Rar!\x1A\x07\x00", 7) + std::string(5000, '\x5A'));
  writeFile(s.downloads + "/garbage5.rar", std::string("Rar!\x1A\x07\x01\x00", 8) + std::string(5000, '\x5A'));
  s.zip("nameless.zip", {{".inf", infoText("Nobody")}, {"notes.txt", "n"}, {"Fen/Fen.inf", infoText("F")}});
  // Two entries that each declare 2^63-1 bytes: their sum overflows.
  test::makeRawZip(s.downloads + "/huge.zip", "inf = bytes.fromhex('" + test::hex(infoText("Big")) +
                                                  "')\n"
                                                  "entries.append((b'Big/Big.inf', deflated(inf), zlib.crc32(inf), len(inf)))\n"
                                                  "for n in (b'a', b'b'):\n"
                                                  "    entries.append((b'Big/' + n + b'.bin', deflated(b''), 0, 2**63 - 1))\n");
  const struct {
    const char* file;
    bool install;
    const char* error;    // the error's text, or nullptr for none
    const char* leftOut;  // a reason the contents give, or nullptr
  } cases[] = {
      {"pipe.zip", false, "pipe.zip: it is not a file", nullptr},
      {"garbage.rar", false, "the archive is damaged", nullptr},
      {"garbage5.rar", false, "the archive is damaged", nullptr},
      {"nameless.zip", false, nullptr, ".inf: a level needs a name"},
      {"huge.zip", true, "There is not enough space to install from huge.zip", nullptr},
  };
  const auto before = treeSnapshot(s.game);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    // In a child that a read waiting on the pipe cannot hold for long.
    const test::ChildOutcome outcome = test::runInChild({}, [&]() -> std::string {
      test::alarmAfter(20);
      try {
        if (c.install) InstallFromArchive(s.downloads + "/" + c.file, s.game, {}, InstallPlace::Installed, WhenTaken::Skip);
        const ArchiveContents contents = c.install ? ArchiveContents{} : ReadArchiveContents(s.downloads + "/" + c.file);
        if (c.error != nullptr) return "no error";
        std::string names;
        for (const ArchiveItem& i : contents.items) names += i.name + ";";
        if (names != "Fen;") return "items " + names;
        return mentions(contents.leftOut, c.leftOut) ? "" : "no reason given";
      } catch (const Exception& e) {
        return c.error != nullptr && std::string(e.what()).find(c.error) != std::string::npos ? "" : e.what();
      }
    });
    EXPECT_TRUE(outcome.exited && outcome.exitCode == 0) << outcome;
    EXPECT_EQ(treeSnapshot(s.game), before);
  }
}

TEST(ArchiveRead, MemoryStaysFlatHoweverManyLargeInfoFiles) {
  PITKIT_LINUX_ONLY("a forked child with an address-space limit, and archives written by python3");
  // 3,000 levels whose info files are 512 KiB each, their name line last, so each is read whole.
  Downloads s;
  const std::string zip = s.downloads + "/wide.zip";
  test::makeRawZip(zip,
                   "text = b'; Torvane .INF file structure\\r\\n' + b'; padding\\r\\n' * 47000 + b\"NAME 'Wide'\\r\\n\"\n"
                   "comp, crc = deflated(text), zlib.crc32(text)\n"
                   "for i in range(3000):\n"
                   "    entries.append((('L%04d/L%04d.inf' % (i, i)).encode(), comp, crc, len(text)))\n");
  const test::ChildOutcome outcome = test::runInChild({}, [&]() -> std::string {
    // Held at once, the texts would take 1.5 GB: the child may not grow by half that.
    const unsigned long long pages = static_cast<unsigned long long>(test::residentPages());
    test::limitAddressSpace(pages * static_cast<unsigned long long>(test::pageSize()) + (768ull << 20));
    const long before = test::maxResidentKiB();
    const ArchiveContents contents = ReadArchiveContents(zip);
    const long after = test::maxResidentKiB();
    if (contents.items.size() != 3000 || contents.items.back().displayName != "Wide") return "the levels were not read";
    const long grownMiB = (after - before) / 1024;
    return grownMiB < 64 ? "" : "reading took " + std::to_string(grownMiB) + " MiB";
  });
  EXPECT_TRUE(outcome.exited && outcome.exitCode == 0) << outcome;
}

// The renames of an install as a file system without the exchange flag (NFS, some FUSE) or the
// no-replace flag (ntfs-3g, bindfs) does them; the process can stop dead before a rename, as in a
// crash, or another instance, whose process this one cannot see, sweep before every rename of a
// staging folder (under an ended process's id meanwhile, so that only its lock can keep it).
struct RenameFaults {
  static inline bool exchange = true, noReplace = true, sweep = false, inSweep = false;
  static inline int seen = 0, stopAt = 0, swept = 0;
  static inline std::set<std::string> renamedTo;  // the last two parts of each name renamed to
  static int call(int fromFd, const char* from, int toFd, const char* to, unsigned flags) {
    if (((flags & RENAME_EXCHANGE) != 0 && !exchange) || ((flags & RENAME_NOREPLACE) != 0 && !noReplace))
      return errno = EINVAL, -1;
    if (++seen == stopAt) ::_exit(9);
    const std::string target = to;
    renamedTo.insert(target.substr(target.rfind('/', target.rfind('/') - 1) + 1));
    // The staging entry renamed, or the staging folder it is renamed out of.
    std::string staging = from;
    if (extractFileName(staging).rfind(".pitkit-partial-copy-", 0) != 0) staging = staging.substr(0, staging.rfind('/'));
    if (sweep && !inSweep && extractFileName(staging).rfind(".pitkit-partial-copy-", 0) == 0) {
      inSweep = true;
      const std::string folder = extractFilePath(staging);
      const std::string alias = folder + ".pitkit-partial-copy-" + std::to_string(test::endedProcessId()) + "-sweptornot";
      ::rename(staging.c_str(), alias.c_str());
      swept += removeLeftoverCopies(folder);
      ::rename(alias.c_str(), staging.c_str());
      inSweep = false;
    }
    return ::renameat2(fromFd, from, toFd, to, flags);
  }
};

TEST(ArchiveCommit, NoRenameFaultLosesTheOldItemOrTheNewOne) {
  PITKIT_LINUX_ONLY("the rename flags of Linux, and a process stopped dead in a forked child");
  const struct {
    const char* fault;
    bool exchange, noReplace, sweep, stops;
  } cases[] = {
      {"no exchange flag, stopped before each rename in turn, then swept", false, true, false, true},
      {"neither flag", false, false, false, false},
      {"a sweep of another instance before each staging rename", true, true, true, false},
  };
  const std::map<std::string, std::string> oldItem{{"Marsh.inf", infoText("Old")}, {"old.txt", "old"}};
  const std::map<std::string, std::string> newItem{{"Marsh.inf", infoText("New")}};
  for (const auto& c : cases) {
    for (int stopAt = c.stops ? 1 : 0; stopAt < 20; ++stopAt) {
      SCOPED_TRACE(std::string(c.fault) + ", stop " + std::to_string(stopAt));
      Downloads s;
      writeFile(s.game + "/levels/Marsh/Marsh.inf", infoText("Old"));
      writeFile(s.game + "/levels/Marsh/old.txt", "old");
      const std::string zip = s.zip("m.zip", {{"Marsh/Marsh.inf", infoText("New")}, {"gfx/Marsh.bmp", "BM"}});
      const test::ChildOutcome outcome = test::runInChild({}, [&]() -> std::string {
        RenameFaults::exchange = c.exchange, RenameFaults::noReplace = c.noReplace, RenameFaults::sweep = c.sweep;
        RenameFaults::stopAt = stopAt;
        setRenameCall(&RenameFaults::call);
        const ArchiveInstallResult r = InstallFromArchive(zip, s.game, {}, InstallPlace::Installed, WhenTaken::Replace);
        if (RenameFaults::swept != 0) return "a live install's folder was swept";
        if (RenameFaults::renamedTo.count("levels/Marsh") == 0 || RenameFaults::renamedTo.count("gfx/Marsh.bmp") == 0)
          return "a rename went round the one function";
        return r.trashed == std::vector<std::string>{"Marsh"} ? "" : "not replaced";
      });
      removeLeftoverCopies(s.game + "/levels");
      std::string whole;
      for (const std::string& name : test::namesIn(s.game + "/levels")) {
        const auto item = treeSnapshot(s.game + "/levels/" + name);
        if (name == "Marsh" && item == newItem) whole += "new in place;";
        if (item == oldItem) whole += name == "Marsh" ? "old in place;" : "old set aside as " + name.substr(0, 18) + ";";
      }
      for (const std::string& name : test::namesIn(s.home.trash() + "/files"))
        if (treeSnapshot(s.home.trash() + "/files/" + name) == oldItem) whole += "old in the trash;";
      EXPECT_NE(whole, "") << "both levels are lost";
      if (outcome.exited && outcome.exitCode == 9 && stopAt < 19) continue;
      EXPECT_TRUE(outcome.exited && outcome.exitCode == 0) << outcome;
      EXPECT_EQ(whole, "new in place;old in the trash;");
      EXPECT_EQ(readFile(s.game + "/gfx/Marsh.bmp"), "BM");
      EXPECT_TRUE(!c.stops || stopAt > 3) << "fewer renames than a Replace without the exchange makes";
      break;
    }
  }
}

}  // namespace
}  // namespace pitkit
