#pragma once
// Helpers for the search tests: an event recorder, a user-interface thread made of a queue that
// the test thread pumps (the scoped working folder is support/WorkingFolder.h).
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/FileSystem.h"
#include "search/FindFile.h"
#include "support/WorkingFolder.h"

namespace pitkit::test {

// Records every event of a component as text: "new <folder>", "found <folder> <name>", "complete".
struct Recorder {
  std::vector<std::string> events;
  std::vector<std::string> found;  // folder + "/" + name of each found entry
  int completions = 0;

  explicit Recorder(TFindFile& f) {
    f.OnNewFolder = [this](TFindFile*, const std::string& folder, bool&) {
      events.push_back("new " + folder);
    };
    f.OnFound = [this](TFindFile*, const std::string& folder, TSearchRec& rec) {
      events.push_back("found " + folder + " " + rec.Name);
      found.push_back(folder + "/" + rec.Name);
    };
    f.OnComplete = [this](TFindFile*) {
      events.push_back("complete");
      ++completions;
    };
  }
};

// The user-interface thread of a test: calls are queued and run when the test thread pumps.
class QueueUiThread : public IUiThread {
 public:
  void invokeAndWait(const std::function<void()>& call) override {
    if (std::this_thread::get_id() == owner_) {
      call();
      return;
    }
    std::mutex m;
    std::condition_variable cv;
    bool done = false;
    post([&] {
      call();
      std::lock_guard lock(m);
      done = true;
      cv.notify_all();
    });
    std::unique_lock lock(m);
    cv.wait(lock, [&] { return done; });
  }
  void post(std::function<void()> call) override {
    {
      std::lock_guard lock(mutex_);
      queue_.push_back(std::move(call));
    }
    cv_.notify_all();
  }
  // Runs queued calls on the calling thread until `done` holds or the time is up.
  bool pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
      std::function<void()> call;
      {
        std::unique_lock lock(mutex_);
        if (!cv_.wait_until(lock, end, [&] { return !queue_.empty(); })) return done();
        call = std::move(queue_.front());
        queue_.pop_front();
      }
      call();
    }
    return true;
  }
  // Runs whatever is queued now.
  void drain() {
    for (;;) {
      std::function<void()> call;
      {
        std::lock_guard lock(mutex_);
        if (queue_.empty()) return;
        call = std::move(queue_.front());
        queue_.pop_front();
      }
      call();
    }
  }
  std::thread::id owner() const { return owner_; }

 private:
  std::thread::id owner_ = std::this_thread::get_id();
  std::mutex mutex_;
  std::condition_variable cv_;
  std::deque<std::function<void()>> queue_;
};

}  // namespace pitkit::test
