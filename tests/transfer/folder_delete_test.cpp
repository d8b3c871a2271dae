// Delete and the sweep of leftover copies: live copies stay locked, a tree that cannot go whole is
// refused before anything goes, the owner's read-only folders go, mounts are never entered, depth
// costs neither stack nor memory, and the delete's filter keeps what it refuses.
#include "platform/Posix.h"
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <iostream>
#include <optional>
#include <set>

#include "transfer/FileCopy.h"
#include "transfer/FolderMove.h"
#include "transfer/FolderTransfer.h"
#include "transfer/PartialCopyName.h"
#include "platform/Errors.h"
#include "platform/UniqueFd.h"
#include "support/ChildProcess.h"
#include "support/DeepTree.h"
#include "support/ErrorOf.h"
#include "support/HeldOpen.h"
#include "support/LinuxFileSystems.h"
#include "support/LinuxOnly.h"
#include "support/TempDir.h"

namespace pitkit {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::TempDir;
using test::writeFile;
using Names = std::set<std::string>;

// The message of the EOSError `action` raises ("" when it raises nothing).
std::string errorOf(const std::function<void()>& action) { return test::errorOf<EOSError>(action); }

// Sets or clears chattr flags through an open descriptor (so also after a rename); false where
// the file system refuses them.
bool setFlags(const UniqueFd& fd, int flags, bool set) { return test::setFileFlags(fd.get(), flags, set); }
UniqueFd openAny(const std::string& path) { return UniqueFd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)); }

// Tries the lock of every partial copy in the folder open as `probedFolder`, from inside a copy.
int probedFolder = -1, probeResult = -1;
ssize_t probingCopyRange(int in, off_t* inOff, int out, off_t* outOff, std::size_t len, unsigned flags) {
  for (const auto& e : fs::directory_iterator(test::descriptorPath(probedFolder)))
    if (partialCopyOwner(e.path().filename().string()) != 0)
      probeResult = ::flock(openAny(e.path().string()).get(), LOCK_EX | LOCK_NB) == 0 ? 0 : errno;
  return ::copy_file_range(in, inOff, out, outOff, len, flags);
}

TEST(LeftoverSweep, TakesOnlyUnlockedCopiesAndRenamesThemFirst) {
  PITKIT_LINUX_ONLY("another process's lock (fork), /proc and the immutable flag");
  TempDir tmp;
  const std::string folder = tmp / "un_levels";
  // A copy being built is locked while it is built.
  writeFile(tmp / "levels/track/track.inf", "x");
  test::makeDirs(folder);
  const UniqueFd parent(::open(folder.c_str(), O_RDONLY | O_DIRECTORY));
  probedFolder = parent.get();
  setCopyRangeCall(&probingCopyRange);
  CopyFolder(tmp / "levels/track", folder + "/track");
  setCopyRangeCall(nullptr);
  EXPECT_EQ(probeResult, EWOULDBLOCK);

  // Another process's copy, under a process id the sweep cannot see (another pid namespace).
  const std::string name = ".pitkit-partial-copy-" + std::to_string(test::endedProcessId()) + "-growing000";
  writeFile(folder + "/" + name + "/stuck.bin", "half");
  test::WaitingChild child([&] {
    static UniqueFd lock;  // held by the child until it is ended
    lock = openAny(folder + "/" + name);
    return ::flock(lock.get(), LOCK_EX | LOCK_NB) == 0 ? 'y' : 'n';
  });
  ASSERT_TRUE(child.started());
  EXPECT_EQ(child.verdict(), 'y');
  EXPECT_EQ(removeLeftoverCopies(folder), 0);
  EXPECT_EQ(readFile(folder + "/" + name + "/stuck.bin"), "half");
  child.end();

  // Unlocked now. A file the sweep cannot remove shows where it put the copy first: under a name
  // of the sweeping process, which a sweep after that process takes.
  const UniqueFd stuck = openAny(folder + "/" + name + "/stuck.bin");
  if (!setFlags(stuck, FS_IMMUTABLE_FL, true)) GTEST_SKIP() << "no immutable flag here";
  const test::ChildOutcome sweep =
      test::runInChild({}, [&] { return removeLeftoverCopies(folder) == 0 ? "" : "an immutable file went"; });
  EXPECT_TRUE(sweep.exited && sweep.exitCode == 0) << sweep;
  Names names = test::namesIn(folder);
  names.erase("track");
  ASSERT_EQ(names.size(), 1u);
  EXPECT_NE(*names.begin(), name);
  EXPECT_NE(partialCopyOwner(*names.begin()), 0);
  EXPECT_EQ(readFile(folder + "/" + *names.begin() + "/stuck.bin"), "half");
  ASSERT_TRUE(setFlags(stuck, FS_IMMUTABLE_FL, false));
  EXPECT_EQ(removeLeftoverCopies(folder), 1);
  EXPECT_EQ(test::namesIn(folder), Names{"track"});
}

