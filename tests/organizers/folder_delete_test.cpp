// Delete and the sweep of leftover copies: live copies stay locked, a tree that cannot go whole is
// refused before anything goes, the owner's read-only folders go, mounts are never entered, depth
// costs neither stack nor memory, and the delete's filter keeps what it refuses.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <optional>
#include <set>

#include "organizers/FileCopy.h"
#include "organizers/FolderTransfer.h"
#include "organizers/PartialCopyName.h"
#include "platform/Errors.h"
#include "platform/UniqueFd.h"
#include "support/ChildProcess.h"
#include "support/TempDir.h"

namespace pitkit {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::TempDir;
using test::writeFile;
using Names = std::set<std::string>;

// Every entry below `root` with a file's bytes (a folder's and a link's as a marker).
std::map<std::string, std::string> snapshot(const std::string& root) {
  std::map<std::string, std::string> out;
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
    const std::string rel = it->path().lexically_relative(root).string();
    out[rel] = it->is_symlink() ? "<link>" : it->is_directory() ? "<folder>" : readFile(it->path().string());
  }
  return out;
}

// The message of the EOSError `action` raises ("" when it raises nothing).
std::string errorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const EOSError& e) {
    return e.what();
  }
  return "";
}

// Sets chattr flags on a file or folder and clears them again at the end of the scope (through
// the descriptor, so also after a rename). `ok` is false (with the reason) where the file system
// refuses them.
class InodeFlags {
 public:
  InodeFlags(const std::string& path, int flags) : fd_(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)), flags_(flags) {
    ok = change(true);
    if (!ok) why = path + ": " + std::strerror(errno);
  }
  ~InodeFlags() { clear(); }
  void clear() {
    if (ok) ok = !change(false);
  }
  bool ok = false;
  std::string why;

 private:
  bool change(bool set) {
    int now = 0;
    if (!fd_ || ::ioctl(fd_.get(), FS_IOC_GETFLAGS, &now) != 0) return false;
    now = set ? now | flags_ : now & ~flags_;
    return ::ioctl(fd_.get(), FS_IOC_SETFLAGS, &now) == 0;
  }
  UniqueFd fd_;
  int flags_;
};

// A tmpfs mounted on a folder for the scope (as root); `ok` false where mounting is not allowed.
class TmpfsMount {
 public:
  explicit TmpfsMount(std::string at) : at_(std::move(at)) {
    ok = ::mount("pitkit-test", at_.c_str(), "tmpfs", 0, "size=1m") == 0;
    if (!ok) why = std::strerror(errno);
  }
  ~TmpfsMount() {
    if (ok) ::umount2(at_.c_str(), MNT_DETACH);
  }
  bool ok = false;
  std::string why;

 private:
  std::string at_;
};

