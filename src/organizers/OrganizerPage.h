#pragma once
// One organizer page (levels or cars): Go with its two searches, the lists and counters, the
// details of a selected item, and Install, Uninstall and Delete. Made once per side from that
// side's description.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "history/History.h"
#include "organizers/OrganizerBatch.h"
#include "organizers/OrganizerSearch.h"
#include "organizers/OrganizerSide.h"

class QStatusBar;
class QTreeWidgetItem;
class QWidget;

namespace pitkit {

struct ListPlace;
struct TSearchRec;
struct TransferProgress;

// One documented path of the item selected in a page's list (where it lies, or where a move
// takes it), read from the list each time it is used: the list item is the one place that knows
// an item. Empty while no row is selected, and until a page reads it.
class SelectedPath {
 public:
  SelectedPath() = default;
  SelectedPath(const SelectedPath&) = delete;
  SelectedPath& operator=(const SelectedPath&) = delete;

  // The page sets where the path is read from; an empty reader reads "".
  void readFrom(std::function<std::string()> reader) { reader_ = std::move(reader); }

  // The path now. The text handed out is the reader's copy: writing to it (or assigning a path)
  // selects nothing, and the next use reads the list again.
  const std::string& str() const {
    value_ = reader_ ? reader_() : std::string();
    return value_;
  }
  operator const std::string&() const { return str(); }
  operator std::string&() {
    str();
    return value_;
  }
  bool empty() const { return str().empty(); }
  SelectedPath& operator=(std::string text) {
    value_ = std::move(text);
    return *this;
  }
  friend bool operator==(const SelectedPath& path, const std::string& text) { return path.str() == text; }

 private:
  std::function<std::string()> reader_;
  mutable std::string value_;
};

// The documented paths of a page: source and destination of Uninstall (and of Delete on the
// installed side) for the row selected in the installed list, of Install (and of Delete on the
// uninstalled side) for the row selected in the other. The owner keeps them, so they can be named
// before the page is made; the page makes them read its lists.
struct OrganizerPaths {
  SelectedPath UninstallFrom;
  SelectedPath UninstallTo;
  SelectedPath InstallFrom;
  SelectedPath InstallTo;
};

class OrganizerFilter;
class OrganizerPack;

// The work of one organizer page; the main window's handlers forward to it.
class OrganizerPage {
 public:
  // `window` owns the dialogs and shows the errors; `statusBar` shows the folder being searched.
  // `paths` read this page's lists from now until the page ends.
  OrganizerPage(QWidget* window, QStatusBar* statusBar, GameDirectory& gameDirectory, OrganizerSide side,
                OrganizerPaths& paths);
  ~OrganizerPage();
  OrganizerPage(const OrganizerPage&) = delete;
  OrganizerPage& operator=(const OrganizerPage&) = delete;

  // The paths given, by their names.
  const SelectedPath& UninstallFrom;
  const SelectedPath& UninstallTo;
  const SelectedPath& InstallFrom;
  const SelectedPath& InstallTo;

  // Go: empties both lists and fills them again from the two searches.
  void go();
  void newFolder(TFindFile* sender, const std::string& folder);
  void installedFound(TFindFile* sender, const std::string& folder, TSearchRec& fileInfo);
  void uninstalledFound(TFindFile* sender, const std::string& folder, TSearchRec& fileInfo);
  void installedComplete();
  void uninstalledComplete();
  // A selection in a list: shows the selected item's details.
  void installedSelectionChange();
  void uninstalledSelectionChange();
  // Opens the found file of the selected item in the desktop's program for it.
  void installedDoubleClick();
  void uninstalledDoubleClick();
  // The actions on the rows selected in their list, in list order; nothing without one. With
  // several rows, each is moved or deleted whole or not at all in one progress window, a failed
  // one does not stop the others, and one error box lists the failures at the end.
  void uninstall();
  void install();
  void deleteInstalled();
  void deleteUninstalled();
  // Searches again, then selects, shows and focuses the listed item whose folder (as the search
  // reported it) is `folder`, in whichever list holds it. False when no row has that folder.
  bool showSelected(const std::string& folder);
  // The window closes: the lists, and so the paths read from them, are emptied.
  void forget();
  // Called after each Install, Uninstall or Delete with the items it did; not when it did nothing.
  // A batch calls it after each row on its worker thread, with the rows done so far and the id the
  // first call returned, and once more on the window's thread at the end. It returns the action's
  // id, 0 without a history.
  using ActionRecorder = std::function<std::int64_t(const HistoryAction&)>;
  void setActionRecorder(ActionRecorder recorder) { recorder_ = std::move(recorder); }

 private:
  void connectControls(QWidget* window);
  void followGameFolder(const std::string& folder);
  void runSearches();
  void found(TFindFile* sender, QTreeWidget* list, const CaptionRule& rule, bool installed,
             const std::string& folder, const std::string& fileName);
  void selectionChange(QTreeWidget* list, bool uninstalled);
  // Where `item` of a list lies in the game's folder `top`, or would lie there ("" for no item).
  std::string itemPath(const QTreeWidgetItem* item, const char* top) const;
  // Install and Uninstall of the rows selected in `list`: they move from `fromTop` to `toTop`.
  void moveRows(QTreeWidget* list, const char* fromTop, const char* toTop, HistoryActionKind kind,
                const char* verb, const char* done);
  // The same for one row, `item`.
  void moveItem(QTreeWidget* list, const QTreeWidgetItem& item, const char* fromTop, const char* toTop,
                HistoryActionKind kind, const char* verb);
  // Delete of the rows selected in `list`, which lie in the game's folder `top`; of one, `item`.
  void deleteRows(QTreeWidget* list, const char* top);
  void deleteItem(QTreeWidget* list, const QTreeWidgetItem& item, const char* top);
  // The rows of a batch: each from `fromTop` to `toTop` (nowhere for nullptr).
  std::vector<BatchRow> batchRows(const std::vector<QTreeWidgetItem*>& rows, const char* fromTop,
                                  const char* toTop) const;
  // Runs `act` on each row of `batch`, recording the action as it goes, then searches again,
  // returns `list` to `place`, says in the status bar when it was cancelled and raises the one
  // error that lists the rows that failed.
  void runAndFinishBatch(QTreeWidget* list, const ListPlace& place, const std::vector<BatchRow>& batch,
                         HistoryActionKind kind, const char* verb, const char* done,
                         const std::function<std::string(const BatchRow&, TransferProgress&)>& act);
  HistoryItem historyItem(const std::string& from, const std::string& to) const;
  // Records the action (rewriting the action `id` when not 0) in `gameFolder` ("" for the page's);
  // returns its id, 0 without a history.
  std::int64_t record(HistoryActionKind kind, std::vector<HistoryItem> items, std::int64_t id = 0,
                      const std::string& gameFolder = {});
  bool busy() const;

  QWidget* window_;
  QStatusBar* statusBar_;
  GameDirectory& game_;
  OrganizerPaths& paths_;
  OrganizerSide side_;
  // The filter box over both lists.
  std::unique_ptr<OrganizerFilter> filter_;
  // "Pack as Zip..." on both lists.
  std::unique_ptr<OrganizerPack> pack_;
  // The running search, with its stale-search state and event pump.
  OrganizerSearch search_;
  ActionRecorder recorder_;
};

}  // namespace pitkit