TEST(DeleteFolder, APartThatCannotGoIsRefusedBeforeAnythingGoes) {
  struct Case {
    const char* what;
    const char* stuck;  // relative to the level
    int flags;          // chattr flags set on it, or 0 for a tmpfs mounted on it
    const char* why;
  };
  PITKIT_LINUX_ONLY("chattr flags and mounts");
  const Case cases[] = {
      {"immutable file", "sub/data.bin", FS_IMMUTABLE_FL, " (it is marked immutable): Operation not permitted"},
      {"append-only folder", "sub", FS_APPEND_FL, " (it is marked append-only): Operation not permitted"},
      {"immutable level folder", "", FS_IMMUTABLE_FL, " (it is marked immutable): Operation not permitted"},
      {"mount inside", "mnt", 0, " (another file system is mounted there): Device or resource busy"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir tmp;
    const std::string level = tmp / "levels/lvl";
    writeFile(level + "/lvl.inf", "i");
    writeFile(level + "/sub/data.bin", "d");
    test::makeDirs(level + "/mnt");
    const std::string stuck = std::string(c.stuck).empty() ? level : level + "/" + c.stuck;
    const UniqueFd fd = openAny(stuck);
    std::optional<test::Mounted> mount;
    if (c.flags == 0) mount.emplace("pitkit-test", stuck, "tmpfs", 0, "size=1m");
    const bool mounted = mount && mount->ok;
    if (c.flags == 0 ? !mounted : !setFlags(fd, c.flags, true)) {
      std::cout << "[ SKIPPED  ] " << c.what << ": not allowed here: " << std::strerror(errno) << "\n";
      continue;
    }
    if (mounted) writeFile(stuck + "/inside.txt", "mounted");
    const auto before = test::treeSnapshot(level);
    EXPECT_EQ(errorOf([&] { checkFolderRemovable(level); }), "Cannot delete " + stuck + c.why);
    if (c.flags == FS_IMMUTABLE_FL && !std::string(c.stuck).empty()) {
      // Delete looks at folders only before it starts; the file itself is named when it stays.
      EXPECT_EQ(errorOf([&] { DeleteFolder(level); }), "Cannot delete " + stuck + ": Operation not permitted");
      EXPECT_EQ(readFile(stuck), "d");
    } else {
      EXPECT_EQ(errorOf([&] { DeleteFolder(level); }), "Cannot delete " + stuck + c.why);
      EXPECT_EQ(test::treeSnapshot(level), before);
    }
    if (mounted) {
      // The removal without the check (a leftover's) does not enter the mount either.
      const UniqueFd levels = openAny(tmp / "levels");
      std::string at;
      EXPECT_EQ(removeAnyAt(levels.get(), "lvl", level, nullptr, &at), EBUSY);
      EXPECT_EQ(at, stuck);
      EXPECT_EQ(readFile(stuck + "/inside.txt"), "mounted");
      mount.reset();
    } else {
      EXPECT_TRUE(setFlags(fd, c.flags, false));
    }
  }
}

TEST(DeleteFolder, TheOwnerDeletesReadOnlyFoldersHoldingFolders) {
  PITKIT_LINUX_ONLY("another user (fork, setuid) and read-only folders");
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to switch to another user";
  TempDir tmp;
  writeFile(tmp / "levels/ro/ro.inf", "i");
  writeFile(tmp / "levels/ro/a/b/c.bin", "c");
  test::makeDirs(tmp / "levels/ro/a/empty");
  writeFile(tmp / "un_levels/.pitkit-partial-copy-1-abcdefgh12/a/b/c.bin", "c");
  ASSERT_EQ(test::giveTreeTo(tmp.path(), test::kNobody), "");
  for (const std::string top : {tmp / "levels/ro", tmp / "un_levels/.pitkit-partial-copy-1-abcdefgh12"})
    for (const std::string sub : {"/a/b", "/a", ""}) ASSERT_EQ(::chmod((top + sub).c_str(), 0555), 0);

  const test::ChildOutcome child = test::runInChild(test::asUnprivilegedUser(), [&]() -> std::string {
    const std::string failed = errorOf([&] { DeleteFolder(tmp / "levels/ro"); });
    if (!failed.empty()) return failed;
    // A failed copy's remains go the same way.
    const UniqueFd parent(::open((tmp / "un_levels").c_str(), O_RDONLY | O_DIRECTORY));
    const int err = removeAnyAt(parent.get(), ".pitkit-partial-copy-1-abcdefgh12", "partial", nullptr);
    return err == 0 ? "" : std::string("the partial copy stayed: ") + std::strerror(err);
  });
  EXPECT_TRUE(child.exited && child.exitCode == 0) << child;
  EXPECT_EQ(test::namesIn(tmp / "levels"), Names{});
  EXPECT_EQ(test::namesIn(tmp / "un_levels"), Names{});
}

// On Windows paths end at 32,767 characters and deep folders are slow to walk under Wine: a depth
// whose paths pass MAX_PATH stands in there.
TEST(DeleteFolder, ADeepTreeTakesNeitherStackNorMemoryPerLevel) {
  constexpr int kDepth = test::kOnLinux ? 16000 : 200;
  // On a tmpfs where the machine has one: the depth is the point, not the disk.
  const std::string shm = test::otherFileSystemParent();
  TempDir tmp(shm.empty() ? fs::temp_directory_path().string() : shm);
  // The delete walks it twice: the removability check, then the removal.
  const std::string level = tmp / "levels/deep";
  ASSERT_TRUE(test::makeDeepChain(level, kDepth));
  test::resetPeakMemory();
  const long before = test::peakMemoryKiB();
  std::string error = "not run";
  test::onSmallStack([&] { error = errorOf([&] { DeleteFolder(level); }); });
  const long grown = test::peakMemoryKiB() - before;
  std::cout << "peak memory grew by " << grown << " KiB deleting " << kDepth << " levels\n";
  EXPECT_EQ(error, "");
  EXPECT_EQ(test::namesIn(tmp / "levels"), Names{});
  // One listing buffer per level would be 16,000 x 32 KiB = 500 MiB.
  EXPECT_LT(grown, 64 * 1024) << "KiB";
}

TEST(DeleteFolder, TheFilterKeepsWhatItRefusesAndNamesIt) {
  const std::pair<std::string, Names> cases[] = {// the entry refused, what is left of the level
                                                 {"", {}},
                                                 {"sub/deeper/keep.bin", {"sub", "sub/deeper", "sub/deeper/keep.bin"}},
                                                 {"link", {"link"}}};
  for (const auto& c : cases) {
    const std::string& refused = c.first;  // a name a lambda can capture
    SCOPED_TRACE(refused);
    TempDir tmp;
    const std::string level = tmp / "levels/lvl";
    writeFile(level + "/lvl.inf", "i");
    writeFile(level + "/sub/a.bin", "a");
    writeFile(level + "/sub/deeper/keep.bin", "k");
    test::makeDirs(level + "/empty");
    const bool linked = test::makeSymlink(tmp / "levels", level + "/link");
    if (!linked && refused == "link") {
      std::cout << "[ SKIPPED  ] a refused link: no symbolic links here\n";
      continue;
    }
    Names asked;
    const std::string error = errorOf([&] {
      DeleteFolder(level, nullptr, [&](std::string_view rel, const struct stat& st) {
        asked.emplace(rel);
        EXPECT_EQ(S_ISLNK(st.st_mode), rel == "link") << rel;
        return rel != refused;
      });
    });
    Names offered{"lvl.inf", "sub/a.bin", "sub/deeper/keep.bin", "link"};
    if (!linked) offered.erase("link");
    EXPECT_EQ(asked, offered);
    EXPECT_EQ(error, refused.empty() ? "" : "Cannot delete " + level + ": " + level + "/" + refused + " is kept: Directory not empty");
    Names kept;
    if (fs::exists(level))
      for (const auto& [rel, bytes] : test::treeSnapshot(level)) kept.insert(rel);
    EXPECT_EQ(kept, c.second);
    EXPECT_EQ(fs::exists(level), !refused.empty());
  }
}

// What Windows makes of a level being deleted or moved: a read-only file goes with its level, a
// file another program holds stops the action with its name and loses nothing, and a level whose
// paths pass 260 characters is moved and deleted whole.
TEST(DeleteAndMove, ReadOnlyHeldAndLongPathsLoseNothing) {
  struct Case {
    const char* what;
    std::string sub;  // the level's folder below "levels", long or short
    bool readOnly;    // data.bin is read-only
    bool held;        // data.bin is held open with no sharing while the actions run
  };
  const std::string longSub = "deep" + [] {
    std::string s;
    for (int i = 0; i < 12; ++i) s += "/folder name " + std::to_string(i) + " long enough";
    return s;
  }();
  const Case cases[] = {{"read-only file", "ro", true, false},
                        {"held file", "held", false, true},
                        {"paths beyond 260 characters", longSub, true, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.held && test::kOnLinux) {
      std::cout << "[ SKIPPED  ] " << c.what << ": Windows only (an open file stops nothing on Linux)\n";
      continue;
    }
    TempDir tmp;
    const std::string level = tmp / ("levels/" + c.sub), moved = tmp / ("un_levels/" + c.sub);
    writeFile(level + "/lvl.inf", "i");
    writeFile(level + "/sub/data.bin", "d");
    if (c.sub == longSub) ASSERT_GT((moved + "/sub/data.bin").size(), 260u);
    if (c.readOnly) ASSERT_EQ(::fchmodat(AT_FDCWD, (level + "/sub/data.bin").c_str(), 0444, 0), 0);
    if (c.held) {
      test::HeldOpen hold(level + "/sub/data.bin");
      ASSERT_TRUE(hold.held());
      // The delete stops at the held file and names it; the file stays as it was.
      const std::string deleteFailed = errorOf([&] { DeleteFolder(level); });
      EXPECT_EQ(deleteFailed, "Cannot delete " + level + "/sub/data.bin: Device or resource busy");
      // Windows refuses to rename a folder holding a held file (Wine allows it): either way the
      // level is whole in exactly one place.
      const std::string moveFailed = test::errorOf([&] { MoveFolder(level, moved); });
      hold.release();
      const std::string at = fs::exists(moved) ? moved : level;
      if (at == level) EXPECT_NE(moveFailed.find("Cannot move"), std::string::npos) << moveFailed;
      EXPECT_EQ(fs::exists(level) + fs::exists(moved), 1);
      EXPECT_EQ(readFile(at + "/sub/data.bin"), "d");
      continue;
    }
    // Moved whole, the read-only file still read-only; then deleted, the file with it.
    EXPECT_EQ(test::errorOf([&] { MoveFolder(level, moved); }), "");
    EXPECT_FALSE(fs::exists(level));
    EXPECT_EQ(readFile(moved + "/sub/data.bin"), "d");
    EXPECT_EQ(readFile(moved + "/lvl.inf"), "i");
    if (c.readOnly) EXPECT_EQ(test::statOf(moved + "/sub/data.bin").st_mode & 0222, 0u);
    EXPECT_EQ(errorOf([&] { DeleteFolder(moved); }), "");
    EXPECT_FALSE(fs::exists(moved));
  }
}

// Where letter case is ignored (Windows), a folder whose name differs only in case takes the name:
// the move is refused and both folders stay as they were.
TEST(MoveFolder, ANameTakenInAnotherCaseIsRefusedWhereCaseIsIgnored) {
  PITKIT_WINDOWS_ONLY("Linux's file systems tell names apart by letter case");
  TempDir tmp;
  writeFile(tmp / "levels/full/full.inf", "i");
  writeFile(tmp / "un_levels/FULL/other.txt", "o");
  const auto before = test::treeSnapshot(tmp.path());
  EXPECT_EQ(test::errorOf([&] { MoveFolder(tmp / "levels/full", tmp / "un_levels/full"); }),
            "Cannot move full to " + (tmp / "un_levels") + ": an entry named full is already there");
  EXPECT_EQ(test::treeSnapshot(tmp.path()), before);
}

}  // namespace
}  // namespace pitkit