// Makes `depth` nested folders "d" below `root` (made), with a file at the bottom, through
// descriptors so that no path grows with the depth.
void makeDeepChain(const std::string& root, int depth) {
  test::makeDirs(root);
  UniqueFd at(::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  ASSERT_TRUE(at.valid());
  for (int i = 0; i < depth; ++i) {
    ASSERT_EQ(::mkdirat(at.get(), "d", 0755), 0) << i;
    at.reset(::openat(at.get(), "d", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    ASSERT_TRUE(at.valid()) << i;
  }
  const UniqueFd file(::openat(at.get(), "bottom.txt", O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
  ASSERT_TRUE(file.valid());
}

// The peak resident memory of this process in KiB since the last reset.
long peakKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  return -1;
}
void resetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

// Runs `work` on a thread with a 256 KiB stack, as a worker of the window may have.
void onSmallStack(const std::function<void()>& work) {
  pthread_attr_t attr;
  ASSERT_EQ(::pthread_attr_init(&attr), 0);
  ASSERT_EQ(::pthread_attr_setstacksize(&attr, 256 * 1024), 0);
  pthread_t thread;
  auto call = [](void* w) -> void* {
    (*static_cast<const std::function<void()>*>(w))();
    return nullptr;
  };
  ASSERT_EQ(::pthread_create(&thread, &attr, call, const_cast<std::function<void()>*>(&work)), 0);
  ::pthread_join(thread, nullptr);
  ::pthread_attr_destroy(&attr);
}

TEST(LeftoverSweep, LeavesACopyLockedByAnotherProcessUntilItIsReleased) {
  TempDir tmp;
  const std::string folder = tmp / "un_levels";
  // The name carries a process id the sweep cannot see, as one from another pid namespace would.
  const std::string name = ".pitkit-partial-copy-" + std::to_string(test::endedProcessId()) + "-growing000";
  writeFile(folder + "/" + name + "/track.bin", "half");
  int ready[2], release[2];
  ASSERT_EQ(::pipe(ready), 0);
  ASSERT_EQ(::pipe(release), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    const UniqueFd lock(::open((folder + "/" + name).c_str(), O_RDONLY | O_DIRECTORY));
    const char verdict = ::flock(lock.get(), LOCK_EX | LOCK_NB) == 0 ? 'y' : 'n';
    char go = 0;
    if (::write(ready[1], &verdict, 1) != 1 || ::read(release[0], &go, 1) != 1) ::_exit(2);
    ::_exit(0);
  }
  ASSERT_GT(child, 0);
  char verdict = 0;
  ASSERT_EQ(::read(ready[0], &verdict, 1), 1);
  ASSERT_EQ(verdict, 'y');
  EXPECT_EQ(removeLeftoverCopies(folder), 0);
  EXPECT_EQ(readFile(folder + "/" + name + "/track.bin"), "half");
  ASSERT_EQ(::write(release[1], "x", 1), 1);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  for (int fd : {ready[0], ready[1], release[0], release[1]}) ::close(fd);
  // Unlocked now: the next sweep takes it.
  EXPECT_EQ(removeLeftoverCopies(folder), 1);
  EXPECT_EQ(test::namesIn(folder), Names{});
}

// The copy being built is locked from the moment its folder exists until it is in place.
UniqueFd* lockProbeParent = nullptr;
int lockProbeResult = 0;
ssize_t probingCopyRange(int in, off_t* inOff, int out, off_t* outOff, std::size_t len, unsigned flags) {
  for (const auto& e : fs::directory_iterator("/proc/self/fd/" + std::to_string(lockProbeParent->get()))) {
    if (partialCopyOwner(e.path().filename().string()) == 0) continue;
    const UniqueFd probe(::open(e.path().c_str(), O_RDONLY | O_DIRECTORY));
    lockProbeResult = ::flock(probe.get(), LOCK_EX | LOCK_NB) == 0 ? 0 : errno;
  }
  return ::copy_file_range(in, inOff, out, outOff, len, flags);
}

TEST(LeftoverSweep, ACopyHoldsItsLockAndATakenLeftoverIsRenamedFirst) {
  TempDir tmp;
  writeFile(tmp / "levels/track/track.inf", "x");
  test::makeDirs(tmp / "un_levels");
  UniqueFd parent(::open((tmp / "un_levels").c_str(), O_RDONLY | O_DIRECTORY));
  lockProbeParent = &parent;
  lockProbeResult = -1;
  setCopyRangeCall(&probingCopyRange);
  CopyFolder(tmp / "levels/track", tmp / "un_levels/track");
  setCopyRangeCall(nullptr);
  EXPECT_EQ(lockProbeResult, EWOULDBLOCK);
  EXPECT_EQ(readFile(tmp / "un_levels/track/track.inf"), "x");

  // A leftover the sweep cannot empty (an immutable file) shows where the sweep put it: under a
  // name of the sweeping process, which a sweep after that process takes.
  const std::string dead = ".pitkit-partial-copy-" + std::to_string(test::endedProcessId()) + "-abcdefgh12";
  writeFile(tmp / "un_levels/" + dead + "/stuck.bin", "s");
  InodeFlags stuck(tmp / "un_levels/" + dead + "/stuck.bin", FS_IMMUTABLE_FL);
  if (!stuck.ok) GTEST_SKIP() << "no immutable flag here: " << stuck.why;
  const test::ChildOutcome sweep = test::runInChild({}, [&]() -> std::string {
    return removeLeftoverCopies(tmp / "un_levels") == 0 ? "" : "the sweep removed an immutable file";
  });
  EXPECT_TRUE(sweep.exited && sweep.exitCode == 0) << sweep;
  std::string renamedTo;
  for (const std::string& n : test::namesIn(tmp / "un_levels"))
    if (n != "track") renamedTo = n;
  EXPECT_NE(renamedTo, dead);
  EXPECT_NE(partialCopyOwner(renamedTo), 0);
  EXPECT_EQ(readFile(tmp / "un_levels/" + renamedTo + "/stuck.bin"), "s");
  stuck.clear();
  EXPECT_EQ(removeLeftoverCopies(tmp / "un_levels"), 1);
  EXPECT_EQ(test::namesIn(tmp / "un_levels"), Names{"track"});
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
    std::optional<TmpfsMount> mount;
    std::optional<InodeFlags> flags;
    if (c.flags == 0) {
      mount.emplace(stuck);
      if (!mount->ok) {
        std::cout << "[ SKIPPED  ] " << c.what << ": cannot mount a tmpfs: " << mount->why << "\n";
        continue;
      }
      writeFile(stuck + "/inside.txt", "mounted");
    } else {
      flags.emplace(stuck, c.flags);
      if (!flags->ok) {
        std::cout << "[ SKIPPED  ] " << c.what << ": " << flags->why << "\n";
        continue;
      }
    }
    const auto before = snapshot(level);
    EXPECT_EQ(errorOf([&] { checkFolderRemovable(level); }), "Cannot delete " + stuck + c.why);
    EXPECT_EQ(errorOf([&] { DeleteFolder(level); }), "Cannot delete " + stuck + c.why);
    EXPECT_EQ(snapshot(level), before);
    if (c.flags == 0) {
      // The delete without the check (a leftover's removal) does not enter the mount either.
      const UniqueFd levels(::open((tmp / "levels").c_str(), O_RDONLY | O_DIRECTORY));
      std::string at;
      EXPECT_EQ(removeAnyAt(levels.get(), "lvl", level, nullptr, &at), EBUSY);
      EXPECT_EQ(at, stuck);
      EXPECT_EQ(readFile(stuck + "/inside.txt"), "mounted");
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
  makeDeepChain(level, kDepth);
  resetPeak();
  const long before = peakKiB();
  std::string error = "not run";
  onSmallStack([&] {
    error = errorOf([&] { DeleteFolder(level); });
  });
  const long grown = peakKiB() - before;
  std::cout << "peak memory grew by " << grown << " KiB deleting " << kDepth << " levels\n";
  EXPECT_EQ(error, "");
  EXPECT_EQ(test::namesIn(tmp / "levels"), Names{});
  // One listing buffer per level would be 16,000 x 32 KiB = 500 MiB.
  EXPECT_LT(grown, 64 * 1024) << "KiB";
}

TEST(DeleteFolder, TheFilterKeepsWhatItRefusesAndNamesIt) {
  struct Case {
    const char* what;
    std::set<std::string> refused;
    Names left;         // what is left of the level
    std::string error;  // relative to the level, "" for none
  };
  const Case cases[] = {
      {"all allowed", {}, {}, ""},
      {"one file deep down", {"sub/deeper/keep.bin"}, {"sub", "sub/deeper", "sub/deeper/keep.bin"}, "sub/deeper/keep.bin"},
      {"a link", {"link"}, {"link"}, "link"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir tmp;
    const std::string level = tmp / "levels/lvl";
    writeFile(level + "/lvl.inf", "i");
    writeFile(level + "/sub/a.bin", "a");
    writeFile(level + "/sub/deeper/keep.bin", "k");
    test::makeDirs(level + "/empty");
    fs::create_symlink(tmp / "levels", level + "/link");
    std::set<std::string> asked;
    const RemovalFilter filter = [&](std::string_view rel, const struct stat& st) {
      asked.emplace(rel);
      EXPECT_FALSE(S_ISDIR(st.st_mode)) << rel;
      EXPECT_EQ(S_ISLNK(st.st_mode), rel == "link") << rel;
      return c.refused.count(std::string(rel)) == 0;
    };
    const std::string error = errorOf([&] { DeleteFolder(level, nullptr, filter); });
    EXPECT_EQ(asked, (std::set<std::string>{"lvl.inf", "sub/a.bin", "sub/deeper/keep.bin", "link"}));
    if (c.error.empty()) {
      EXPECT_EQ(error, "");
      EXPECT_FALSE(fs::exists(fs::symlink_status(level)));
    } else {
      EXPECT_EQ(error, "Cannot delete " + level + ": " + level + "/" + c.error + " is kept: Directory not empty");
      Names left;
      for (const auto& [rel, bytes] : snapshot(level)) left.insert(rel);
      EXPECT_EQ(left, c.left);
    }
    EXPECT_TRUE(fs::exists(tmp / "levels"));
  }
}

}  // namespace
}  // namespace pitkit
