// MoveFolder on one file system and across two, the copy's byte checks, extended attributes and
// holes, Cancel, the sweep of leftover copies, and trees deeper than the open-file limit.
#include "platform/Posix.h"
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <set>

#include "transfer/FolderTransfer.h"
#include "platform/FolderChain.h"
#include "search/FindFile.h"
#include "support/ChildProcess.h"
#include "support/DeepTree.h"
#include "support/ErrorOf.h"
#include "support/LinuxFileSystems.h"
#include "support/LinuxOnly.h"
#include "support/TempDir.h"

namespace pitkit {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::statOf;
using test::TempDir;
using test::writeFile;

constexpr off_t kSparseSize = off_t{64} << 20;

using test::namesIn;
using Names = std::set<std::string>;

// Windows keeps no permission bits beyond read-only: a folder's mode stays 0755 there.
constexpr mode_t kDeepFolderMode = test::kOnLinux ? 0750 : 0755;

std::string xattrOf(const std::string& path, const char* name) {
  const std::string value = test::xattrOf(path, name);
  return value.empty() ? std::string("<none>") : value;
}

// A level with everything a move must keep: nested folders, a read-only file, known times on a
// file and a folder, links, extended attributes on a file and a folder, and a sparse file with
// two small islands of data.
void makeFullLevel(const std::string& level) {
  writeFile(level + "/full.inf", "Torvane .INF file structure\r\nNAME 'Full'\r\n");
  writeFile(level + "/models/deep/mesh.m", std::string(300000, 'm'));
  writeFile(level + "/locked.dat", "read only");
  ::chmod((level + "/locked.dat").c_str(), 0444);
  ::chmod((level + "/models/deep").c_str(), 0750);
  // Links and extended attributes where the system has them (not Windows).
  if (test::kOnLinux) {
    fs::create_symlink("full.inf", level + "/info_link");
    fs::create_symlink("/nowhere/at/all", level + "/dangling");
    ASSERT_TRUE(test::setXattr(level + "/full.inf", "user.origin", "drawn here"));
    ASSERT_TRUE(test::setXattr(level + "/models", "user.kind", "meshes"));
  }
  const int fd = ::open((level + "/sparse.raw").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::pwrite(fd, "start", 5, 0), 5);
  ASSERT_EQ(::pwrite(fd, "middle", 6, kSparseSize / 2), 6);
  ASSERT_EQ(::ftruncate(fd, kSparseSize), 0);
  ::close(fd);
  const struct timespec times[2] = {{1000000000, 0}, {1200000000, 500}};
  ASSERT_EQ(::utimensat(AT_FDCWD, (level + "/full.inf").c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
  ASSERT_EQ(::utimensat(AT_FDCWD, (level + "/models").c_str(), times, 0), 0);
}

void expectFullLevel(const std::string& level) {
  EXPECT_EQ(readFile(level + "/full.inf"), "Torvane .INF file structure\r\nNAME 'Full'\r\n");
  EXPECT_EQ(readFile(level + "/models/deep/mesh.m"), std::string(300000, 'm'));
  EXPECT_EQ(statOf(level + "/locked.dat").st_mode & 07777, 0444u);
  EXPECT_EQ(statOf(level + "/models/deep").st_mode & 07777, kDeepFolderMode);
  if (test::kOnLinux) {
    EXPECT_EQ(fs::read_symlink(level + "/info_link"), fs::path("full.inf"));
    EXPECT_EQ(fs::read_symlink(level + "/dangling"), fs::path("/nowhere/at/all"));
    EXPECT_EQ(xattrOf(level + "/full.inf", "user.origin"), "drawn here");
    EXPECT_EQ(xattrOf(level + "/models", "user.kind"), "meshes");
  }
  EXPECT_EQ(statOf(level + "/full.inf").st_mtim.tv_sec, 1200000000);
  EXPECT_EQ(statOf(level + "/full.inf").st_mtim.tv_nsec, 500);
  EXPECT_EQ(statOf(level + "/models").st_mtim.tv_sec, 1200000000);
  const struct stat sparse = statOf(level + "/sparse.raw");
  EXPECT_EQ(sparse.st_size, kSparseSize);
  // (The test's own file is sparse on Linux only: Windows fills the gap a write leaves.)
  if (test::kOnLinux) EXPECT_LT(sparse.st_blocks * 512, 1 << 20) << "the holes were filled in";
  const std::string bytes = readFile(level + "/sparse.raw");
  EXPECT_EQ(bytes.substr(0, 5), "start");
  EXPECT_EQ(bytes.substr(kSparseSize / 2, 6), "middle");
  EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\0'), kSparseSize - 11);
}

std::string moveError(const std::string& from, const std::string& to, TransferProgress* progress = nullptr) {
  try {
    MoveFolder(from, to, progress);
  } catch (const ETransferCancelled&) {
    return "cancelled";
  } catch (const std::exception& e) {
    return e.what();
  }
  return {};
}

// The copy call of the tests below: `mode` says how it misbehaves.
enum class RangeMode { EndsAtOnce, EndsAfterSome, Refuses, ShrinksSource, CancelsMove };
RangeMode rangeMode;
std::string shrinkPath;
TransferProgress* cancelProgress;
int rangeCalls;

ssize_t misbehavingCopyRange(int in, off_t* inOff, int out, off_t* outOff, std::size_t len, unsigned flags) {
  ++rangeCalls;
  switch (rangeMode) {
    case RangeMode::EndsAtOnce:
      return 0;
    case RangeMode::EndsAfterSome:
      return *inOff == 0 ? ::copy_file_range(in, inOff, out, outOff, std::min<std::size_t>(len, 1000), flags) : 0;
    case RangeMode::Refuses:
      errno = EXDEV;
      return -1;
    case RangeMode::ShrinksSource:
      if (len > 1000) ::truncate(shrinkPath.c_str(), 10);
      return 0;
    case RangeMode::CancelsMove:
      cancelProgress->cancelRequested = true;
      return ::copy_file_range(in, inOff, out, outOff, len, flags);
  }
  return 0;
}

TEST(MoveFolder, OnOneDiskIsOneRenameAndAnExistingNameIsRefusedWithNothingTouched) {
  TempDir tmp;
  makeFullLevel(tmp / "levels/full");
  const ino_t folderInode = statOf(tmp / "levels/full").st_ino;
  const ino_t fileInode = statOf(tmp / "levels/full/models/deep/mesh.m").st_ino;
  fs::create_directories(tmp / "un_levels");

  TransferProgress progress;
  EXPECT_EQ(moveError(tmp / "levels/full", tmp / "un_levels/full", &progress), "");
  expectFullLevel(tmp / "un_levels/full");
  // The same folder and files under a new name: nothing was copied.
  EXPECT_EQ(statOf(tmp / "un_levels/full").st_ino, folderInode);
  EXPECT_EQ(statOf(tmp / "un_levels/full/models/deep/mesh.m").st_ino, fileInode);
  EXPECT_EQ(progress.bytes.load(), 0u);
  EXPECT_FALSE(fs::exists(tmp / "levels/full"));
  // Missing parents of the destination are made.
  EXPECT_EQ(moveError(tmp / "un_levels/full", tmp / "new/parent/full"), "");
  EXPECT_TRUE(fs::is_directory(tmp / "new/parent/full/models"));
  EXPECT_EQ(moveError(tmp / "new/parent/full", tmp / "un_levels/full/"), "");

  // Whatever holds the name (a folder, a file, a link that leads nowhere), both sides stay.
  writeFile(tmp / "levels/full/full.inf", "installed one");
  struct Taken {
    const char* what;
    std::function<void(const std::string&)> make;
  };
  for (const Taken& taken : {Taken{"folder", [](const std::string& p) { writeFile(p + "/x", "x"); }},
                             Taken{"file", [](const std::string& p) { writeFile(p, "f"); }},
                             Taken{"dangling link", [](const std::string& p) { fs::create_symlink("/nowhere", p); }}}) {
    SCOPED_TRACE(taken.what);
    if (!test::kOnLinux && std::string(taken.what) == "dangling link") continue;  // no links there
    for (const auto& [from, to, folder] :
         {std::tuple{tmp / "levels/full", tmp / "un_levels/full", tmp / "un_levels"},
          std::tuple{tmp / "un_levels/full", tmp / "levels/full", tmp / "levels"}}) {
      test::removeTree(tmp / "other");
      fs::rename(to, tmp / "other");
      taken.make(to);
      const auto before = namesIn(folder);
      EXPECT_EQ(moveError(from, to), "Cannot move full to " + folder + ": an entry named full is already there");
      EXPECT_EQ(namesIn(folder), before);
      EXPECT_TRUE(fs::is_directory(from));
      test::removeTree(to);
      fs::rename(tmp / "other", to);
    }
  }
  expectFullLevel(tmp / "un_levels/full");
  EXPECT_EQ(readFile(tmp / "levels/full/full.inf"), "installed one");
  EXPECT_EQ(moveError(tmp / "levels/gone", tmp / "un_levels/gone"),
            "Cannot move " + (tmp / "levels/gone") + ": No such file or directory");
}

TEST(MoveFolder, AcrossFileSystemsCopiesEverythingBeforeItDeletesTheSource) {
  const std::string other = test::otherFileSystemParent();
  if (other.empty()) GTEST_SKIP() << "no second file system on this machine";
  TempDir disk;
  TempDir shm(other);
  makeFullLevel(disk / "levels/full");

  TransferProgress progress;
  EXPECT_EQ(moveError(disk / "levels/full", shm / "un_levels/full", &progress), "");
  expectFullLevel(shm / "un_levels/full");
  EXPECT_FALSE(fs::exists(disk / "levels/full"));
  EXPECT_TRUE(progress.committed);
  EXPECT_GE(progress.bytes.load(), 300000u);
  EXPECT_EQ(namesIn(shm / "un_levels"), Names{"full"});
  // And back again, to the disk.
  EXPECT_EQ(moveError(shm / "un_levels/full", disk / "levels/full"), "");
  expectFullLevel(disk / "levels/full");
  EXPECT_FALSE(fs::exists(shm / "un_levels/full"));

  // A taken name on the other side is refused before anything is copied.
  writeFile(shm / "un_levels/full/older.txt", "older");
  EXPECT_EQ(moveError(disk / "levels/full", shm / "un_levels/full"),
            "Cannot move full to " + (shm / "un_levels") + ": an entry named full is already there");
  EXPECT_EQ(namesIn(shm / "un_levels/full"), Names{"older.txt"});
  expectFullLevel(disk / "levels/full");

  // Cancelled while it copies: the source stays whole, the partial copy and its new parent go.
  test::removeTree(shm / "un_levels/full");
  TransferProgress cancelled;
  cancelProgress = &cancelled;
  rangeMode = RangeMode::CancelsMove;
  setCopyRangeCall(&misbehavingCopyRange);
  const std::string error = moveError(disk / "levels/full", shm / "un_levels/deeper/full", &cancelled);
  setCopyRangeCall(nullptr);
  EXPECT_EQ(error, "cancelled");
  EXPECT_FALSE(cancelled.committed);
  expectFullLevel(disk / "levels/full");
  EXPECT_TRUE(namesIn(shm / "un_levels").empty());
}

TEST(CopyFolder, AKernelCopyThatEndsEarlyFallsBackAndAShortCopyIsNeverWhole) {
  TempDir tmp;
  const std::string big(5 * 1000 * 1000 + 3, 'b');
  struct Case {
    RangeMode mode;
    bool whole;
  };
  for (const Case c : {Case{RangeMode::EndsAtOnce, true}, Case{RangeMode::EndsAfterSome, true},
                       Case{RangeMode::Refuses, true}, Case{RangeMode::ShrinksSource, false}}) {
    SCOPED_TRACE(static_cast<int>(c.mode));
    test::removeTree(tmp / "levels");
    test::removeTree(tmp / "out");
    writeFile(tmp / "levels/big/big.bin", big);
    writeFile(tmp / "levels/big/small.txt", "small");
    shrinkPath = tmp / "levels/big/big.bin";
    rangeMode = c.mode;
    rangeCalls = 0;
    setCopyRangeCall(&misbehavingCopyRange);
    const std::string error = test::errorOf([&] { CopyFolder(tmp / "levels/big", tmp / "out/made/for/it/big"); });
    setCopyRangeCall(nullptr);
    EXPECT_GT(rangeCalls, 0);
    if (c.whole) {
      EXPECT_EQ(error, "");
      EXPECT_EQ(readFile(tmp / "out/made/for/it/big/big.bin"), big);
      EXPECT_EQ(readFile(tmp / "out/made/for/it/big/small.txt"), "small");
    } else {
      EXPECT_EQ(error, "Cannot copy " + (tmp / "levels/big/big.bin") + ": the file changed while it was copied");
      // The partial copy and the parent folders made for it are gone again.
      EXPECT_EQ(namesIn(tmp.path()), Names{"levels"});
    }
  }
}

TEST(RemoveLeftoverCopies, RemovesOnlyTheDeadCopiesOfThisProgram) {
  PITKIT_LINUX_ONLY("an ended process id from /proc, read-only folders and symbolic links");
  TempDir tmp;
  const pid_t dead = test::endedProcessId();
  ASSERT_GT(dead, 0);
  const std::string d = std::to_string(dead), self = std::to_string(::getpid());
  const std::string folder = tmp / "un_levels";
  writeFile(tmp / "outside/keep.txt", "keep");
  writeFile(folder + "/.pitkit-partial-copy-" + d + "-abcdefgh12/sub/x.bin", "partial");
  ::chmod((folder + "/.pitkit-partial-copy-" + d + "-abcdefgh12/sub").c_str(), 0555);
  fs::create_symlink(tmp / "outside", folder + "/.pitkit-partial-copy-" + d + "-linkcopy00");
  const std::vector<std::string> kept = {
      ".pitkit-partial-copy-" + self + "-running000",  // a copy this process is making
      ".pitkit-partial-copy-" + d + "-short",         // not our name
      ".pitkit-partial-copy-" + d + "-ABCDEFGH12",
      ".pitkit-partial-copy-x-abcdefgh12",
      ".pitkit-partial-copy--abcdefgh12",
      "pitkit-partial-copy-" + d + "-abcdefgh12",
      ".pitkit-copy-abcdefgh12",
      "mytrack"};
  for (const std::string& name : kept) writeFile(folder + "/" + name + "/f", "stays");
  EXPECT_EQ(removeLeftoverCopies(folder), 2);
  EXPECT_EQ(namesIn(folder), Names(kept.begin(), kept.end()));
  EXPECT_EQ(readFile(tmp / "outside/keep.txt"), "keep");
  EXPECT_EQ(removeLeftoverCopies(tmp / "missing"), 0);
}

TEST(FolderChain, ALevelDeeperThanTheOpenFileLimitMovesIsFoundAndDeletes) {
  TempDir disk;
  const std::string other = test::otherFileSystemParent();
  TempDir shm(other.empty() ? fs::temp_directory_path().string() : other);
  // 1,500 folders below the level, with an info file at the bottom and one half-way. (Deep folders
  // are slow to walk under Wine: 200 below a limit of 128 stand in there.)
  const int depth = test::kOnLinux ? 1500 : 200, halfWay = test::kOnLinux ? 700 : 100;
  const rlim_t limit = test::kOnLinux ? 1024 : 128;
  std::string deep = disk / "levels/deep";
  for (int i = 0; i < depth; ++i) {
    deep += "/d";
    if (i == halfWay) writeFile(deep + "/half.txt", "half");
  }
  writeFile(deep + "/bottom.inf", "Torvane .INF file structure\r\n");
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
  const rlimit low{limit, saved.rlim_max};
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &low), 0);
  const std::size_t before = test::openDescriptorCount();

  // Across file systems (where there are two) the move copies and deletes the whole depth.
  const std::string error = moveError(disk / "levels/deep", shm / "un_levels/deep");
  TFindFile search;
  search.setLocation(shm / "un_levels");
  search.setFilename("*.inf");
  search.setContaining("Torvane .INF file structure");
  std::vector<std::string> found;
  search.OnFound = [&](TFindFile*, const std::string& folder, TSearchRec& rec) { found.push_back(folder + "/" + rec.Name); };
  search.Execute();
  const std::string copyError = test::errorOf([&] {
    CopyFolder(shm / "un_levels/deep", disk / "copy/deep");
    DeleteFolder(shm / "un_levels/deep");
  });
  const std::size_t after = test::openDescriptorCount();
  ::setrlimit(RLIMIT_NOFILE, &saved);

  EXPECT_EQ(error, "");
  EXPECT_FALSE(fs::exists(disk / "levels/deep"));
  std::string bottom = shm / "un_levels/deep";
  for (int i = 0; i < depth; ++i) bottom += "/d";
  EXPECT_EQ(found, std::vector<std::string>{bottom + "/bottom.inf"});
  EXPECT_EQ(search.SkippedFolders(), 0u);
  EXPECT_EQ(copyError, "");
  EXPECT_FALSE(fs::exists(shm / "un_levels/deep"));
  std::string half = disk / "copy/deep";
  for (int i = 0; i <= halfWay; ++i) half += "/d";
  EXPECT_EQ(readFile(half + "/half.txt"), "half");
  EXPECT_EQ(after, before) << "descriptors left open";
}

// A folder closed for the budget is reopened by name when the walk comes back to it, but not when
// the name has come to mean another folder meanwhile: the walk never goes on in a foreign tree.
TEST(FolderChain, ReopensClosedFoldersOnlyWhenTheyAreStillTheSame) {
  TempDir tmp;
  test::makeDirs(tmp / "a/d/d/d/d/d/d/d/d/d/d");
  FolderChain chain(4);
  chain.start(::openat(AT_FDCWD, tmp.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  ASSERT_TRUE(chain.enter("a"));
  for (int i = 0; i < 10; ++i) ASSERT_TRUE(chain.enter("d"));
  EXPECT_EQ(chain.openCount(), 4u);
  EXPECT_FALSE(chain.enter("missing"));
  for (int i = 0; i < 3; ++i) chain.leave();
  struct stat st {};
  ASSERT_EQ(::fstat(chain.fd(), &st), 0);  // a/d x7, reached up through ".."
  EXPECT_EQ(st.st_ino, statOf(tmp / "a/d/d/d/d/d/d/d").st_ino);
  EXPECT_EQ(chain.openCount(), 2u);  // the start folder and the current one
  for (int i = 0; i < 3; ++i) chain.leave();
  // The walk's folder moved away and the name of its parent taken by another folder: neither the
  // way up nor the way down by name leads back, and the chain says so.
  fs::rename(tmp / "a/d/d/d/d", tmp / "away");
  fs::rename(tmp / "a/d/d/d", tmp / "moved");
  test::makeDirs(tmp / "a/d/d/d");
  chain.leave();
  EXPECT_EQ(chain.fd(), -1);
  EXPECT_EQ(errno, ESTALE);
  EXPECT_EQ(chain.openCount(), 1u);
}

}  // namespace
}  // namespace pitkit
