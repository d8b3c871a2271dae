#pragma once
// The history of actions: every install, uninstall, delete, archive install, Replace and rename,
// kept in one SQLite database of the user's, rows keyed by game folder, one transaction per
// action. It tells what Undo reverses next and where an item came from.
#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "game/GameItems.h"

struct sqlite3;

namespace pitkit {

enum class HistoryActionKind { Install, Uninstall, Delete, ArchiveInstall, Replace, Rename };

// One item an action moved.
struct HistoryItem {
  ItemKind kind = ItemKind::Level;
  std::string name;      // its folder name after the action (a rename's new name)
  std::string fromPath;  // where it was; for an archive's item, its folder inside the archive
  std::string toPath;    // where it went; "" when deleted
  // Where the item that stood at toPath went when this one replaced it (its trash entry); "" when
  // nothing was replaced.
  std::string replacedTo;
  bool operator==(const HistoryItem&) const = default;
};

// The archive an archive install or Replace took its items from.
struct HistoryArchive {
  std::string path;
  std::uint64_t size = 0;
  std::string sha256;  // 64 hexadecimal digits
  bool operator==(const HistoryArchive&) const = default;
};

// One action of the user's: Undo reverses all its items together (an archive install's items, a
// batch of rows acted on at once).
struct HistoryAction {
  std::int64_t id = 0;  // given by History::record
  std::string gameFolder;
  std::chrono::sys_seconds when{};  // UTC; record() takes the time of the call when left at zero
  HistoryActionKind kind = HistoryActionKind::Install;
  std::optional<HistoryArchive> archive;  // archive installs and Replace
  std::vector<HistoryItem> items;
  std::optional<std::chrono::sys_seconds> undoneAt;
  bool operator==(const HistoryAction&) const = default;
};

// When and from which archive an item was installed.
struct ItemOrigin {
  std::int64_t actionId = 0;
  std::chrono::sys_seconds when{};
  HistoryArchive archive;
};

// A failure of the history, worded for the error box.
struct HistoryError {
  std::string message;
  // True for the call that failed first and turned the history off: that caller shows the
  // message. Every later call fails at once with the same message and this false.
  bool first = false;
};

// A value of the history, or the failure that kept it from one: value() when ok(), else error().
template <class T>
class HistoryResult {
 public:
  HistoryResult(T value) : value_(std::move(value)) {}
  HistoryResult(HistoryError error) : error_(std::move(error)) {}
  bool ok() const { return !error_.has_value(); }
  explicit operator bool() const { return ok(); }
  const T& value() const { return *value_; }
  const HistoryError& error() const { return *error_; }

 private:
  std::optional<T> value_;
  std::optional<HistoryError> error_;
};

// The history store. It never raises and never stops an action: a damaged, locked, read-only or
// unwritable database gives a HistoryError and turns the store off, so that the program goes on
// without history. The database is opened by the first call; calls may come from any thread.
class History {
 public:
  // The store in the database file `path` (made with its folders where missing).
  explicit History(std::string path);
  ~History();
  History(const History&) = delete;
  History& operator=(const History&) = delete;

  // $XDG_DATA_HOME/torvane-pitkit/history.sqlite (by default under ~/.local/share); "" when the
  // user has no home.
  static std::string defaultPath();

  // Opens the database now, making it and its schema where missing.
  HistoryResult<bool> open();
  // Records a finished action in one transaction and returns its id. An action with an id
  // recorded before has its items replaced by the action's (a batch records itself after each row);
  // one whose id is not known is recorded anew.
  HistoryResult<std::int64_t> record(const HistoryAction& action);
  // The game folder's actions, newest first, undone ones included.
  HistoryResult<std::vector<HistoryAction>> actions(const std::string& gameFolder);
  // The newest action of the game folder not undone yet, whatever its kind: a Delete there stops
  // Undo, since it cannot be reversed. Empty when there is none.
  HistoryResult<std::optional<HistoryAction>> lastUndoable(const std::string& gameFolder);
  // Marks the action undone, so that lastUndoable gives the one before it. False when there is no
  // such action or it was undone already.
  HistoryResult<bool> markUndone(std::int64_t id);
  // When and from which archive the item now named `name` (letter case ignored) was installed,
  // followed back through its renames; empty when it did not come from an archive, or came again
  // after it was deleted.
  HistoryResult<std::optional<ItemOrigin>> originOf(const std::string& gameFolder, ItemKind kind,
                                                    const std::string& name);

  // True once a call has failed: every call fails from then on.
  bool disabled() const;
  const std::string& path() const { return path_; }

 private:
  template <class T, class Work>
  HistoryResult<T> guarded(Work work);
  void openDatabase();

  const std::string path_;
  sqlite3* db_ = nullptr;
  std::optional<std::string> failure_;
  mutable std::mutex mutex_;
};

}  // namespace pitkit
