#pragma once
// A stand-in for a stopped network or FUSE mount, or a slow disk, seen by the game finder: while
// installed, each look of the finder inside `folder` waits, until release() (a stopped mount) or
// for `pause` (a slow disk). A look held past the safety time goes on and is noted, so a caller
// that waits for it fails its test instead of hanging it.
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>

#include "platform/GameFinder.h"
#include "platform/Paths.h"

namespace pitkit::test {

class StoppedMount {
 public:
  using Duration = std::chrono::milliseconds;
  explicit StoppedMount(std::string folder, Duration pause = Duration::max(),
                        Duration safety = std::chrono::seconds(20))
      : state_(std::make_shared<State>()) {
    // The workers may outlive this object: the hook holds the state itself.
    setFinderLookHook(
        [state = state_, folder = std::move(folder), pause, safety](const std::string& path) {
          if (!isPathInside(path, folder)) return;
          std::unique_lock lock(state->mutex);
          ++state->held;
          const bool stopped = pause == Duration::max();
          if (!state->changed.wait_for(lock, stopped ? safety : pause,
                                       [&] { return state->released; }) &&
              stopped)
            state->heldTooLong = true;
        });
  }
  ~StoppedMount() {
    setFinderLookHook(nullptr);
    release();
  }
  StoppedMount(const StoppedMount&) = delete;
  StoppedMount& operator=(const StoppedMount&) = delete;

  void release() {
    const std::lock_guard lock(state_->mutex);
    state_->released = true;
    state_->changed.notify_all();
  }
  // How many looks inside the folder were held.
  int held() const {
    const std::lock_guard lock(state_->mutex);
    return state_->held;
  }
  // Whether a look waited out the safety time: someone waited for the stopped mount.
  bool heldTooLong() const {
    const std::lock_guard lock(state_->mutex);
    return state_->heldTooLong;
  }

 private:
  struct State {
    std::mutex mutex;
    std::condition_variable changed;
    bool released = false;
    bool heldTooLong = false;
    int held = 0;
  };
  std::shared_ptr<State> state_;
};

}  // namespace pitkit::test
