#pragma once
// The running search of one organizer page: the game directory it searches, and the event pump
// that lets the window repaint and take input meanwhile. The main window owns one per page, so a
// car search and a level search never stop or fill each other.
#include <QElapsedTimer>
#include <QEventLoop>
#include <QList>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

class QStatusBar;
class QTreeWidget;
class QTreeWidgetItem;

namespace pitkit {

class TFindFile;

class OrganizerSearch {
 public:
  // The window handles pending events during a search at most this often (about 60 times a second).
  static constexpr qint64 kEventPumpIntervalMs = 16;

  // Go starts a run over `gameDirectory`. When the game directory changes meanwhile (or the window
  // closes, which empties it), the run belongs to a folder no longer shown: it is stale.
  void start(const std::string& gameDirectory) { searchedDirectory_ = gameDirectory; }
  bool isStale(const std::string& gameDirectory) const {
    return gameDirectory != searchedDirectory_;
  }
  // Stops `search` at its next entry when the run is stale; returns whether it did.
  bool stopIfStale(TFindFile* search, const std::string& gameDirectory);

  // What the window would show is handed to it just before it repaints, the only time it can be
  // seen: the folder being searched goes into the status bar, and the items found meanwhile are
  // added to their list in one step. Event handling therefore cannot dominate a search over
  // thousands of items.
  void newFolder(QStatusBar* bar, const std::string& folder);
  // Queues an item; it is added at the next repaint or when the search completes.
  void addItem(QTreeWidget* list, QTreeWidgetItem* item);
  void pump(QStatusBar* bar);
  // Shows the last folder announced and adds the waiting items; called when a search completes.
  void flush(QStatusBar* bar);

 private:
  void flushItems();

  std::string searchedDirectory_;
  QElapsedTimer sinceLastPump_;
  std::string pendingFolder_;
  QTreeWidget* pendingList_ = nullptr;
  QList<QTreeWidgetItem*> pendingItems_;
};

// Removes the leftover copies in some folders on a worker thread (a deep leftover takes a while)
// while the searches run: they never enter a hidden folder, so they never meet a half-removed one.
class LeftoverSweep {
 public:
  explicit LeftoverSweep(std::vector<std::string> folders);
  LeftoverSweep(const LeftoverSweep&) = delete;
  LeftoverSweep& operator=(const LeftoverSweep&) = delete;
  // Waits for the sweep to end, the window handling its events meanwhile. A quit that came before
  // the wait finds `done_` already set.
  void finish();
  ~LeftoverSweep();

 private:
  QEventLoop loop_;
  std::atomic<bool> done_{false};
  std::thread thread_;  // last: it starts once the rest is made
};

}  // namespace pitkit
