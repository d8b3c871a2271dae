// Packing a level or car into a zip: round trips through the kit's own archive install, byte for
// byte, names in UTF-8 with the zip's flag, what is left out, which item a name finds, and that a
// cancel or a failure leaves no file behind and an older zip as it was.
#include <gtest/gtest.h>
#include "platform/Posix.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <random>
#include <thread>

#include "archive/ArchiveInstall.h"
#include "archive/ItemPack.h"
#include "archive/archive_support.h"
#include "support/ChildProcess.h"
#include "support/ErrorOf.h"
#include "support/GameFiles.h"
#include "support/LinuxFileSystems.h"
#include "support/LinuxOnly.h"
#include "support/TempDir.h"

namespace pitkit {
namespace {

using test::readFile;
using test::TempDir;
using test::treeSnapshot;
using test::writeFile;

std::string randomBytes(std::size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  return bytes;
}

// A game with a level and a car to pack, an empty game to install into, and a downloads folder.
struct PackGame {
  TempDir tmp;
  std::string game = tmp / "game", target = tmp / "target", downloads = tmp / "downloads";
  test::TrashHome home{tmp / "data"};
  PackGame() {
    for (const char* sub : {"levels", "un_levels", "cars", "garage", "gfx"}) {
      test::makeDirs(game + "/" + sub);
      test::makeDirs(target + "/" + sub);
    }
    test::makeDirs(downloads);
  }
  // The level levels/<name>: its info file, a file in a sub-folder, an empty file and folder, a
  // file of several read blocks, and an old modification time on one.
  void level(const std::string& name) const {
    const std::string folder = game + "/levels/" + name;
    test::writeLevelInfo(folder + "/" + name + ".inf", "Shown " + name);
    writeFile(folder + "/models/track part.w", std::string(70000, 'w') + "end");
    writeFile(folder + "/empty.txt", "");
    test::makeDirs(folder + "/sounds");
    writeFile(folder + "/terrain.bin", randomBytes(700000, 7));
    const struct timespec times[2] = {{0, UTIME_OMIT}, {1000000000, 0}};
    ::utimensat(AT_FDCWD, (folder + "/" + name + ".inf").c_str(), times, 0);
  }
  std::string zip(const std::string& name) const { return downloads + "/" + name; }
};

// Each entry of the zip as "<name> <utf-8 flag>", sorted.
std::vector<std::string> zipEntries(const std::string& zip) {
  const std::string command = "python3 -c 'import sys, zipfile\nfor i in zipfile.ZipFile(sys.argv[1]).infolist(): "
                              "print(i.filename, 1 if i.flag_bits & 0x800 else 0)' '" + zip + "'";
  std::vector<std::string> lines;
  std::FILE* out = ::popen(command.c_str(), "r");
  for (char line[4096]; out != nullptr && std::fgets(line, sizeof line, out) != nullptr;)
    lines.emplace_back(line, std::strlen(line) - 1);
  if (out != nullptr) ::pclose(out);
  std::sort(lines.begin(), lines.end());
  return lines;
}

void makeSocket(const std::string& path) {
  const int fd = test::makeUnixSocket(path);
  ASSERT_GE(fd, 0) << path;
  test::closeSocket(fd);
}

TEST(ItemPack, ALevelWithItsPreviewAndACarComeBackByteForByteThroughTheArchiveInstall) {
  PITKIT_LINUX_ONLY("a link and a Unix socket in the car, the zips checked by unzip");
  PackGame g;
  const std::string level = "Côte Nord 2";  // a space and a letter beyond ASCII
  g.level(level);
  test::writeFile(g.game + "/gfx/" + level + ".bmp", "BM preview bytes");
  test::writeFile(g.game + "/gfx/other.bmp", "BM another level's");
  test::writeCarParameters(g.game + "/cars/Red Fox", "Red Fox");
  writeFile(g.game + "/cars/Red Fox/caf\xE9.bmp", "a name written in Windows-1252");
  writeFile(g.game + "/cars/Red Fox/body.prm", randomBytes(300000, 3));
  // Neither a link nor a socket goes into the zip; both are named as left out.
  ASSERT_TRUE(test::makeSymlink("body.prm", g.game + "/cars/Red Fox/link.prm"));
  makeSocket(g.game + "/cars/Red Fox/socket");

  const PackResult levelResult =
      packItem(g.game, findItemToPack(g.game, ItemKind::Level, level), g.zip("level.zip"));
  const PackResult carResult = packItem(g.game, findItemToPack(g.game, ItemKind::Car, "red fox"), g.zip("car.zip"));
  EXPECT_EQ(levelResult.files, 5u);
  EXPECT_TRUE(levelResult.leftOut.empty());
  std::vector<std::string> leftOut = carResult.leftOut;
  std::sort(leftOut.begin(), leftOut.end());
  EXPECT_EQ(leftOut, (std::vector<std::string>{"link.prm: a link", "socket: not a regular file"}));

  // Laid out as the game folder, every name beyond ASCII flagged as UTF-8; unzip finds no fault.
  const std::string in = "levels/" + level + "/";
  EXPECT_EQ(zipEntries(g.zip("level.zip")),
            (std::vector<std::string>{"gfx/" + level + ".bmp 1", in + " 1", in + level + ".inf 1", in + "empty.txt 1",
                                      in + "models/ 1", in + "models/track part.w 1", in + "sounds/ 1",
                                      in + "terrain.bin 1"}));
  EXPECT_EQ(zipEntries(g.zip("car.zip")), (std::vector<std::string>{"cars/Red Fox/ 0", "cars/Red Fox/body.prm 0",
                                                                    "cars/Red Fox/café.bmp 1",
                                                                    "cars/Red Fox/parameters.txt 0"}));
  for (const char* zip : {"level.zip", "car.zip"}) EXPECT_EQ(test::run("unzip -tqq '" + g.zip(zip) + "'"), 0) << zip;

  // The kit's install puts back what was packed, byte for byte, with the old time kept.
  for (const char* zip : {"level.zip", "car.zip"})
    InstallFromArchive(g.zip(zip), g.target, {}, InstallPlace::Installed, WhenTaken::Skip);
  EXPECT_EQ(treeSnapshot(g.target + "/levels"), treeSnapshot(g.game + "/levels"));
  EXPECT_EQ(readFile(g.target + "/gfx/" + level + ".bmp"), "BM preview bytes");
  EXPECT_EQ(test::statOf(g.target + "/levels/" + level + "/" + level + ".inf").st_mtim.tv_sec, 1000000000);
  std::map<std::string, std::string> car = treeSnapshot(g.game + "/cars");
  car.erase("Red Fox/link.prm");
  car.erase("Red Fox/socket");
  car["Red Fox/café.bmp"] = car["Red Fox/caf\xE9.bmp"];
  car.erase("Red Fox/caf\xE9.bmp");
  EXPECT_EQ(treeSnapshot(g.target + "/cars"), car);
}

TEST(ItemPack, ANameFindsTheInstalledItemFirstExactSpellingFirstAndUninstalledOnesPackAsInstalled) {
  PackGame g;
  test::writeLevelInfo(g.game + "/levels/Dunes/Dunes.inf", "installed");
  test::writeLevelInfo(g.game + "/un_levels/dunes/dunes.inf", "uninstalled");
  test::writeLevelInfo(g.game + "/un_levels/Old Pier/Old Pier.inf", "only uninstalled");
  test::writeCarParameters(g.game + "/garage/Van", "Van");
  test::writeCarParameters(g.game + "/cars/VAN", "VAN");
  test::writeCarParameters(g.game + "/cars/van", "van");
  struct Case {
    ItemKind kind;
    const char* name;
    const char* folder;  // below the game; "" when none is found
    const char* packedAs;
  } cases[] = {
      {ItemKind::Level, "dunes", "levels/Dunes", "levels/Dunes"},  // installed before uninstalled
      {ItemKind::Level, "OLD PIER", "un_levels/Old Pier", "levels/Old Pier"},
      {ItemKind::Car, "van", "cars/van", "cars/van"},  // the exact spelling before another case
      {ItemKind::Car, "Van", "cars/VAN", "cars/VAN"},  // installed in another case before uninstalled
      {ItemKind::Car, "Dunes", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (*c.folder == '\0') {
      EXPECT_EQ(test::errorOf([&] { findItemToPack(g.game, c.kind, c.name); }),
                "No car named " + std::string(c.name) + " in " + g.game);
      continue;
    }
    // Where letter case is ignored (Windows) "cars/van" is the folder "cars/VAN" made first.
    const bool oneVan = !test::kOnLinux && std::string(c.folder) == "cars/van";
    const GameItem item = findItemToPack(g.game, c.kind, c.name);
    EXPECT_EQ(item.folder, g.game + "/" + (oneVan ? "cars/VAN" : c.folder));
    EXPECT_EQ(packedFolderName(item), oneVan ? "cars/VAN" : c.packedAs);
  }
  // An uninstalled level unpacks as an installed one.
  packItem(g.game, findItemToPack(g.game, ItemKind::Level, "Old Pier"), g.zip("pier.zip"));
  InstallFromArchive(g.zip("pier.zip"), g.target, {}, InstallPlace::Installed, WhenTaken::Skip);
  EXPECT_EQ(treeSnapshot(g.target + "/levels/Old Pier"), treeSnapshot(g.game + "/un_levels/Old Pier"));
}

TEST(ItemPack, ACancelOrAFailureLeavesNoFileAndAnOlderZipAsItWas) {
  PackGame g;
  g.level("Track");
  writeFile(g.game + "/levels/Track/big.bin", randomBytes(6 << 20, 11));
  const GameItem item = findItemToPack(g.game, ItemKind::Level, "Track");
  const std::string zip = g.zip("Track.zip");
  writeFile(zip, "an older zip");
  const auto leftAsItWas = [&] {
    return test::namesIn(g.downloads) == std::set<std::string>{"Track.zip"} && readFile(zip) == "an older zip";
  };

  // Cancelled in the middle of the big file: some of its bytes were packed already.
  TransferProgress progress;
  std::atomic<bool> stop{false};
  std::thread watcher([&] {
    while (!stop && progress.bytes < (1u << 20)) std::this_thread::yield();
    progress.cancelRequested = true;
  });
  EXPECT_THROW(packItem(g.game, item, zip, &progress), ETransferCancelled);
  stop = true;
  watcher.join();
  EXPECT_GT(progress.totalBytes, progress.bytes.load());
  EXPECT_TRUE(leftAsItWas());

  // The zip's own place refused before anything is written: inside the item, or a folder.
  test::makeDirs(g.downloads + "/folder.zip");
  EXPECT_EQ(test::errorOf([&] { packItem(g.game, item, g.game + "/levels/Track/models/in.zip"); }),
            "Cannot write " + g.game + "/levels/Track/models/in.zip: it would lie inside " + g.game +
                "/levels/Track, the folder being packed");
  EXPECT_EQ(test::errorOf([&] { packItem(g.game, item, g.downloads + "/folder.zip"); }),
            "Cannot write " + g.downloads + "/folder.zip: it is a folder");
  ::rmdir((g.downloads + "/folder.zip").c_str());
  // An info file lying in un_levels itself names no folder of its own to pack.
  test::writeLevelInfo(g.game + "/un_levels/Loose.inf", "loose");
  EXPECT_EQ(test::errorOf([&] { packItem(g.game, findItemToPack(g.game, ItemKind::Level, "Loose"), zip); }),
            "Cannot pack " + g.game + "/un_levels: it is the game's un_levels folder, not one level");
  EXPECT_EQ(test::namesIn(g.game + "/levels/Track/models"), std::set<std::string>{"track part.w"});

  // A disk that fills half-way, and a file the user may not read, named in the error.
  PITKIT_LINUX_ONLY("a file-size limit and another user in forked children");
  const test::ChildOutcome full = test::runInChild(test::withFileSizeLimit(1 << 20), [&]() -> std::string {
    const std::string error = test::errorOf([&] { packItem(g.game, item, zip); });
    return error == "Cannot write " + zip + ": File too large" ? "" : "the error was: " + error;
  });
  EXPECT_EQ(full.report, "") << full;
  EXPECT_TRUE(leftAsItWas());
  ASSERT_EQ(test::giveTreeTo(g.tmp.path(), test::kNobody), "");
  ::chmod((g.game + "/levels/Track/terrain.bin").c_str(), 0200);
  const test::ChildOutcome unreadable = test::runInChild(test::asUnprivilegedUser(), [&]() -> std::string {
    const std::string error = test::errorOf([&] { packItem(g.game, item, zip); });
    return error == "Cannot read " + g.game + "/levels/Track/terrain.bin: Permission denied" ? "" : error;
  });
  EXPECT_EQ(unreadable.report, "") << unreadable;
  EXPECT_TRUE(leftAsItWas());
}

}  // namespace
}  // namespace pitkit
