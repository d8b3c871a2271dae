// CopyFolder and DeleteFolder on real temporary folders.
#include "transfer/FolderTransfer.h"

#include <gtest/gtest.h>
#include "platform/Posix.h"

#include <cstring>
#include <filesystem>
#include <set>

#include "platform/Errors.h"
#include "support/ChildProcess.h"
#include "support/ErrorOf.h"
#include "support/LinuxFileSystems.h"
#include "support/LinuxOnly.h"
#include "support/TempDir.h"

namespace pitkit {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::TempDir;
using test::writeFile;

using test::namesIn;
using Names = std::set<std::string>;

// "" when `action` (the copy, the delete) fails with an error holding `expected`, else what
// happened instead.
std::string failureOf(const std::string& action, const std::function<void()>& run, const std::string& expected) {
  const std::string error = test::errorOf<EOSError>(run);
  if (error.empty()) return "the " + action + " did not fail";
  return error.find(expected) != std::string::npos ? "" : "the " + action + " failed with " + error;
}
std::string copyError(const std::string& from, const std::string& to, const std::string& expected) {
  return failureOf("copy", [&] { CopyFolder(from, to); }, expected);
}
std::string deleteError(const std::string& folder, const std::string& expected) {
  return failureOf("delete", [&] { DeleteFolder(folder); }, expected);
}

// Windows keeps no permission bits beyond read-only: a folder's mode stays 0755 there.
constexpr mode_t kDeepFolderMode = test::kOnLinux ? 0750 : 0755;

mode_t modeOf(const std::string& path) { return test::statOf(path).st_mode & 07777; }

// A level folder with nested folders, a read-only file, a big file and an empty folder.
void makeLevel(const std::string& folder) {
  writeFile(folder + "/mytrack.inf", "Torvane .INF file structure\r\nNAME 'My Track'\r\n");
  writeFile(folder + "/readme.txt", "drive fast\r\n");
  writeFile(folder + "/models/deep/er/mesh.m", std::string(3 * 1024 * 1024 + 17, 'x'));
  writeFile(folder + "/locked.dat", "read only");
  ::chmod((folder + "/locked.dat").c_str(), 0444);
  fs::create_directories(folder + "/empty");
  ::chmod((folder + "/models/deep").c_str(), 0750);
}

void expectSameLevel(const std::string& copy) {
  EXPECT_EQ(readFile(copy + "/mytrack.inf"), "Torvane .INF file structure\r\nNAME 'My Track'\r\n");
  EXPECT_EQ(readFile(copy + "/models/deep/er/mesh.m"), std::string(3 * 1024 * 1024 + 17, 'x'));
  EXPECT_EQ(readFile(copy + "/locked.dat"), "read only");
  EXPECT_EQ(modeOf(copy + "/locked.dat"), 0444u);
  EXPECT_EQ(modeOf(copy + "/models/deep"), kDeepFolderMode);
  EXPECT_TRUE(fs::is_directory(copy + "/empty"));
}

TEST(CopyFolder, CopiesNestedTreeWithBitsAndTimes) {
  TempDir tmp;
  makeLevel(tmp / "levels/mytrack");
  // A known modification time on the file and on a folder, to see that both are kept.
  const struct timespec times[2] = {{1000000000, 0}, {1200000000, 500}};
  ASSERT_EQ(::utimensat(AT_FDCWD, (tmp / "levels/mytrack/readme.txt").c_str(), times, 0), 0);
  ASSERT_EQ(::utimensat(AT_FDCWD, (tmp / "levels/mytrack/models").c_str(), times, 0), 0);
  fs::create_directories(tmp / "un_levels");

  TransferProgress progress;
  const std::string placed = CopyFolder(tmp / "levels/mytrack", tmp / "un_levels/mytrack", &progress);

  EXPECT_EQ(placed, tmp / "un_levels/mytrack");
  expectSameLevel(placed);
  struct stat st {};
  ASSERT_EQ(::stat((placed + "/readme.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mtim.tv_sec, 1200000000);
  ASSERT_EQ(::stat((placed + "/models").c_str(), &st), 0);
  EXPECT_EQ(st.st_mtim.tv_sec, 1200000000);
  EXPECT_GE(progress.bytes.load(), 3u * 1024 * 1024);
  EXPECT_GE(progress.entries.load(), 8u);
  // The source is untouched and no temporary folder is left beside the copy.
  expectSameLevel(tmp / "levels/mytrack");
  EXPECT_EQ(namesIn(tmp / "un_levels"), Names{"mytrack"});
}

TEST(CopyFolder, NamesTheCopyAfterTheFirstFreeNumberInsteadOfMerging) {
  TempDir tmp;
  writeFile(tmp / "src/a.inf", "new");
  writeFile(tmp / "un_levels/a/a.inf", "old");
  writeFile(tmp / "un_levels/a (2)/keep.txt", "second");

  EXPECT_EQ(CopyFolder(tmp / "src", tmp / "un_levels/a"), tmp / "un_levels/a (3)");
  EXPECT_EQ(CopyFolder(tmp / "src/", tmp / "un_levels/a/"), tmp / "un_levels/a (4)");

  EXPECT_EQ(readFile(tmp / "un_levels/a/a.inf"), "old");
  EXPECT_EQ(namesIn(tmp / "un_levels/a (2)"), Names{"keep.txt"});
  EXPECT_EQ(readFile(tmp / "un_levels/a (3)/a.inf"), "new");
  EXPECT_EQ(readFile(tmp / "un_levels/a (4)/a.inf"), "new");
  // A file of the destination's name counts as taken too.
  writeFile(tmp / "un_levels/b", "file");
  EXPECT_EQ(CopyFolder(tmp / "src", tmp / "un_levels/b"), tmp / "un_levels/b (2)");
  EXPECT_EQ(readFile(tmp / "un_levels/b"), "file");
}

TEST(CopyFolder, CreatesMissingParentsAndHandlesSpacesAndNonAsciiNames) {
  TempDir tmp;
  writeFile(tmp / "levels/Rennstrecke Müll/Rennstrecke Müll.inf", "ü");
  CopyFolder(tmp / "levels/Rennstrecke Müll", tmp / "new parent/deeper/Rennstrecke Müll");
  EXPECT_EQ(readFile(tmp / "new parent/deeper/Rennstrecke Müll/Rennstrecke Müll.inf"), "ü");
}

TEST(CopyFolder, CopiesLinksAsLinksAndNeverFollowsThem) {
  PITKIT_LINUX_ONLY("symbolic links");
  TempDir tmp;
  writeFile(tmp / "outside/secret.txt", "outside");
  writeFile(tmp / "levels/lnk/lnk.inf", "x");
  fs::create_symlink(tmp / "outside", tmp / "levels/lnk/to_outside");
  fs::create_symlink("lnk.inf", tmp / "levels/lnk/relative");
  fs::create_symlink(tmp / "missing", tmp / "levels/lnk/dangling");

  const std::string placed = CopyFolder(tmp / "levels/lnk", tmp / "un_levels/lnk");
  EXPECT_TRUE(fs::is_symlink(placed + "/to_outside"));
  EXPECT_EQ(fs::read_symlink(placed + "/to_outside"), fs::path(tmp / "outside"));
  EXPECT_EQ(fs::read_symlink(placed + "/relative"), fs::path("lnk.inf"));
  EXPECT_TRUE(fs::is_symlink(placed + "/dangling"));
  EXPECT_EQ(namesIn(tmp / "outside"), Names{"secret.txt"});
}

TEST(CopyFolder, MissingSourceRaisesTheSystemTextAndCreatesNothing) {
  TempDir tmp;
  fs::create_directories(tmp / "un_levels");
  try {
    CopyFolder(tmp / "levels/gone", tmp / "un_levels/gone");
    FAIL() << "no error";
  } catch (const EOSError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot copy " + (tmp / "levels/gone") + ": No such file or directory");
  }
  EXPECT_TRUE(namesIn(tmp / "un_levels").empty());
  // A file is not a folder to copy.
  writeFile(tmp / "plain", "x");
  EXPECT_THROW(CopyFolder(tmp / "plain", tmp / "un_levels/plain"), EOSError);
  EXPECT_TRUE(namesIn(tmp / "un_levels").empty());
}

TEST(CopyFolder, RefusesEmptyPathsAndCopiesIntoItself) {
  TempDir tmp;
  writeFile(tmp / "levels/a/a.inf", "x");
  EXPECT_THROW(CopyFolder("", tmp / "un_levels/a"), Exception);
  EXPECT_THROW(CopyFolder(tmp / "levels/a", ""), Exception);
  EXPECT_THROW(CopyFolder(tmp / "levels/a", tmp / "levels/a/inner"), Exception);
  EXPECT_THROW(CopyFolder(tmp / "levels/a", tmp / "levels/./a"), Exception);
  EXPECT_EQ(namesIn(tmp / "levels/a"), Names{"a.inf"});
  EXPECT_FALSE(fs::exists(tmp / "un_levels"));
}

TEST(CopyFolder, AUnixSocketInTheSourceFailsTheCopyAndLeavesNoPartialCopy) {
  PITKIT_LINUX_ONLY("Unix sockets");
  TempDir tmp;
  makeLevel(tmp / "levels/sock");
  // Entries are copied in listing order; the socket sits in a folder with other files around it.
  writeFile(tmp / "levels/sock/zz/after.txt", "after");
  const std::string socketPath = tmp / "levels/sock/zz/game.sock";
  const int s = test::makeUnixSocket(socketPath);
  ASSERT_GE(s, 0);
  fs::create_directories(tmp / "un_levels");

  try {
    CopyFolder(tmp / "levels/sock", tmp / "un_levels/sock");
    FAIL() << "no error";
  } catch (const EOSError& e) {
    EXPECT_NE(std::string(e.what()).find(socketPath), std::string::npos) << e.what();
  }
  test::closeSocket(s);
  EXPECT_TRUE(namesIn(tmp / "un_levels").empty());
  expectSameLevel(tmp / "levels/sock");
}

TEST(CopyFolder, AWriteThatFailsHalfWayLeavesNoPartialCopy) {
  PITKIT_LINUX_ONLY("a file-size limit in a forked child");
  TempDir tmp;
  makeLevel(tmp / "levels/big");
  fs::create_directories(tmp / "un_levels");
  // In a child process, a file size limit below the big file makes its write fail half-way.
  const test::ChildOutcome child = test::runInChild(test::withFileSizeLimit(1024 * 1024), [&] {
    return copyError(tmp / "levels/big", tmp / "un_levels/big", "File too large");
  });
  ASSERT_TRUE(child.waited) << child;
  ASSERT_TRUE(child.exited) << child;
  EXPECT_EQ(child.exitCode, 0) << child;
  EXPECT_TRUE(namesIn(tmp / "un_levels").empty());
  expectSameLevel(tmp / "levels/big");
}

TEST(CopyFolder, AFileTheUserCannotReadFailsTheCopyAsAnUnprivilegedUser) {
  PITKIT_LINUX_ONLY("another user (fork, setuid) and permission bits");
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to switch to another user";
  TempDir tmp;
  writeFile(tmp / "levels/priv/a.txt", "a");
  writeFile(tmp / "levels/priv/secret.txt", "s");
  fs::create_directories(tmp / "un_levels");
  // Everything belongs to nobody except one file only root may read.
  ASSERT_EQ(test::giveTreeTo(tmp.path(), test::kNobody), "");
  ASSERT_TRUE(test::changeOwner(tmp / "levels/priv/secret.txt", 0));
  ASSERT_EQ(::chmod((tmp / "levels/priv/secret.txt").c_str(), 0600), 0);

  const test::ChildOutcome child = test::runInChild(test::asUnprivilegedUser(), [&] {
    return copyError(tmp / "levels/priv", tmp / "un_levels/priv", "secret.txt: Permission denied");
  });
  ASSERT_TRUE(child.waited) << child;
  ASSERT_TRUE(child.exited) << child;
  EXPECT_EQ(child.exitCode, 0) << child;
  EXPECT_TRUE(namesIn(tmp / "un_levels").empty());
  EXPECT_EQ(readFile(tmp / "levels/priv/a.txt"), "a");
}

TEST(DeleteFolder, RemovesNestedTreeWithReadOnlyFilesAndFolders) {
  TempDir tmp;
  makeLevel(tmp / "levels/mytrack");
  writeFile(tmp / "levels/other/other.inf", "stays");
  ::chmod((tmp / "levels/mytrack/models/deep/er").c_str(), 0555);
  ::chmod((tmp / "levels/mytrack/empty").c_str(), 0);

  TransferProgress progress;
  DeleteFolder(tmp / "levels/mytrack", &progress);
  EXPECT_FALSE(fs::exists(tmp / "levels/mytrack"));
  EXPECT_EQ(namesIn(tmp / "levels"), Names{"other"});
  // Its first look at the folders counted what it then removed: eight entries and the folder.
  EXPECT_EQ(progress.totalEntries.load(), 9u);
  EXPECT_EQ(progress.entries.load(), 9u);
}

// An entry weighs as much as 64 KiB of contents; unknown totals give -1.
TEST(TransferPercent, WeighsEntriesAndBytesTogether) {
  const std::uint64_t k = kBytesPerEntry;
  const std::uint64_t rows[][5] = {
      // entries, bytes, total entries, total bytes, percent
      {5, 0, 0, 0, std::uint64_t(-1)},  // not counted yet
      {1, 0, 3, 0, 33},                 // a delete, rounded down
      {2, 0, 4, 2 * k, 33},             // a move: entries copied, no contents yet
      {2, 2 * k, 4, 2 * k, 66},
      {4, 3 * k, 4, 2 * k, 100},        // a file that grew meanwhile
      {0, std::uint64_t{1} << 40, 2, std::uint64_t{1} << 41, 49},
  };
  for (const auto& r : rows) EXPECT_EQ(transferPercent(r[0], r[1], r[2], r[3]), int(r[4])) << r[0] << " " << r[1];
}

TEST(DeleteFolder, RemovesLinksButNeverWhatTheyPointTo) {
  PITKIT_LINUX_ONLY("symbolic links");
  TempDir tmp;
  writeFile(tmp / "outside/secret.txt", "outside");
  writeFile(tmp / "outside/sub/deep.txt", "deep");
  writeFile(tmp / "levels/lnk/lnk.inf", "x");
  fs::create_symlink(tmp / "outside", tmp / "levels/lnk/to_outside");
  fs::create_symlink(tmp / "outside/secret.txt", tmp / "levels/lnk/file_link");
  fs::create_directories(tmp / "levels/lnk/sub");
  fs::create_symlink(tmp / "outside/sub", tmp / "levels/lnk/sub/deeper_link");

  DeleteFolder(tmp / "levels/lnk");
  EXPECT_FALSE(fs::exists(tmp / "levels/lnk"));
  EXPECT_EQ(readFile(tmp / "outside/secret.txt"), "outside");
  EXPECT_EQ(readFile(tmp / "outside/sub/deep.txt"), "deep");

  // A level folder that is itself a link: the link goes, the folder it names stays.
  fs::create_symlink(tmp / "outside", tmp / "levels/linked");
  DeleteFolder(tmp / "levels/linked/");
  EXPECT_FALSE(fs::exists(fs::symlink_status(tmp / "levels/linked")));
  EXPECT_EQ(readFile(tmp / "outside/secret.txt"), "outside");
}

TEST(DeleteFolder, MissingFolderAndEmptyPathRaiseErrors) {
  TempDir tmp;
  try {
    DeleteFolder(tmp / "levels/gone");
    FAIL() << "no error";
  } catch (const EOSError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot delete " + (tmp / "levels/gone") + ": No such file or directory");
  }
  EXPECT_THROW(DeleteFolder(""), Exception);
  EXPECT_THROW(DeleteFolder("/"), Exception);
  EXPECT_THROW(DeleteFolder(tmp / "levels/.."), Exception);
  EXPECT_TRUE(fs::exists(tmp.path()));
}

TEST(DeleteFolder, AFolderThatCannotBeEmptiedRaisesAndKeepsTheRest) {
  PITKIT_LINUX_ONLY("another user (fork, setuid) and permission bits");
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to switch to another user";
  TempDir tmp;
  writeFile(tmp / "levels/mixed/a.txt", "a");
  writeFile(tmp / "levels/mixed/rootonly/keep.txt", "k");
  ASSERT_EQ(test::giveTreeTo(tmp.path(), test::kNobody), "");
  // A folder of another user that the deleting user may not change.
  ASSERT_TRUE(test::changeOwner(tmp / "levels/mixed/rootonly", 0));
  ASSERT_EQ(::chmod((tmp / "levels/mixed/rootonly").c_str(), 0755), 0);

  const test::ChildOutcome child = test::runInChild(test::asUnprivilegedUser(), [&] {
    return deleteError(tmp / "levels/mixed", (tmp / "levels/mixed/rootonly") + " (the folder belongs to another user): Permission denied");
  });
  ASSERT_TRUE(child.waited) << child;
  ASSERT_TRUE(child.exited) << child;
  EXPECT_EQ(child.exitCode, 0) << child;
  EXPECT_EQ(readFile(tmp / "levels/mixed/rootonly/keep.txt"), "k");
  // Refused before anything went: the level is not left half deleted.
  EXPECT_EQ(readFile(tmp / "levels/mixed/a.txt"), "a");
}

TEST(DeleteFolder, AFolderWhoseParentIsReadOnlyIsLeftWhole) {
  PITKIT_LINUX_ONLY("another user (fork, setuid) and permission bits");
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to switch to another user";
  TempDir tmp;
  writeFile(tmp / "levels/fixed/fixed.inf", "x");
  writeFile(tmp / "levels/fixed/sub/data.bin", "y");
  ASSERT_EQ(test::giveTreeTo(tmp.path(), test::kNobody), "");
  ASSERT_EQ(::chmod((tmp / "levels").c_str(), 0555), 0);

  const test::ChildOutcome child = test::runInChild(test::asUnprivilegedUser(), [&]() -> std::string {
    try {
      checkFolderRemovable(tmp / "levels/fixed");
      return "checkFolderRemovable let the user remove a folder of a read-only parent";
    } catch (const EOSError&) {
    }
    return deleteError(tmp / "levels/fixed", "Cannot delete " + (tmp / "levels/fixed") + ": Permission denied");
  });
  ASSERT_TRUE(child.waited) << child;
  ASSERT_TRUE(child.exited) << child;
  EXPECT_EQ(child.exitCode, 0) << child;
  EXPECT_EQ(readFile(tmp / "levels/fixed/fixed.inf"), "x");
  EXPECT_EQ(readFile(tmp / "levels/fixed/sub/data.bin"), "y");
  EXPECT_NO_THROW(checkFolderRemovable(tmp / "levels/fixed"));  // root may
}

TEST(CheckTransferPath, RefusesEmptyPathsAndWholeGameFolders) {
  const std::string game = "/games/torvane";
  for (const std::string& bad :
       {std::string(), game, game + "/", game + "/levels", game + "/levels/", game + "//un_levels",
        game + "/cars/.", game + "/garage", game + "/levels/x/..", game + "/LEVELS", std::string("/games"),
        std::string("/")}) {
    EXPECT_THROW(checkTransferPath(game, bad), Exception) << bad;
  }
  for (const std::string& good : {game + "/levels/mytrack", game + "/un_levels/cars", game + "/garage/pack/car",
                                   std::string("/other/levels")}) {
    EXPECT_NO_THROW(checkTransferPath(game, good)) << good;
  }
}

TEST(NormalizePathLexically, RemovesDotsAndDoubledSeparators) {
  EXPECT_EQ(normalizePathLexically("/a//b/./c/"), "/a/b/c");
  EXPECT_EQ(normalizePathLexically("/a/b/../c"), "/a/c");
  EXPECT_EQ(normalizePathLexically("/.."), "/");
  EXPECT_EQ(normalizePathLexically("a/../../b"), "../b");
  EXPECT_EQ(normalizePathLexically(""), ".");
}

}  // namespace
}  // namespace pitkit
