// The component's surface: setter checks, targets, the event form of folders, completion and
// Execute from inside the events.
#include <gtest/gtest.h>

#include "search/FindFile.h"
#include "search_support.h"
#include "support/LinuxOnly.h"
#include "support/TempDir.h"

namespace pitkit {
namespace {

using test::Recorder;
using test::TempDir;

// The targets of a run, read from inside its first event.
std::vector<std::string> targetsOf(TFindFile& f) {
  std::vector<std::string> targets;
  f.OnNewFolder = [&](TFindFile* sender, const std::string&, bool& ignore) {
    if (targets.empty()) targets = sender->Targets();
    ignore = true;
  };
  f.Execute();
  return targets;
}

TEST(FindFileSetters, RejectBadValuesWithTheirMessagesAndKeepTheOldValue) {
  TFindFile f;
  EXPECT_EQ(f.Filename(), "*.*");
  EXPECT_EQ(f.Attributes(), (TFileAttributes{ffArchive, ffReadonly, ffHidden, ffSystem}));
  EXPECT_TRUE(f.Subfolders());
  EXPECT_TRUE(f.IgnoreCase());

  f.setFilename("*.inf");
  try {
    f.setFilename("levels/*.inf");
    FAIL() << "a folder part was accepted";
  } catch (const EFindFileError& e) {
    EXPECT_STREQ(e.what(), "levels/*.inf\n\rInvalid filename specified");
  }
  EXPECT_EQ(f.Filename(), "*.inf");

  f.setLocation("/games/rc/levels/");
  for (const std::string bad : {"/games/*/levels", "/games/rc?/levels"}) {
    try {
      f.setLocation(bad);
      FAIL() << "wildcards were accepted in " << bad;
    } catch (const EFindFileError& e) {
      EXPECT_EQ(std::string(e.what()), bad + "\n\rlocation cannot to be contained wildcards");
    }
  }
  EXPECT_EQ(f.Location(), "/games/rc/levels/");

  // Spaces, non-ASCII letters and several folders are fine.
  f.setLocation("/g h/Über Bahn;/x");
  EXPECT_EQ(f.Location(), "/g h/Über Bahn;/x");
  f.setFilename("");
  EXPECT_EQ(f.Filename(), "");
}

TEST(FindFileTargets, MaskAndFoldersAreBuiltAndDuplicatesDroppedIgnoringCase) {
  TempDir t;
  test::WorkingFolder cwd(t.path());
  TFindFile f;

  f.setFilename("parameters");
  f.setLocation(t / "A;" + t / "a");
  EXPECT_EQ(targetsOf(f), std::vector<std::string>{t / "A/parameters.*"});

  f.setFilename("");
  f.setLocation(t / "A/;");
  EXPECT_EQ(targetsOf(f), std::vector<std::string>{t / "A/*.*"});

  f.setFilename("*.inf");
  f.setLocation("");
  EXPECT_EQ(targetsOf(f), std::vector<std::string>{t.path() + "/*.inf"});

  f.setLocation(";");
  EXPECT_EQ(targetsOf(f), std::vector<std::string>{t.path() + "/*.inf"});

  // Relative pieces are made absolute; an empty piece inside the text is the current folder;
  // the text ends at a trailing ";" or ";;".
  f.setLocation("sub;" + t / "B;;" + t / "b;;");
  EXPECT_EQ(targetsOf(f),
            (std::vector<std::string>{t / "sub/*.inf", t / "B/*.inf", t.path() + "/*.inf"}));

  // Explicit targets replace Location and Filename, taken as they are.
  f.setIncludeFiles({t / "x/*.txt", t / "X/*.TXT"});
  EXPECT_EQ(targetsOf(f), (std::vector<std::string>{t / "x/*.txt", t / "X/*.TXT"}));
  EXPECT_TRUE(f.Targets().empty()) << "the targets are freed when the run completes";
}

// A working folder removed under the program: relative and empty location pieces name a folder
// that is gone, so nothing is found, and never the file system's top.
TEST(FindFileTargets, RelativePiecesOfAVanishedWorkingFolderFindNothing) {
  TempDir t;
  test::makeDirs(t / "gone");
  test::WorkingFolder cwd(t / "gone");
  test::removeTree(t / "gone");
  TFindFile f;
  f.setSubfolders(false);
  for (const std::string location : {"", "sub", ";levels;"}) {
    f.setLocation(location);
    Recorder r(f);
    std::vector<std::string> targets;
    f.OnNewFolder = [&](TFindFile* sender, const std::string& folder, bool&) {
      if (targets.empty()) targets = sender->Targets();
      r.events.push_back("new " + folder);
    };
    f.Execute();
    EXPECT_TRUE(r.found.empty()) << "location '" << location << "' found " << r.found.size() << " entries";
    EXPECT_EQ(r.completions, 1);
    for (const std::string& target : targets) EXPECT_NE(target.front(), '/') << target;
    for (const std::string& e : r.events) EXPECT_NE(e, "new /");
  }
}

TEST(FindFileEvents, FoldersReachTheHandlersWithoutTheirTrailingSeparatorExceptTheRoot) {
  TempDir t;
  test::makeDirs(t / "Games/sub");
  test::writeFile(t / "Games/sub/x.inf", "x");
  TFindFile f;
  f.setFilename("*.inf");
  f.setLocation(t / "Games/");
  Recorder r(f);
  f.Execute();
  EXPECT_EQ(r.events, (std::vector<std::string>{"new " + t / "Games", "new " + t / "Games/sub",
                                                "found " + t / "Games/sub x.inf", "complete"}));

  // The root of the system's file tree (of the system drive on Windows).
  const std::string top = test::kOnLinux ? "/" : "C:/";
  TFindFile root;
  root.setLocation(top);
  root.setSubfolders(false);
  root.setFilename("no-such-entry-name.none");
  Recorder rr(root);
  root.Execute();
  EXPECT_EQ(rr.events, (std::vector<std::string>{"new " + top, "complete"}));
}

TEST(FindFileRun, ExecuteInsideFoundIsIgnoredAndInsideCompleteStartsANewRun) {
  TempDir t;
  test::writeFile(t / "a.inf", "a");
  test::writeFile(t / "b.inf", "b");
  TFindFile f;
  f.setFilename("*.inf");
  f.setLocation(t.path());
  int found = 0, completions = 0;
  bool busyInComplete = true;
  f.OnFound = [&](TFindFile* sender, const std::string&, TSearchRec&) {
    ++found;
    EXPECT_TRUE(sender->Busy());
    sender->Execute();  // ignored: a run is in progress
  };
  f.OnComplete = [&](TFindFile* sender) {
    busyInComplete = sender->Busy();
    if (++completions == 1) sender->Execute();  // starts the second run
  };
  f.Execute();
  EXPECT_EQ(found, 4);
  EXPECT_EQ(completions, 2);
  EXPECT_FALSE(busyInComplete);
  EXPECT_FALSE(f.Busy());
}

TEST(FindFileRun, CompletesOnceWhateverEndsTheRun) {
  TempDir t;
  for (const char* name : {"a.inf", "b.inf", "c.inf", "sub/d.inf"}) test::writeFile(t / name, "x");

  // The start folder skipped: nothing found, one completion.
  TFindFile skipped;
  skipped.setLocation(t.path());
  Recorder rs(skipped);
  skipped.OnNewFolder = [](TFindFile*, const std::string&, bool& ignore) { ignore = true; };
  skipped.Execute();
  EXPECT_TRUE(rs.found.empty());
  EXPECT_EQ(rs.completions, 1);

  // Aborted set by a handler: the walk stops at once and the run still completes once.
  TFindFile aborted;
  aborted.setFilename("*.inf");
  aborted.setLocation(t.path());
  Recorder ra(aborted);
  aborted.OnFound = [&](TFindFile* sender, const std::string&, TSearchRec&) {
    ra.found.push_back("x");
    sender->setAborted(true);
  };
  aborted.Execute();
  EXPECT_EQ(ra.found.size(), 1u);
  EXPECT_EQ(ra.completions, 1);
  EXPECT_TRUE(aborted.Aborted());

  // A handler's error ends the walk like any error that escapes it; Aborted is cleared by the
  // next run.
  TFindFile failing;
  failing.setLocation(t.path());
  Recorder rf(failing);
  failing.OnFound = [](TFindFile*, const std::string&, TSearchRec&) { throw Exception("boom"); };
  EXPECT_NO_THROW(failing.Execute());
  EXPECT_TRUE(failing.Aborted());
  EXPECT_EQ(rf.completions, 1);
  failing.OnFound = nullptr;
  failing.Execute();
  EXPECT_FALSE(failing.Aborted());
  EXPECT_EQ(rf.completions, 2);

  // A start folder that does not exist: announced, nothing listed, no error.
  TFindFile missing;
  missing.setLocation(t / "no such folder");
  Recorder rm(missing);
  missing.Execute();
  EXPECT_EQ(rm.events, (std::vector<std::string>{"new " + t / "no such folder", "complete"}));
}

TEST(FindFileRun, ARunKeepsItsSnapshotWhenPropertiesChange) {
  TempDir t;
  test::writeFile(t / "a.inf", "marker");
  test::writeFile(t / "b.txt", "marker");
  TFindFile f;
  f.setFilename("*.inf");
  f.setLocation(t.path());
  f.setContaining("marker");
  Recorder r(f);
  f.OnNewFolder = [](TFindFile* sender, const std::string&, bool&) {
    sender->setFilename("*.txt");
    sender->setContaining("nothing like it");
    sender->setLocation("/");
  };
  f.Execute();
  EXPECT_EQ(r.found, std::vector<std::string>{t / "a.inf"});
}

TEST(FindFileThreadPriority, MapsToThePlatformValues) {
  EXPECT_EQ(threadPriorityValue(tpIdle), -15);
  EXPECT_EQ(threadPriorityValue(tpLowest), -2);
  EXPECT_EQ(threadPriorityValue(tpNormal), 0);
  EXPECT_EQ(threadPriorityValue(tpHighest), 2);
  EXPECT_EQ(threadPriorityValue(tpTimeCritical), 15);
}

}  // namespace
}  // namespace pitkit
