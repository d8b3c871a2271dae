// The move across file systems when the source changes under it or the copy cannot be finished:
// nothing changed is deleted, every fault undoes the copy and names what failed; hard links, mounts,
// destinations inside the source, and a level deeper than any stack.
#include "platform/Posix.h"
#include <gtest/gtest.h>

#include <iostream>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <set>


#include "transfer/FolderTransfer.h"
#include "support/ChildProcess.h"
#include "support/DeepTree.h"
#include "support/ErrorOf.h"
#include "support/LinuxFileSystems.h"
#include "support/LinuxOnly.h"
#include "support/TempDir.h"

namespace pitkit {
namespace {

namespace fs = std::filesystem;
using test::namesIn;
using test::readFile;
using test::statOf;
using test::TempDir;
using test::writeFile;
using Names = std::set<std::string>;

// The error of a move or a copy, "" when it succeeded.
std::string moveError(const std::string& from, const std::string& to) {
  return test::errorOf([&] { MoveFolder(from, to, nullptr); });
}
std::string copyError(const std::string& from, const std::string& to) {
  return test::errorOf([&] { CopyFolder(from, to, nullptr); });
}

// The shared harness of this file: a level on the disk and an empty folder on another file system,
// and a hook run once, from inside the copy or just after its rename, to change the level.
struct Across {
  TempDir disk;
  std::string otherParent = test::otherFileSystemParent();
  std::unique_ptr<TempDir> shm = otherParent.empty() ? nullptr : std::make_unique<TempDir>(otherParent);
  std::string level = disk / "levels/full";

  static inline std::function<void(int in)> duringCopy;  // gets the source file being copied
  static inline std::function<void()> afterRename;

  Across() {
    writeFile(level + "/full.inf", "Torvane .INF file structure\r\n");
    writeFile(level + "/models/mesh.m", std::string(5000, 'm'));
    writeFile(level + "/models/deep/tex.bmp", std::string(3000, 't'));
    setCopyRangeCall(&copyRange);
    setFolderSyncCall(&syncFolder);
  }
  ~Across() {
    setCopyRangeCall(nullptr);
    setFolderSyncCall(nullptr);
    duringCopy = nullptr;
    afterRename = nullptr;
  }
  std::string other(const std::string& relative) const { return *shm / relative; }

