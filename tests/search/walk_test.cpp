// The walk on real folders: order, dot names, skipped subtrees, links, the acceptance test's
// filters, unreadable and vanishing entries.
#include "platform/Posix.h"
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <set>

#include "search/FindFile.h"
#include "search_support.h"
#include "support/ChildProcess.h"
#include "support/LinuxOnly.h"
#include "support/RunProgram.h"
#include "support/OddEntries.h"
#include "support/TempDir.h"

namespace pitkit {
namespace {

using test::Recorder;
using test::TempDir;

const char* const kMarker = "Torvane .INF file structure";

std::vector<std::string> sorted(std::vector<std::string> v) {
  std::sort(v.begin(), v.end());
  return v;
}

// Runs a search of `folder` for `mask` and returns the found paths, sorted.
std::vector<std::string> search(TFindFile& f, const std::string& folder, const std::string& mask) {
  f.setLocation(folder);
  f.setFilename(mask);
  Recorder r(f);
  f.Execute();
  EXPECT_EQ(r.completions, 1);
  return sorted(r.found);
}

// Sets the last-write and last-access times of a file to local times.
void setTimes(const std::string& path, std::tm modified, std::tm accessed) {
  modified.tm_isdst = -1;
  accessed.tm_isdst = -1;
  const timespec times[2] = {{std::mktime(&accessed), 0}, {std::mktime(&modified), 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

std::tm localTm(int y, int mo, int d, int h, int mi) {
  std::tm t{};
  t.tm_year = y - 1900;
  t.tm_mon = mo - 1;
  t.tm_mday = d;
  t.tm_hour = h;
  t.tm_min = mi;
  return t;
}

TEST(SearchWalk, ReportsAFoldersMatchesBeforeEnteringItsSubfoldersDepthFirst) {
  TempDir t;
  for (const char* p : {"a.inf", "b.inf", "note.txt", "s1/c.inf", "s1/deep/d.inf", "s1/deep/e.inf",
                        "s2/f.inf", "s2/x/y/g.inf", "s3/none.txt"})
    test::writeFile(t / p, "x");
  TFindFile f;
  f.setFilename("*.inf");
  f.setLocation(t.path());
  Recorder r(f);
  f.Execute();

  ASSERT_FALSE(r.events.empty());
  EXPECT_EQ(r.events.front(), "new " + t.path()) << "the start folder is announced first";
  EXPECT_EQ(r.events.back(), "complete");
  std::vector<std::string> announced;
  std::string current;
  for (const std::string& e : r.events) {
    if (e.rfind("new ", 0) == 0) {
      const std::string folder = e.substr(4);
      // Depth first: a folder is entered only from its parent's subtree, so the parent is the
      // folder itself or an ancestor of the folder announced before it.
      const std::string parent = folder.substr(0, folder.rfind('/'));
      if (!announced.empty())
        EXPECT_EQ((announced.back() + "/").rfind(parent + "/", 0), 0u) << folder << " after " << announced.back();
      announced.push_back(folder);
      current = folder;
    } else if (e.rfind("found ", 0) == 0) {
      // Every match of a folder is reported right after the folder is announced, before any
      // subfolder of it is.
      EXPECT_EQ(e.substr(6, e.rfind(' ') - 6), current) << e;
    }
  }
  EXPECT_EQ(sorted(announced), sorted({t.path(), t / "s1", t / "s1/deep", t / "s2", t / "s2/x",
                                       t / "s2/x/y", t / "s3"}));
  EXPECT_EQ(sorted(r.found), sorted({t / "a.inf", t / "b.inf", t / "s1/c.inf", t / "s1/deep/d.inf",
                                     t / "s1/deep/e.inf", t / "s2/f.inf", t / "s2/x/y/g.inf"}));

  // Without subfolders only the start folder is searched.
  TFindFile flat;
  flat.setSubfolders(false);
  EXPECT_EQ(search(flat, t.path(), "*.inf"), sorted({t / "a.inf", t / "b.inf"}));
}

TEST(SearchWalk, DotNamesFoldersAndLinksAreHandledAsTheGameTreeNeeds) {
  TempDir t;
  test::writeFile(t / ".hidden.inf", "x");
  test::writeFile(t / ".git/x.inf", "x");
  test::writeFile(t / "Über Bahn/Über Bahn.inf", "x");
  test::writeFile(t / "UPPER.INF", "x");
  test::makeDirs(t / "folder.inf");
  test::writeFile(t / "outside/o.inf", "x");
  // Links where they can be made (not on Windows).
  const bool links = test::makeSymlink(t / "outside", t / "linked") &&
                     test::makeSymlink(t / "outside/o.inf", t / "filelink.inf") &&
                     test::makeSymlink(t.path(), t / "outside/loop");
  if (test::kOnLinux) ASSERT_TRUE(links);

  TFindFile f;
  f.setLocation(t.path());
  f.setFilename("*.inf");
  Recorder r(f);
  f.Execute();
  // No dot names, no plain folder under the default attributes, no descent through a link (the
  // loop back to the start is never followed); a link to a file is reported as that file.
  std::vector<std::string> expected{t / "Über Bahn/Über Bahn.inf", t / "UPPER.INF", t / "outside/o.inf"};
  if (links) expected.push_back(t / "filelink.inf");
  EXPECT_EQ(sorted(r.found), sorted(expected));
  for (const std::string& e : r.events) {
    EXPECT_EQ(e.find(".git"), std::string::npos) << e;
    EXPECT_EQ(e.find("linked"), std::string::npos) << e;
    EXPECT_EQ(e.find("loop"), std::string::npos) << e;
  }

  // With the directory member a matching folder is reported, with its directory bit.
  TFindFile dirs;
  dirs.setAttributes({ffDirectory});
  dirs.setSubfolders(false);
  std::vector<std::uint32_t> attrs;
  dirs.OnFound = [&](TFindFile*, const std::string&, TSearchRec& rec) {
    if (rec.Name == "folder.inf") attrs.push_back(rec.Attr);
  };
  dirs.setLocation(t.path());
  dirs.setFilename("*.inf");
  dirs.Execute();
  ASSERT_EQ(attrs.size(), 1u);
  EXPECT_EQ(attrs[0] & faDirectory, faDirectory);
}

TEST(SearchWalk, IgnoreFolderSkipsTheWholeSubtree) {
  TempDir t;
  for (const char* p : {"a.inf", "skip/b.inf", "skip/deeper/c.inf", "keep/d.inf"}) test::writeFile(t / p, "x");
  TFindFile f;
  f.setLocation(t.path());
  f.setFilename("*.inf");
  Recorder r(f);
  std::vector<std::string> announced;
  f.OnNewFolder = [&](TFindFile*, const std::string& folder, bool& ignore) {
    announced.push_back(folder);
    ignore = folder == t / "skip";
  };
  f.Execute();
  EXPECT_EQ(sorted(r.found), sorted({t / "a.inf", t / "keep/d.inf"}));
  EXPECT_EQ(sorted(announced), sorted({t.path(), t / "skip", t / "keep"}));
}

TEST(SearchWalk, FoldersAndFilesThatVanishMidwayEndNothing) {
  TempDir t;
  for (const char* p : {"a/1.inf", "b/2.inf", "c/3.inf"}) test::writeFile(t / p, "Torvane .INF file structure");
  TFindFile f;
  f.setLocation(t.path());
  f.setFilename("*.inf");
  f.setContaining(kMarker);
  Recorder r(f);
  // Whichever folder comes first removes the other two folders' contents as they are announced.
  f.OnNewFolder = [&](TFindFile*, const std::string& folder, bool&) {
    if (folder == t / "b") test::removeTree(t / "b");
    if (folder == t / "c") ::unlink((t / "c/3.inf").c_str());
  };
  f.Execute();
  EXPECT_EQ(r.found, std::vector<std::string>{t / "a/1.inf"});
  EXPECT_EQ(r.completions, 1);
  EXPECT_FALSE(f.Aborted());
}

TEST(SearchWalk, AttributeAndSizeFilters) {
  TempDir t;
  test::writeFile(t / "small.dat", std::string(10, 'x'));
  test::writeFile(t / "mid.dat", std::string(100, 'x'));
  test::writeFile(t / "big.dat", std::string(1000, 'x'));
  test::writeFile(t / "ro.dat", std::string(100, 'x'));
  ASSERT_EQ(::chmod((t / "ro.dat").c_str(), 0444), 0);

  TFindFile f;
  f.setSizeMin(100);
  EXPECT_EQ(search(f, t.path(), "*.dat"), sorted({t / "mid.dat", t / "big.dat", t / "ro.dat"}));
  f.setSizeMax(100);
  EXPECT_EQ(search(f, t.path(), "*.dat"), sorted({t / "mid.dat", t / "ro.dat"}));
  f.setSizeMin(0);
  EXPECT_EQ(search(f, t.path(), "*.dat"), sorted({t / "small.dat", t / "mid.dat", t / "ro.dat"}));

  // Exact attributes: the set must be equal; otherwise sharing one member is enough.
  TFindFile exact;
  exact.setExactAttribute(true);
  exact.setAttributes({ffArchive});
  EXPECT_EQ(search(exact, t.path(), "*.dat"), sorted({t / "small.dat", t / "mid.dat", t / "big.dat"}));
  exact.setAttributes({ffArchive, ffReadonly});
  EXPECT_EQ(search(exact, t.path(), "*.dat"), std::vector<std::string>{t / "ro.dat"});
  TFindFile anyOf;
  anyOf.setAttributes({ffReadonly});
  EXPECT_EQ(search(anyOf, t.path(), "*.dat"), std::vector<std::string>{t / "ro.dat"});

  // A pipe has none of the attribute bits: an empty set passes any Attributes unless they must
  // be equal, and then only the empty Attributes admit it.
  const bool fifo = test::makeFifo(t / "pipe.fifo");
  if (test::kOnLinux) ASSERT_TRUE(fifo);
  if (fifo) {
    EXPECT_EQ(search(anyOf, t.path(), "*.fifo"), std::vector<std::string>{t / "pipe.fifo"});
    EXPECT_TRUE(search(exact, t.path(), "*.fifo").empty());
    exact.setAttributes({});
    EXPECT_EQ(search(exact, t.path(), "*"), std::vector<std::string>{t / "pipe.fifo"});
  }

  // The record describes the entry.
  TFindFile rec;
  rec.setLocation(t.path());
  rec.setFilename("ro.dat");
  TSearchRec seen;
  rec.OnFound = [&](TFindFile*, const std::string&, TSearchRec& r) { seen = r; };
  rec.Execute();
  EXPECT_EQ(seen.Name, "ro.dat");
  EXPECT_EQ(seen.Size, 100);
  EXPECT_EQ(seen.Attr, faArchive | faReadOnly);
  EXPECT_EQ(seen.FindData.cFileName, "ro.dat");
  EXPECT_EQ(seen.FindData.nFileSizeLow, 100u);
  EXPECT_NE(seen.Time, 0);
}

// Sizes of 2 GiB and more: the bounds see the whole size, not its low 32 bits as a signed number.
// Sparse files make the sizes without the disk space.
TEST(SearchWalk, SizeBoundsCompareWholeSizesBeyondFourGiB) {
  TempDir t;
  constexpr off_t kGiB = off_t{1} << 30;
  for (const auto& [name, size] : {std::pair{"three.dat", 3 * kGiB}, std::pair{"four.dat", 4 * kGiB + 10},
                                   std::pair{"small.dat", off_t{500}}}) {
    const int fd = ::openat(AT_FDCWD, (t / name).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, size), 0);
    ::close(fd);
  }
  struct Case {
    std::int32_t min, max;
    std::vector<std::string> found;
  };
  for (const Case& c : {Case{0, 100, {}}, Case{1000, 0, {"four.dat", "three.dat"}}, Case{0, 1000, {"small.dat"}},
                        Case{100, 0, {"four.dat", "small.dat", "three.dat"}}}) {
    TFindFile f;
    f.setSizeMin(c.min);
    f.setSizeMax(c.max);
    std::vector<std::string> expected;
    for (const std::string& name : c.found) expected.push_back(t / name);
    EXPECT_EQ(search(f, t.path(), "*.dat"), expected) << "min " << c.min << " max " << c.max;
  }
}

TEST(SearchWalk, DateFiltersTestTheirPairWithDateOnlyAndTimeOnlyBounds) {
  TempDir t;
  test::writeFile(t / "old.dat", "x");
  test::writeFile(t / "new.dat", "x");
  setTimes(t / "old.dat", localTm(2001, 5, 3, 10, 0), localTm(2020, 1, 1, 8, 0));
  setTimes(t / "new.dat", localTm(2010, 7, 1, 12, 0), localTm(2003, 1, 1, 8, 0));

  TFindFile f;
  f.setModifiedBefore(encodeDateTime(2005, 1, 1));
  EXPECT_EQ(search(f, t.path(), "*.dat"), std::vector<std::string>{t / "old.dat"});
  f.setModifiedBefore(0);
  f.setModifiedAfter(encodeDateTime(2010, 7, 1));  // date only: the same day counts
  EXPECT_EQ(search(f, t.path(), "*.dat"), std::vector<std::string>{t / "new.dat"});
  f.setModifiedAfter(encodeDateTime(2010, 7, 1, 12, 0, 1));  // date and time: one second later
  EXPECT_TRUE(search(f, t.path(), "*.dat").empty());
  f.setModifiedAfter(0);
  f.setModifiedBefore(encodeDateTime(1899, 12, 30, 11, 0));  // time of day only: up to 11:00
  EXPECT_EQ(search(f, t.path(), "*.dat"), std::vector<std::string>{t / "old.dat"});

  TFindFile accessed;
  accessed.setAccessedAfter(encodeDateTime(2015, 1, 1));
  EXPECT_EQ(search(accessed, t.path(), "*.dat"), std::vector<std::string>{t / "old.dat"});

  TFindFile created;
  created.setCreatedAfter(encodeDateTime(2999, 1, 1));
  EXPECT_TRUE(search(created, t.path(), "*.dat").empty());
  created.setCreatedAfter(0);
  created.setCreatedBefore(encodeDateTime(2999, 1, 1));
  EXPECT_EQ(search(created, t.path(), "*.dat"), sorted({t / "old.dat", t / "new.dat"}));

  // The record's packed time is the local last-write time.
  TFindFile rec;
  rec.setLocation(t.path());
  rec.setFilename("old.dat");
  std::int32_t packed = 0;
  rec.OnFound = [&](TFindFile*, const std::string&, TSearchRec& r) { packed = r.Time; };
  rec.Execute();
  EXPECT_EQ(packed, static_cast<std::int32_t>(((2001 - 1980) << 25) | (5 << 21) | (3 << 16) | (10 << 11)));
}

TEST(SearchWalk, ExclusionsRejectByMaskAndFolderPart) {
  TempDir t;
  for (const char* p : {"a.inf", "a.bak", "README", "sub/b.inf", "sub/c.txt", "other/sub2/d.inf"})
    test::writeFile(t / p, "x");
  TFindFile f;
  f.setExcludeFiles({"*.bak", "sub/*.inf"});
  EXPECT_EQ(search(f, t.path(), "*"), sorted({t / "a.inf", t / "README", t / "sub/c.txt", t / "other/sub2/d.inf"}));
  // "*.*" never excludes a name without a dot.
  f.setExcludeFiles({"*.*"});
  EXPECT_EQ(search(f, t.path(), "*"), std::vector<std::string>{t / "README"});
  // A full folder excludes that folder only; letter case is ignored.
  f.setExcludeFiles({t / "OTHER/SUB2/"});
  EXPECT_EQ(search(f, t.path(), "*.inf"), sorted({t / "a.inf", t / "sub/b.inf"}));
}

TEST(SearchWalk, ContentTestOverTheTree) {
  TempDir t;
  test::writeFile(t / "lower/lower.inf", "; torvane .inf file structure\r\nNAME 'x'\r\n");
  test::writeFile(t / "plain/plain.inf", "NAME 'no marker here'\r\n");
  std::string across(4096 - 10, ' ');
  across += kMarker;
  test::writeFile(t / "across/across.inf", across);
  test::writeFile(t / "other/other.txt", kMarker);

  TFindFile f;
  f.setContaining(kMarker);
  EXPECT_EQ(search(f, t.path(), "*.inf"), sorted({t / "lower/lower.inf", t / "across/across.inf"}));
  f.setIgnoreCase(false);
  EXPECT_EQ(search(f, t.path(), "*.inf"), std::vector<std::string>{t / "across/across.inf"});
  // Folders are accepted without a content test.
  TFindFile dirs;
  dirs.setAttributes({ffDirectory});
  dirs.setContaining(kMarker);
  EXPECT_EQ(search(dirs, t.path(), "*"), sorted({t / "lower", t / "plain", t / "across", t / "other"}));
}

// A candidate that cannot be read is skipped and the walk goes on. Permissions do not stop root,
// so the search runs in a child that drops to an unprivileged user.
TEST(SearchWalkDeathTest, AnUnreadableCandidateIsSkippedAndTheWalkGoesOn) {
  PITKIT_LINUX_ONLY("another user, whom permission bits stop, in a forked child; a Unix socket");
  TempDir t;
  test::writeFile(t / "a/1.inf", kMarker);
  test::writeFile(t / "b/locked.inf", kMarker);
  test::writeFile(t / "c/3.inf", kMarker);
  // A folder the user may not open is passed over and counted; the folders after it are searched.
  test::writeFile(t / "closed/hidden.inf", kMarker);
  test::writeFile(t / "closed/sub/deeper.inf", kMarker);
  test::writeFile(t / "e/f/5.inf", kMarker);
  ASSERT_EQ(::chmod(t.path().c_str(), 0755), 0);
  for (const char* d : {"a", "b", "c", "e", "e/f"}) ASSERT_EQ(::chmod((t / d).c_str(), 0755), 0);
  ASSERT_EQ(::chmod((t / "e/f/5.inf").c_str(), 0644), 0);
  ASSERT_EQ(::chmod((t / "closed").c_str(), 0700), 0);
  for (const char* p : {"a/1.inf", "c/3.inf"}) ASSERT_EQ(::chmod((t / p).c_str(), 0644), 0);
  ASSERT_EQ(::chmod((t / "b/locked.inf").c_str(), 0000), 0);
  // A socket where a file is expected cannot be opened either, not even by root.
  const test::BoundSocket socket(t / "b/sock.inf");
  ASSERT_TRUE(socket.made());

  const test::ChildOutcome child = test::runInChild(test::asUnprivilegedUser(), [&]() -> std::string {
    TFindFile f;
    f.setLocation(t.path());
    f.setFilename("*.inf");
    f.setContaining(kMarker);
    Recorder r(f);
    f.Execute();
    const bool ok = sorted(r.found) == sorted({t / "a/1.inf", t / "c/3.inf", t / "e/f/5.inf"}) &&
                    r.completions == 1 && !f.Aborted() && f.SkippedFolders() == 1;
    return ok ? "" : "found " + std::to_string(r.found.size()) + " files, skipped " +
                         std::to_string(f.SkippedFolders()) + " folders";
  });
  ASSERT_TRUE(child.exited) << child;
  EXPECT_EQ(child.exitCode, 0) << child;
}

}  // namespace
}  // namespace pitkit

namespace pitkit {
namespace {

// The sample game the demo and the benchmark use: the organizers' searches find every level and
// car it writes, including the level whose folder has a space and a non-ASCII letter.
TEST(SampleGame, TheOrganizerSearchesFindEveryLevelAndCar) {
  TempDir t;
  const std::string game = t / "game";
  ASSERT_EQ(test::runProgram(test::programOfBuild(MAKE_SAMPLE_GAME),
                             {game, "--levels", "5", "--uninstalled", "2", "--cars", "3", "--garage", "1"}),
            0);

  TFindFile levels;
  levels.setContaining(kMarker);
  const auto installed = search(levels, game + "/levels/", "*.inf");
  EXPECT_EQ(installed.size(), 19u + 5u);
  EXPECT_NE(std::find(installed.begin(), installed.end(), game + "/levels/Über Bahn/Über Bahn.inf"), installed.end());
  EXPECT_EQ(search(levels, game + "/un_levels/", "*.inf").size(), 2u);

  TFindFile cars;
  cars.setContaining("; Model Filenames");
  EXPECT_EQ(search(cars, game + "/cars", "parameters.txt").size(), 35u + 3u);
  EXPECT_EQ(search(cars, game + "/garage", "parameters.txt").size(), 1u);

  // Each custom level has the 35 files of its set.
  TFindFile set;
  set.setSubfolders(false);
  EXPECT_EQ(search(set, game + "/levels/Über Bahn", "Über Bahn*").size(), 35u);
  EXPECT_EQ(test::readFile(game + "/gfx/pellmoor.bmp").substr(0, 2), "BM");
  EXPECT_EQ(test::readFile(game + "/noavail.bmp").substr(0, 2), "BM");
}

}  // namespace
}  // namespace pitkit
