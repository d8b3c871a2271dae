// Threaded mode: the walk on a worker, every event on the user-interface thread, completion once,
// and destruction of a running component without a deadlock.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

#include "search/FindFile.h"
#include "search_support.h"
#include "support/TempDir.h"

namespace pitkit {
namespace {

using test::QueueUiThread;
using test::Recorder;
using test::TempDir;

void makeTree(const TempDir& t, int levels) {
  for (int i = 0; i < levels; ++i) {
    const std::string name = "level" + std::to_string(i);
    test::writeFile(t / (name + "/" + name + ".inf"), "; Torvane .INF file structure\r\n");
    test::writeFile(t / (name + "/" + name + ".w"), "w");
  }
  test::writeFile(t / "plain/plain.inf", "no marker");
}

TEST(ThreadedSearch, DeliversEveryEventOnTheCallingThreadLikeTheDefaultMode) {
  TempDir t;
  makeTree(t, 20);
  auto ui = std::make_shared<QueueUiThread>();

  TFindFile inlineSearch;
  inlineSearch.setFilename("*.inf");
  inlineSearch.setContaining("torvane .inf file structure");
  inlineSearch.setLocation(t.path());
  Recorder expected(inlineSearch);
  inlineSearch.Execute();

  TFindFile f;
  f.setThreaded(true);
  f.setUiThread(ui);
  f.setFilename("*.inf");
  f.setContaining("torvane .inf file structure");
  f.setLocation(t.path());
  Recorder r(f);
  std::atomic<int> offThread{0};
  const auto callerThread = std::this_thread::get_id();
  auto wrap = [&](auto handler) {
    return [&, handler](auto&&... args) {
      if (std::this_thread::get_id() != callerThread) ++offThread;
      handler(args...);
    };
  };
  f.OnNewFolder = wrap(f.OnNewFolder);
  f.OnFound = wrap(f.OnFound);
  f.OnComplete = wrap(f.OnComplete);

  f.Execute();
  EXPECT_TRUE(f.Busy()) << "Execute returns once the worker runs";
  f.Execute();  // ignored while busy
  ASSERT_TRUE(ui->pumpUntil([&] { return r.completions > 0; }));
  EXPECT_FALSE(f.Busy());
  EXPECT_EQ(offThread, 0);
  EXPECT_EQ(r.events, expected.events);
  EXPECT_EQ(r.found.size(), 20u);
  ui->drain();
  EXPECT_EQ(r.completions, 1);
}

TEST(ThreadedSearch, AnswersReachTheWorkerAndCompleteCanStartTheNextRun) {
  TempDir t;
  makeTree(t, 5);
  auto ui = std::make_shared<QueueUiThread>();
  TFindFile f;
  f.setThreaded(true);
  f.setThreadPriority(tpLower);
  f.setUiThread(ui);
  f.setFilename("*.inf");
  f.setLocation(t.path());
  Recorder r(f);
  f.OnNewFolder = [&](TFindFile* sender, const std::string& folder, bool& ignore) {
    ignore = folder == t / "level3";
    sender->setThreadPriority(tpLowest);  // applied to the running worker; must not disturb it
  };
  int runs = 0;
  f.OnComplete = [&](TFindFile* sender) {
    if (++runs == 1) sender->Execute();
  };
  f.Execute();
  ASSERT_TRUE(ui->pumpUntil([&] { return runs == 2; }));
  // Each run: five levels and the plain folder, minus the skipped one.
  EXPECT_EQ(r.found.size(), 2u * 5u);
  for (const auto& path : r.found) EXPECT_EQ(path.find("level3"), std::string::npos) << path;
  EXPECT_FALSE(f.Busy());
}

TEST(ThreadedSearch, AHandlersErrorEndsTheRunWithOneCompletion) {
  TempDir t;
  makeTree(t, 5);
  auto ui = std::make_shared<QueueUiThread>();
  TFindFile f;
  f.setThreaded(true);
  f.setUiThread(ui);
  f.setLocation(t.path());
  f.setFilename("*.inf");
  Recorder r(f);
  int found = 0;
  f.OnFound = [&](TFindFile*, const std::string&, TSearchRec&) {
    ++found;
    throw Exception("handler failed");
  };
  f.Execute();
  ASSERT_TRUE(ui->pumpUntil([&] { return r.completions > 0; }));
  ui->pumpUntil([] { return false; }, std::chrono::milliseconds(100));
  EXPECT_EQ(found, 1);
  EXPECT_EQ(r.completions, 1);
  EXPECT_TRUE(f.Aborted());
}

TEST(ThreadedSearch, DestroyingARunningSearchStopsTheWorkerWithoutWaitingForTheUiThread) {
  TempDir t;
  makeTree(t, 50);
  auto ui = std::make_shared<QueueUiThread>();
  int events = 0;
  {
    TFindFile f;
    f.setThreaded(true);
    f.setUiThread(ui);
    f.setLocation(t.path());
    f.OnNewFolder = [&](TFindFile*, const std::string&, bool&) { ++events; };
    f.OnComplete = [&](TFindFile*) { ++events; };
    f.Execute();
    // Let a few events run, then leave the worker waiting on a hand-over nobody pumps.
    ui->pumpUntil([&] { return events >= 3; });
  }  // the destructor must return although the queue is not pumped
  ui->drain();  // calls queued for the dead component do nothing
  EXPECT_GE(events, 3);
  EXPECT_LT(events, 52);
}

TEST(ThreadedSearch, WithoutAUserInterfaceThreadExecuteRefusesAndStaysIdle) {
  setDefaultUiThread(nullptr);
  TFindFile f;
  f.setThreaded(true);
  f.setLocation("/");
  EXPECT_THROW(f.Execute(), EFindFileError);
  EXPECT_FALSE(f.Busy());
}

}  // namespace
}  // namespace pitkit
