#pragma once
// The Qt hand-over to the user-interface thread for the search component's threaded mode.
#include <QObject>
#include <memory>

#include "platform/UiThread.h"

namespace pitkit {

// IUiThread through Qt's queued calls to the thread that constructed it.
class QtUiThread : public IUiThread {
 public:
  // Must be constructed on the user-interface thread: calls are delivered to that thread.
  QtUiThread();
  ~QtUiThread() override;

  // Runs `call` on the UI thread and waits; called on the UI thread itself it runs at once
  // (a blocking queued call to the own thread would deadlock). An exception thrown by `call`
  // is raised again in the caller.
  void invokeAndWait(const std::function<void()>& call) override;
  // Queues `call` to run on the UI thread's event loop.
  void post(std::function<void()> call) override;

 private:
  std::unique_ptr<QObject> receiver_;
};

// Installs a QtUiThread as the process default (setDefaultUiThread); called once at start-up.
void installQtUiThread();

}  // namespace pitkit
