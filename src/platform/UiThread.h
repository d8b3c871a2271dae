#pragma once
// The hand-over from a worker thread to the user-interface thread, as a small interface so the
// core stays free of any toolkit. The program installs a Qt implementation at start-up.
// The search worker hands its events over with `post` and waits for them itself, so that a
// component destroyed on the user-interface thread can wake a waiting worker instead of
// deadlocking; calls it posts catch their own errors.
#include <functional>
#include <memory>

namespace pitkit {

// Runs calls on the user-interface thread for a worker thread.
class IUiThread {
 public:
  virtual ~IUiThread() = default;
  // Runs `call` on the user-interface thread and returns when it has run.
  virtual void invokeAndWait(const std::function<void()>& call) = 0;
  // Queues `call` to run later on the user-interface thread and returns at once.
  virtual void post(std::function<void()> call) = 0;
};

// The implementation used by components that were given none.
void setDefaultUiThread(std::shared_ptr<IUiThread> uiThread);
std::shared_ptr<IUiThread> defaultUiThread();

}  // namespace pitkit
