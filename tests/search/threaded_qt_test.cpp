// Threaded mode with the program's own hand-over to the Qt event loop: every event on the
// user-interface thread in the same order as the default mode, and a component destroyed while
// its worker waits for the event loop.
#include <QCoreApplication>
#include <QThread>
#include <QtTest>

#include <algorithm>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/QtUiThread.h"
#include "search/FindFile.h"
#include "support/TempDir.h"

using namespace pitkit;
using pitkit::test::TempDir;

namespace {

const char* const kMarker = "Torvane .INF file structure";

void makeLevels(const TempDir& t, int count) {
  for (int i = 0; i < count; ++i) {
    const std::string name = "level" + std::to_string(i);
    test::writeFile(t / (name + "/" + name + ".inf"), std::string("; ") + kMarker + "\r\n");
    test::writeFile(t / (name + "/" + name + ".w"), "w");
  }
  test::writeFile(t / "plain/plain.inf", "no marker");
}

// The program's hand-over, except that every call after the first `pass` is held back instead of
// being queued for the event loop, so a worker is certain to wait for a call the loop has not run.
class HoldingUiThread : public IUiThread {
 public:
  explicit HoldingUiThread(std::size_t pass) : pass_(pass) {}
  void invokeAndWait(const std::function<void()>& call) override { real_.invokeAndWait(call); }
  void post(std::function<void()> call) override {
    std::lock_guard lock(mutex_);
    if (passed_ < pass_) {
      ++passed_;
      real_.post(std::move(call));
    } else {
      held_.push_back(std::move(call));
    }
  }
  std::size_t held() {
    std::lock_guard lock(mutex_);
    return held_.size();
  }
  // Hands the held calls to the event loop after all.
  void release() {
    std::lock_guard lock(mutex_);
    for (auto& call : held_) real_.post(std::move(call));
    held_.clear();
  }

 private:
  QtUiThread real_;
  std::mutex mutex_;
  std::size_t pass_;
  std::size_t passed_ = 0;
  std::vector<std::function<void()>> held_;
};

// Records the events of a component and whether each ran on the thread that created it.
struct Events {
  std::vector<std::string> list;
  int completions = 0;
  int offThread = 0;
  QThread* home = QThread::currentThread();

  void attach(TFindFile& f) {
    f.OnNewFolder = [this](TFindFile*, const std::string& folder, bool&) { add("new " + folder); };
    f.OnFound = [this](TFindFile*, const std::string& folder, TSearchRec& rec) {
      add("found " + folder + " " + rec.Name);
    };
    f.OnComplete = [this](TFindFile*) {
      add("complete");
      ++completions;
    };
  }
  void add(const std::string& e) {
    if (QThread::currentThread() != home) ++offThread;
    list.push_back(e);
  }
};

}  // namespace

class ThreadedQtTest : public QObject {
  Q_OBJECT

 private slots:
  void eventsRunOnTheUiThreadInTheDefaultModesOrder() {
    TempDir t;
    makeLevels(t, 30);
    TFindFile inlineSearch;
    inlineSearch.setFilename("*.inf");
    inlineSearch.setContaining(kMarker);
    inlineSearch.setLocation(t.path());
    Events expected;
    expected.attach(inlineSearch);
    inlineSearch.Execute();

    TFindFile f;
    f.setThreaded(true);
    f.setUiThread(std::make_shared<QtUiThread>());
    f.setFilename("*.inf");
    f.setContaining(kMarker);
    f.setLocation(t.path());
    Events seen;
    seen.attach(f);
    f.Execute();
    QVERIFY(f.Busy());
    QTRY_COMPARE_WITH_TIMEOUT(seen.completions, 1, 20000);
    QVERIFY(!f.Busy());
    QCOMPARE(seen.offThread, 0);
    QCOMPARE(seen.list, expected.list);
    QCOMPARE(std::count_if(seen.list.begin(), seen.list.end(),
                           [](const std::string& e) { return e.rfind("found ", 0) == 0; }),
             30);
  }

  void destroyedWhileItsWorkerWaitsForTheEventLoop() {
    TempDir t;
    makeLevels(t, 40);
    Events seen;
    auto f = std::make_unique<TFindFile>();
    f->setThreaded(true);
    auto uiThread = std::make_shared<HoldingUiThread>(3);
    f->setUiThread(uiThread);
    f->setLocation(t.path());
    seen.attach(*f);
    f->Execute();
    QTRY_VERIFY_WITH_TIMEOUT(seen.list.size() == 3 && uiThread->held() == 1, 20000);
    QVERIFY(f->Busy());
    f.reset();  // returns although the worker waits for a call the event loop has not run
    uiThread->release();
    QCoreApplication::processEvents();  // calls queued for the component do nothing now
    QCoreApplication::sendPostedEvents();
    QCOMPARE(seen.list.size(), 3u);
    QCOMPARE(seen.completions, 0);
  }
};

QTEST_MAIN(ThreadedQtTest)
#include "threaded_qt_test.moc"
