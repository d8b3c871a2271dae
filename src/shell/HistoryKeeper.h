#pragma once
// The window's side of the history of actions: it owns the store, records what the pages did,
// shows the store's failure once in the error box and goes on without history, and words what
// the history knows for the Edit menu and the status bar.
#include <QString>
#include <atomic>
#include <mutex>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "history/History.h"

class QWidget;

namespace pitkit {

class HistoryKeeper {
 public:
  // The store in the database file `path`, for the game folder `gameFolder` (the window's, read
  // at each call); `window` owns the error box.
  HistoryKeeper(QWidget* window, const std::string& gameFolder,
                std::string path = History::defaultPath());

  // Records a finished action (rewriting it when its id is set) and returns its id, 0 without a
  // history; a failing store shows its message once and the action stands. It may be called from
  // a worker thread while the window waits for it: a failure there is shown by the window's next
  // call, and the Edit menu follows then.
  std::int64_t record(const HistoryAction& action);

  // The game folder's newest action not undone yet; none without one or without a history. A
  // history file not made yet is not made for this.
  std::optional<HistoryAction> lastUndoable();
  // The game folder's actions, newest first.
  std::vector<HistoryAction> actions();
  void markUndone(std::int64_t id);

  // "Installed 2026-12-08 07:15 from Pack.zip" (local time) for the item of `kind` now named
  // `name` when the history knows which archive it came from; "" when it does not.
  QString originText(ItemKind kind, const std::string& name);

  // `changed` runs after each action recorded or marked undone (the Edit menu follows).
  void onChange(std::function<void()> changed) { changed_ = std::move(changed); }

  History& store() { return store_; }
  const std::string& gameFolder() const { return gameFolder_; }

 private:
  // The value, or the failure shown (once) and `fallback`.
  template <class T>
  T valueOr(const HistoryResult<T>& result, T fallback);

  QWidget* window_;
  const std::string& gameFolder_;
  History store_;
  std::atomic<bool> used_{false};
  // A failure met on a worker thread, shown by the window's next call.
  std::mutex pendingMutex_;
  std::string pendingFailure_;
  std::function<void()> changed_;
};

// A time of the history as the window shows it: local time, "2026-12-08 07:15".
QString historyTimeText(std::chrono::sys_seconds when);

}  // namespace pitkit
