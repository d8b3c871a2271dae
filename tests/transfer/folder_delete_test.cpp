// Delete and the sweep of leftover copies: live copies stay locked, a tree that cannot go whole is
// refused before anything goes, the owner's read-only folders go, mounts are never entered, depth
// costs neither stack nor memory, and the delete's filter keeps what it refuses.
#include "platform/Posix.h"
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/wait.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <iostream>
#include <set>

#include "transfer/FileCopy.h"
#include "transfer/FolderTransfer.h"
#include "transfer/PartialCopyName.h"
#include "platform/Errors.h"
#include "platform/UniqueFd.h"
#include "support/ChildProcess.h"
#include "support/DeepTree.h"
#include "support/ErrorOf.h"
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
bool setFlags(const UniqueFd& fd, int flags, bool set) {
  int now = 0;
  if (::ioctl(fd.get(), FS_IOC_GETFLAGS, &now) != 0) return false;
  now = set ? now | flags : now & ~flags;
  return ::ioctl(fd.get(), FS_IOC_SETFLAGS, &now) == 0;
}
UniqueFd openAny(const std::string& path) { return UniqueFd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)); }

// Tries the lock of every partial copy in the folder open as `probedFolder`, from inside a copy.
int probedFolder = -1, probeResult = -1;
ssize_t probingCopyRange(int in, off_t* inOff, int out, off_t* outOff, std::size_t len, unsigned flags) {
  for (const auto& e : fs::directory_iterator("/proc/self/fd/" + std::to_string(probedFolder)))
    if (partialCopyOwner(e.path().filename().string()) != 0)
      probeResult = ::flock(openAny(e.path()).get(), LOCK_EX | LOCK_NB) == 0 ? 0 : errno;
  return ::copy_file_range(in, inOff, out, outOff, len, flags);
}

TEST(LeftoverSweep, TakesOnlyUnlockedCopiesAndRenamesThemFirst) {
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
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    const UniqueFd lock = openAny(folder + "/" + name);
    const char verdict = ::flock(lock.get(), LOCK_EX | LOCK_NB) == 0 ? 'y' : 'n';
    if (::write(ready[1], &verdict, 1) == 1) ::pause();
    ::_exit(2);
  }
  char verdict = 0;
  ASSERT_EQ(::read(ready[0], &verdict, 1), 1);
  EXPECT_EQ(verdict, 'y');
  EXPECT_EQ(removeLeftoverCopies(folder), 0);
  EXPECT_EQ(readFile(folder + "/" + name + "/stuck.bin"), "half");
  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
  ::close(ready[0]);
  ::close(ready[1]);

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
    const bool mounted = c.flags == 0 && ::mount("pitkit-test", stuck.c_str(), "tmpfs", 0, "size=1m") == 0;
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
      ::umount2(stuck.c_str(), MNT_DETACH);
    } else {
      EXPECT_TRUE(setFlags(fd, c.flags, false));
    }
  }
}

TEST(DeleteFolder, TheOwnerDeletesReadOnlyFoldersHoldingFolders) {
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

TEST(DeleteFolder, ADeepTreeTakesNeitherStackNorMemoryPerLevel) {
  constexpr int kDepth = 16000;
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
    fs::create_symlink(tmp / "levels", level + "/link");
    Names asked;
    const std::string error = errorOf([&] {
      DeleteFolder(level, nullptr, [&](std::string_view rel, const struct stat& st) {
        asked.emplace(rel);
        EXPECT_EQ(S_ISLNK(st.st_mode), rel == "link") << rel;
        return rel != refused;
      });
    });
    EXPECT_EQ(asked, (Names{"lvl.inf", "sub/a.bin", "sub/deeper/keep.bin", "link"}));
    EXPECT_EQ(error, refused.empty() ? "" : "Cannot delete " + level + ": " + level + "/" + refused + " is kept: Directory not empty");
    Names kept;
    if (fs::exists(level))
      for (const auto& [rel, bytes] : test::treeSnapshot(level)) kept.insert(rel);
    EXPECT_EQ(kept, c.second);
    EXPECT_EQ(fs::exists(level), !refused.empty());
  }
}

}  // namespace
}  // namespace pitkit
