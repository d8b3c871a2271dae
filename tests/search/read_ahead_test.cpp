// Reading ahead of the walk: the same events in the same order as the walk alone, the look-ahead
// bound, only the walk's candidates read, and no worker or handle left behind by a search that
// ends, is stopped or is destroyed.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "search/FindFile.h"
#include "search/ReadAhead.h"
#include "search/SearchWalk.h"
#include "search_support.h"
#include "support/DeepTree.h"
#include "support/TempDir.h"

namespace pitkit {
namespace {

using test::QueueUiThread;
using test::Recorder;
using test::TempDir;

const char* const kMarker = "; Torvane .INF file structure\r\n";

bool waitFor(const std::function<bool()>& done) {
  for (int i = 0; i < 2000 && !done(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  return done();
}

// Enough folders that the file system lists them in hash order, names that differ only in case,
// nested folders, candidates with and without the marker, and files the mask leaves out.
void makeWideTree(const TempDir& t, int count) {
  const char* const prefixes[] = {"lev", "Lev", "LEV", "a", "Zed", "m_"};
  for (int i = 0; i < count; ++i) {
    const std::string name = std::string(prefixes[i % 6]) + std::to_string(i * 7919 % 1009);
    test::writeFile(t / (name + "/" + name + ".inf"), i % 5 == 0 ? "no marker here" : kMarker);
    test::writeFile(t / (name + "/skip.inf"), kMarker);
    test::writeFile(t / (name + "/" + name + ".w"), "w");
    if (i % 9 == 0) {
      test::writeFile(t / (name + "/Sub/deep.INF"), kMarker);
      test::writeFile(t / (name + "/sub" + std::to_string(i) + "/x/y.inf"), kMarker);
    }
  }
}

TEST(ReadAhead, EventsAndTheirOrderAreThoseOfTheWalkAlone) {
  TempDir t;
  makeWideTree(t, 400);
  const std::string second = t.path() + "/" + "Lev" + std::to_string(7919 % 1009);
  struct Case {
    const char* name;
    const char* mask;
    const char* text;
    bool subfolders;
    std::vector<std::string> exclude;
  };
  const Case cases[] = {
      {"marker, two targets", "*.inf", "torvane .inf file structure", true, {}},
      {"no text, every name", "*.*", "", true, {}},
      {"exclusions", "*.inf", "Torvane", true, {"skip.inf"}},
      {"no subfolders", "*.inf", "Torvane", false, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> expected;
    for (std::size_t workers : {0, 1, 4, 16}) {
      TFindFile f;
      f.setReadAheadWorkers(workers);
      f.setReadAheadAlways(true);
      f.setLocation(t.path() + ";" + second);
      f.setFilename(c.mask);
      f.setContaining(c.text);
      f.setSubfolders(c.subfolders);
      f.setExcludeFiles(c.exclude);
      Recorder r(f);
      f.Execute();
      if (workers == 0) {
        expected = r.events;
        EXPECT_GT(expected.size(), c.subfolders ? 800u : 3u);
      } else {
        EXPECT_EQ(r.events, expected) << workers << " workers";
      }
    }
  }
}

TEST(ReadAhead, WorkersStayWithinTheLookAheadAndReadOnlyTheWalksCandidates) {
  TempDir t;
  for (int i = 0; i < 100; ++i) {
    const std::string name = "level" + std::to_string(1000 + i);
    test::writeFile(t / (name + "/" + name + ".inf"), kMarker);
    test::writeFile(t / (name + "/skip.inf"), kMarker);    // excluded: never read
    test::writeFile(t / (name + "/" + name + ".w"), "w");  // not a candidate
  }
  RunSnapshot snap;
  snap.Targets = {t.path() + "/*.inf"};
  snap.ExcludeFiles = {"skip.inf"};
  snap.Attributes = 0x0f;
  snap.HasText = true;
  snap.Text = "Torvane";
  const std::size_t threads = test::threadCount();
  ReadAhead ahead(snap, 4, 8, ReadAhead::Start::AtOnce);
  ASSERT_EQ(ahead.workers(), 4u);
  // The start folder and the first seven levels, then nothing more until the walk moves.
  const auto settlesAt = [&](std::size_t folders) {
    EXPECT_TRUE(waitFor([&] { return ahead.foldersListed() >= folders; })) << ahead.foldersListed();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(ahead.foldersListed(), folders);
    EXPECT_EQ(ahead.filesRead(), folders - 1)
        << "one candidate per level, none in the start folder";
  };
  settlesAt(8);
  ahead.entered({0});
  settlesAt(9);
  ahead.entered({0, 4});  // the walk passed five levels: five more may be read
  settlesAt(14);
  ahead.entered({0, 99});  // the walk is past everything: the workers end with nothing to do
  EXPECT_TRUE(waitFor([&] { return test::threadCount() == threads; }));
  EXPECT_EQ(ahead.foldersListed(), 14u);
}

TEST(ReadAhead, AFinishedStoppedOrDestroyedSearchLeavesNoWorkerAndNoHandle) {
  TempDir t;
  makeWideTree(t, 200);
  enum Mode { Completes, StoppedInline, StoppedThreaded, Destroyed, InMemory };
  // InMemory: the tree just written is in memory, nothing is read from the disk, and by default
  // no worker starts.
  for (Mode mode : {Completes, StoppedInline, StoppedThreaded, Destroyed, InMemory}) {
    SCOPED_TRACE(mode);
    const std::size_t threads = test::threadCount(), fds = test::openDescriptorCount();
    auto ui = std::make_shared<QueueUiThread>();
    std::size_t found = 0, busiest = 0;
    bool complete = false;
    {
      TFindFile f;
      f.setReadAheadWorkers(4);
      f.setReadAheadAlways(mode != InMemory);
      f.setThreaded(mode == StoppedThreaded || mode == Destroyed);
      f.setUiThread(ui);
      f.setLocation(t.path());
      f.setFilename("*.inf");
      f.setContaining("Torvane");
      f.OnFound = [&](TFindFile* sender, const std::string&, TSearchRec&) {
        busiest = std::max(busiest, test::threadCount() - f.Threaded());
        if (++found == 20 && (mode == StoppedInline || mode == StoppedThreaded))
          sender->setAborted(true);
      };
      f.OnComplete = [&](TFindFile*) { complete = true; };
      f.Execute();
      if (f.Threaded())
        ui->pumpUntil([&] { return complete || (mode == Destroyed && found >= 20); });
    }
    ui->drain();
    if (mode == InMemory)
      EXPECT_EQ(busiest, threads) << "no worker for a tree in memory";
    else
      EXPECT_GT(busiest, threads) << "workers ran beside the walk";
    EXPECT_EQ(test::threadCount(), threads);
    EXPECT_EQ(test::openDescriptorCount(), fds);
    EXPECT_EQ(complete, mode != Destroyed);
    if (mode != Completes && mode != InMemory)
      EXPECT_LT(found, 150u) << "the walk stopped half-way";
  }
}

}  // namespace
}  // namespace pitkit