  static ssize_t copyRange(int in, off_t* inOff, int out, off_t* outOff, std::size_t len, unsigned flags) {
    const ssize_t n = ::copy_file_range(in, inOff, out, outOff, len, flags);
    if (auto hook = std::exchange(duringCopy, nullptr)) hook(in);
    return n;
  }
  static int syncFolder(int fd) {
    if (auto hook = std::exchange(afterRename, nullptr)) hook();
    return ::fsync(fd);
  }
};

// The path below `level` of an open source file.
std::string relativeOf(int fd, const std::string& level) {
  const std::string path = test::descriptorPath(fd);
  return path.substr(test::realPath(level).size() + 1);
}

TEST(MoveAcross, AChangeWhileItIsCopiedKeepsTheSourceWholeAndLeavesNoCopy) {
  Across t;
  if (!t.shm) GTEST_SKIP() << "no second file system on this machine";
  // Each change gives the path it changed and what that path holds now.
  using Change = std::pair<std::string, std::string>;
  struct Case {
    const char* what;
    bool duringCopy;  // else just after the copy is renamed into place
    std::function<Change(int in)> change;
  };
  const std::string level = t.level;
  const std::vector<Case> cases = {
      {"a file added to a folder already listed", true,
       [&](int) {
         writeFile(level + "/added.txt", "new work");
         return Change{"added.txt", "new work"};
       }},
      {"a file rewritten at the same size after its bytes were copied", true,
       [&](int in) {
         const std::string rel = relativeOf(in, level);
         const std::string bytes(static_cast<std::size_t>(statOf(level + "/" + rel).st_size), 'N');
         std::fstream(level + "/" + rel, std::ios::in | std::ios::out | std::ios::binary)
             .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
         return Change{rel, bytes};
       }},
      {"a file added once the copy is in place", false,
       [&](int) {
         writeFile(level + "/models/deep/later.txt", "later");
         return Change{"models/deep/later.txt", "later"};
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Change changed;
    if (c.duringCopy) {
      Across::duringCopy = [&](int in) { changed = c.change(in); };
    } else {
      Across::afterRename = [&] { changed = c.change(-1); };
    }
    const std::string error = moveError(level, t.other("un_levels/full"));
    ASSERT_FALSE(changed.first.empty()) << "the change was never made";
    EXPECT_EQ(error,
              "Cannot move full: it changed while it was being copied (" + changed.first + "); nothing was deleted");
    // The change and everything else are still in the source; no copy and no new parent are left.
    EXPECT_EQ(readFile(level + "/" + changed.first), changed.second);
    EXPECT_EQ(namesIn(level + "/models/deep").count("tex.bmp"), 1u);
    EXPECT_TRUE(namesIn(t.shm->path()).empty());
  }
  // Unchanged, it moves, and again when moved back.
  EXPECT_EQ(moveError(level, t.other("un_levels/full")), "");
  EXPECT_FALSE(fs::exists(level));
  EXPECT_EQ(moveError(t.other("un_levels/full"), level), "");
  EXPECT_EQ(statOf(level + "/models/mesh.m").st_size, 5000);
}

// The removability check counts what the move then does: the totals are known before the copy
// starts, the current item is the file being copied, and at the end the counters meet the totals
// exactly, with a link, a file of two names and a sparse file in the level.
TEST(MoveAcross, CountsItsWorkBeforeItStartsAndNamesTheFileBeingCopied) {
  Across t;
  if (!t.shm) GTEST_SKIP() << "no second file system on this machine";
  fs::create_hard_link(t.level + "/models/mesh.m", t.level + "/mesh2.m");
  fs::create_symlink("full.inf", t.level + "/link.inf");
  writeFile(t.level + "/sparse.bin", "");
  fs::resize_file(t.level + "/sparse.bin", 1 << 20);
  TransferProgress progress;
  std::string copied, current;
  int percent = -1;
  Across::duringCopy = [&](int in) {
    copied = relativeOf(in, t.level);
    current = progress.currentItem();
    percent = transferPercent(progress);
  };
  MoveFolder(t.level, t.other("un_levels/full"), &progress);
  EXPECT_FALSE(copied.empty());
  EXPECT_EQ(current, copied);
  EXPECT_TRUE(percent >= 0 && percent < 100) << percent;
  // Eight entries and the folder, each copied and removed; a file of two names counts once, and a
  // hole as copied.
  EXPECT_EQ(progress.totalEntries.load(), 18u);
  EXPECT_EQ(progress.totalBytes.load(), 29u + 5000 + 3000 + (1u << 20));
  EXPECT_EQ(progress.entries.load(), progress.totalEntries.load());
  EXPECT_EQ(progress.bytes.load(), progress.totalBytes.load());
}

TEST(CopyRecord, TellsTheCopiedAndUnchangedEntriesFromAllOthers) {
  Across t;
  if (!t.shm) GTEST_SKIP() << "no second file system on this machine";
  CopyRecord record;
  copyFolderWith(t.level, t.other("copy"), nullptr, CopyOptions{false, true, &record});
  EXPECT_EQ(record.firstChange(t.level), std::nullopt);
  for (const char* rel : {"", "full.inf", "models", "models/deep", "models/deep/tex.bmp"})
    EXPECT_TRUE(record.unchanged(rel, statOf(t.level + (*rel ? "/" : "") + rel))) << rel;
  writeFile(t.level + "/models/new.txt", "n");
  EXPECT_FALSE(record.unchanged("models/new.txt", statOf(t.level + "/models/new.txt")));
  EXPECT_FALSE(record.unchanged("models/mesh.m", statOf(t.level + "/full.inf"))) << "another file's stat";
  EXPECT_FALSE(record.unchanged("models//mesh.m", statOf(t.level + "/models/mesh.m")));
  // A folder whose entries come and go is still the folder that was copied.
  EXPECT_TRUE(record.unchanged("models", statOf(t.level + "/models")));
  EXPECT_EQ(record.firstChange(t.level), "models/new.txt");
  fs::remove(t.level + "/models/deep/tex.bmp");
  EXPECT_EQ(record.firstChange(t.level), "models/new.txt") << "a folder's names are compared before its subfolders";
  fs::remove(t.level + "/models/new.txt");
  EXPECT_EQ(record.firstChange(t.level), "models") << "its names are back, but it was changed";
  writeFile(t.level + "/models/deep/tex.bmp", std::string(3000, 't'));
  EXPECT_FALSE(record.unchanged("models/deep/tex.bmp", statOf(t.level + "/models/deep/tex.bmp")));
}

TEST(MoveAcross, WhatCannotBeRemovedRefusesTheMoveAndTheOwnersReadOnlyFoldersGo) {
  Across t;
  if (!t.shm) GTEST_SKIP() << "no second file system on this machine";
  const Names levelNames = namesIn(t.level);

  // An immutable file: refused before anything is copied, with the file named.
  {
    const std::string stuck = t.level + "/models/mesh.m";
    const int fd = ::open(stuck.c_str(), O_RDONLY | O_CLOEXEC);
    const bool flagged = fd >= 0 && test::setFileFlags(fd, FS_IMMUTABLE_FL, true);
    if (flagged) {
      EXPECT_EQ(moveError(t.level, t.other("un_levels/full")),
                "Cannot delete " + stuck + " (it is marked immutable): Operation not permitted");
      EXPECT_TRUE(test::setFileFlags(fd, FS_IMMUTABLE_FL, false));
      EXPECT_EQ(namesIn(t.level), levelNames);
      EXPECT_TRUE(namesIn(t.shm->path()).empty()) << "a copy or its parents were made";
    } else {
      std::cout << "[ SKIPPED  ] immutable file: no such flag here\n";
    }
    if (fd >= 0) ::close(fd);
  }

  // The owner, an ordinary user, moves a level whose read-only folders hold folders.
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to switch to another user";
  ASSERT_EQ(test::giveTreeTo(t.disk.path(), test::kNobody), "");
  ASSERT_EQ(test::giveTreeTo(t.shm->path(), test::kNobody), "");
  for (const std::string sub : {"/models/deep", "/models", ""}) ASSERT_EQ(::chmod((t.level + sub).c_str(), 0555), 0);
  const test::ChildOutcome child = test::runInChild(
      test::asUnprivilegedUser(), [&] { return moveError(t.level, t.other("un_levels/full")); });
  EXPECT_TRUE(child.exited && child.exitCode == 0) << child;
  EXPECT_FALSE(fs::exists(t.level));
  EXPECT_EQ(readFile(t.other("un_levels/full/models/deep/tex.bmp")), std::string(3000, 't'));
}

TEST(MoveAcross, FilesLinkedToEachOtherStayLinked) {
  Across t;
  if (!t.shm) GTEST_SKIP() << "no second file system on this machine";
  fs::create_hard_link(t.level + "/full.inf", t.level + "/copy.inf");
  fs::create_hard_link(t.level + "/full.inf", t.level + "/models/deep/third.inf");
  fs::create_hard_link(t.level + "/models/deep/tex.bmp", t.level + "/tex.bmp");
  writeFile(t.disk / "outside.txt", "outside");
  fs::create_hard_link(t.disk / "outside.txt", t.level + "/outside.txt");
  EXPECT_EQ(moveError(t.level, t.other("un_levels/full")), "");
  const std::string moved = t.other("un_levels/full");
  const struct stat inf = statOf(moved + "/full.inf");
  EXPECT_EQ(inf.st_nlink, 3u);
  EXPECT_EQ(statOf(moved + "/copy.inf").st_ino, inf.st_ino);
  EXPECT_EQ(statOf(moved + "/models/deep/third.inf").st_ino, inf.st_ino);
  EXPECT_EQ(statOf(moved + "/tex.bmp").st_ino, statOf(moved + "/models/deep/tex.bmp").st_ino);
  EXPECT_EQ(statOf(moved + "/tex.bmp").st_nlink, 2u);
  // A file linked only to a name outside the level is a file of its own in the copy.
  EXPECT_EQ(statOf(moved + "/outside.txt").st_nlink, 1u);
  EXPECT_EQ(readFile(moved + "/outside.txt"), "outside");
  EXPECT_EQ(readFile(moved + "/models/deep/third.inf"), "Torvane .INF file structure\r\n");
  EXPECT_EQ(readFile(t.disk / "outside.txt"), "outside");
}

using test::Mounted;

TEST(MoveAcross, FaultsAfterTheCopyUndoItAndNameWhatFailed) {
  Across t;
  if (!t.shm) GTEST_SKIP() << "no second file system on this machine";
  const Names levelNames = namesIn(t.level);

  // The destination folder's flush fails after the rename: the copy goes again, the source stays.
  setFolderSyncCall([](int) {
    errno = EIO;
    return -1;
  });
  EXPECT_EQ(moveError(t.level, t.other("un_levels/made/full")),
            "Cannot copy to " + t.other("un_levels/made/full") + ": Input/output error");
  setFolderSyncCall(&Across::syncFolder);
  EXPECT_EQ(namesIn(t.level), levelNames);
  EXPECT_TRUE(namesIn(t.shm->path()).empty()) << "the copy or the parents made for it are left";

  // An extended attribute the disk cannot hold (tmpfs holds larger ones): named, not "disk full".
  writeFile(t.other("big/big.inf"), "big");
  const std::string value(10000, 'x');
  if (!test::setXattr(t.other("big/big.inf"), "user.big", value))
    GTEST_SKIP() << "this tmpfs takes no large extended attributes";
  EXPECT_EQ(moveError(t.other("big"), t.disk / "un_levels/big"),
            "Cannot copy extended attribute user.big of " + t.other("big/big.inf") + ": No space left on device");
  EXPECT_EQ(readFile(t.other("big/big.inf")), "big");
  EXPECT_EQ(namesIn(t.disk.path()), Names{"levels"});

  // A delete that fails once the copy is whole in place says so and what is left of the source.
  // A folder mounted on itself keeps its inode, so the source is unchanged, but it cannot go.
  const std::string models = t.level + "/models";
  std::unique_ptr<Mounted> bind;
  Across::afterRename = [&] { bind = std::make_unique<Mounted>(models.c_str(), models, nullptr, test::kBindMount); };
  const std::string error = moveError(t.level, t.other("un_levels/full"));
  if (!bind || !bind->ok) GTEST_SKIP() << "mounts are not allowed here";
  // The delete checks the whole source first and refuses before it removes anything.
  const std::string prefix = "Cannot move full: it was copied whole to " + t.other("un_levels/full") +
                             ", but its source could not be deleted (left in " + t.level + ": ";
  EXPECT_EQ(error.substr(0, prefix.size()), prefix);
  EXPECT_NE(error.find("models"), std::string::npos) << error;
  EXPECT_EQ(namesIn(t.level), levelNames);
  EXPECT_EQ(readFile(t.other("un_levels/full/models/deep/tex.bmp")), std::string(3000, 't'));
  EXPECT_EQ(readFile(t.other("un_levels/full/full.inf")), "Torvane .INF file structure\r\n");
}

TEST(CopyFolder, StaysInsideTheSourceFileSystemAndOutOfTheSourceItself) {
  Across t;
  if (!t.shm) GTEST_SKIP() << "no second file system on this machine";
  const Names levelNames = namesIn(t.level);
  // A destination reached through links into the source, from the other file system too.
  fs::create_symlink(t.level + "/models", t.other("into"));
  fs::create_symlink("levels/full/models/deep", t.disk / "deeplink");
  for (const std::string& to : {t.other("into/full"), t.other("into/new/parent/full"), t.disk / "deeplink/x"}) {
    SCOPED_TRACE(to);
    EXPECT_EQ(copyError(t.level, to), "Cannot copy " + t.level + " into itself");
    EXPECT_EQ(moveError(t.level, to), "Cannot move " + t.level + " into itself");
  }
  EXPECT_EQ(namesIn(t.level), levelNames);
  EXPECT_EQ(namesIn(t.level + "/models"), (Names{"deep", "mesh.m"}));
  // A link to the source that holds the destination's name is only a taken name: the copy goes
  // beside it.
  fs::create_symlink(t.level, t.disk / "alias");
  EXPECT_EQ(copyError(t.level, t.disk / "alias"), "");
  EXPECT_EQ(namesIn(t.disk / "alias (2)"), levelNames);
  EXPECT_EQ(namesIn(t.level + "/models/deep"), Names{"tex.bmp"});

  // Another file system mounted inside the level, or a folder mounted on itself: refused, named.
  test::makeDirs(t.level + "/models/mnt");
  for (const bool bindToItself : {false, true}) {
    SCOPED_TRACE(bindToItself ? "bind" : "tmpfs");
    const std::string at = t.level + "/models/mnt";
    Mounted mount(bindToItself ? at.c_str() : "none", at, bindToItself ? nullptr : "tmpfs",
                  bindToItself ? test::kBindMount : 0);
    if (!mount.ok) GTEST_SKIP() << "mounts are not allowed here";
    writeFile(at + "/inside.txt", "on the mount");
    const std::string refused = "Cannot copy " + at + ": another file system is mounted there, and it is not copied";
    EXPECT_NE(moveError(t.level, t.other("un_levels/full")).find(at), std::string::npos);
    EXPECT_EQ(copyError(t.level, t.other("copy")), refused);
    EXPECT_EQ(namesIn(t.shm->path()), Names{"into"});
    EXPECT_EQ(readFile(at + "/inside.txt"), "on the mount");
  }
}

TEST(CreatedFolders, ATransferThatFailsWhileMakingParentsLeavesNone) {
  TempDir tmp;
  writeFile(tmp / "levels/full/full.inf", "inf");
  const std::string tooLong(300, 'n');
  EXPECT_EQ(copyError(tmp / "levels/full", tmp / ("made/for/" + tooLong + "/full")),
            "Cannot create " + (tmp / ("made/for/" + tooLong)) + ": File name too long");
  EXPECT_EQ(namesIn(tmp.path()), Names{"levels"});
}

// Deep trees: built and removed folder by folder with openat, as their paths exceed PATH_MAX.
// On Windows paths end at 32,767 characters and deep folders are slow to walk under Wine: a depth
// whose paths pass MAX_PATH stands in there.
constexpr int kDeep = test::kOnLinux ? 16000 : 200;

TEST(MoveAcross, ALevelDeeperThanAnyStackMovesOnASmallStackWithFlatMemory) {
  // Both sides on memory file systems where the test may mount one: a disk takes minutes to
  // remove 16,000 nested folders.
  TempDir disk;
  const std::string other = test::otherFileSystemParent();
  TempDir shm(other.empty() ? fs::temp_directory_path().string() : other);
  test::makeDirs(disk / "fast");
  const Mounted fast("none", disk / "fast", "tmpfs", 0);
  const std::string to = fast.ok ? disk / "fast" : disk.path();
  ASSERT_TRUE(test::makeDeepChain(shm / "levels/deep", kDeep, "bottom.inf"));
  const long before = test::peakMemoryKiB();

  // The whole move (check, copy, comparisons, delete) on a worker thread with a 256 KiB stack.
  std::string error = "not run";
  test::onSmallStack([&] { error = moveError(shm / "levels/deep", to + "/un_levels/deep"); });
  const long growth = test::peakMemoryKiB() - before;
  std::cout << "peak memory grew by " << growth << " KiB moving " << kDeep << " levels\n";

  EXPECT_EQ(error, "");
  EXPECT_FALSE(fs::exists(shm / "levels/deep")) << "the source goes once its copy is whole";
  EXPECT_LT(growth, 32 * 1024) << "KiB of peak memory for " << kDeep << " levels";
  EXPECT_EQ(test::removeDeepChain(to + "/un_levels/deep", "bottom.inf"), kDeep);
}

}  // namespace
}  // namespace pitkit
