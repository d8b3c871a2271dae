// Threaded mode: the walk on a worker, every event on the user-interface thread, completion once,
// and destruction of a running component without a deadlock.
#include <gtest/gtest.h>

#include "platform/Posix.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>

#include "search/FindFile.h"
#include "search_support.h"
#include "support/LinuxOnly.h"
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

// The nice values of the process's threads other than the calling one.
std::vector<int> otherThreadsNice() {
  std::vector<int> values;
  const std::string self = std::to_string(::gettid());
  for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
    if (task.path().filename() == self) continue;
    std::ifstream in(task.path() / "stat");
    std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto close = stat.rfind(')');
    if (close == std::string::npos) continue;
    std::istringstream fields(stat.substr(close + 2));
    std::string field;
    // After the name: state is field 3, nice is field 19.
    for (int i = 3; i <= 19 && fields >> field; ++i)
      if (i == 19) values.push_back(std::stoi(field));
  }
  return values;
}

// A priority set while the worker starts, and one set while it waits for a handler, both reach
// the worker. Only lowered here: raising needs privileges the tests may not have.
TEST(ThreadedSearch, PrioritySetWhileTheWorkerRunsIsApplied) {
  PITKIT_LINUX_ONLY("threads' nice values, read from /proc");
  TempDir t;
  makeTree(t, 2);
  errno = 0;
  const int base = ::getpriority(PRIO_PROCESS, 0);
  ASSERT_EQ(errno, 0);
  auto ui = std::make_shared<QueueUiThread>();
  TFindFile f;
  f.setThreaded(true);
  f.setUiThread(ui);
  f.setLocation(t.path());
  std::vector<int> atStart, afterIdle;
  int folders = 0;
  f.OnNewFolder = [&](TFindFile* sender, const std::string&, bool&) {
    if (++folders > 1) return;
    atStart = otherThreadsNice();  // the worker waits for this handler
    sender->setThreadPriority(tpIdle);
    afterIdle = otherThreadsNice();
  };
  int completions = 0;
  f.OnComplete = [&](TFindFile*) { ++completions; };
  f.Execute();
  f.setThreadPriority(tpLower);  // right after the start, before the worker may know its own id
  ASSERT_TRUE(ui->pumpUntil([&] { return completions == 1; }));
  auto holds = [](const std::vector<int>& v, int nice) { return std::find(v.begin(), v.end(), nice) != v.end(); };
  EXPECT_TRUE(holds(atStart, std::min(base + 1, 19))) << "tpLower set at the start was lost";
  EXPECT_TRUE(holds(afterIdle, std::min(base + 15, 19))) << "tpIdle set while running was not applied";
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
