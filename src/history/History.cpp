#include "history/History.h"

#include <sqlite3.h>
#include "platform/Posix.h"

#include <cerrno>
#include <cstring>

#include "history/Sql.h"
#include "platform/Paths.h"

namespace pitkit {

namespace {

using std::chrono::sys_seconds;

constexpr int kSchemaVersion = 1;
// A lock held by another window is waited for this long, then the history gives up.
constexpr int kBusyMilliseconds = 250;

// Version 1. Times are UTC, "2026-12-08T05:22:12Z"; kinds are the words of kActionKinds and
// kItemKinds.
constexpr const char* kSchema = R"sql(
CREATE TABLE actions (
  id INTEGER PRIMARY KEY,
  game_folder TEXT NOT NULL,
  at TEXT NOT NULL,
  kind TEXT NOT NULL,
  archive_path TEXT,
  archive_size INTEGER,
  archive_sha256 TEXT,
  undone_at TEXT
);
CREATE INDEX actions_of_game ON actions (game_folder, id);
CREATE TABLE items (
  action_id INTEGER NOT NULL REFERENCES actions (id) ON DELETE CASCADE,
  position INTEGER NOT NULL,
  kind TEXT NOT NULL,
  name TEXT NOT NULL,
  from_path TEXT NOT NULL,
  to_path TEXT NOT NULL,
  replaced_to TEXT NOT NULL,
  PRIMARY KEY (action_id, position)
) WITHOUT ROWID;
PRAGMA user_version = 1;
)sql";

constexpr std::pair<HistoryActionKind, const char*> kActionKinds[] = {
    {HistoryActionKind::Install, "install"}, {HistoryActionKind::Uninstall, "uninstall"},
    {HistoryActionKind::Delete, "delete"},   {HistoryActionKind::ArchiveInstall, "archive-install"},
    {HistoryActionKind::Replace, "replace"}, {HistoryActionKind::Rename, "rename"}};
constexpr std::pair<ItemKind, const char*> kItemKinds[] = {{ItemKind::Level, "level"},
                                                           {ItemKind::Car, "car"}};

// The game folder as its rows are keyed: "/g/" and "/g" are one game.
std::string gameKey(const std::string& gameFolder) { return normalizePathLexically(gameFolder); }

template <class Kind, std::size_t N>
const char* wordOf(const std::pair<Kind, const char*> (&words)[N], Kind kind) {
  for (const auto& [k, word] : words)
    if (k == kind) return word;
  return "";
}

template <class Kind, std::size_t N>
std::optional<Kind> kindOf(const std::pair<Kind, const char*> (&words)[N],
                           const std::string& word) {
  for (const auto& [k, w] : words)
    if (word == w) return k;
  return std::nullopt;
}

// Makes the folder and its missing parents (owner only). 0 or the error of the step that failed.
int makeFolders(const std::string& folder) {
  for (std::size_t slash = folder.find(PathDelim, 1);; slash = folder.find(PathDelim, slash + 1)) {
    const std::string part = folder.substr(0, slash);
    if (!part.empty() && ::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return errno;
    if (slash == std::string::npos) break;
  }
  struct stat st {};
  if (::stat(folder.c_str(), &st) != 0) return errno;
  return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
}

sys_seconds now() {
  return std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
}

template <class Kind, std::size_t N>
Kind kindAt(const SqlStatement& row, int column, const std::pair<Kind, const char*> (&words)[N]) {
  const std::optional<Kind> kind = kindOf(words, row.text(column));
  if (!kind) row.damaged("the unknown kind \"" + row.text(column) + "\"");
  return *kind;
}

HistoryArchive readArchive(const SqlStatement& row, int column) {
  return {row.text(column), static_cast<std::uint64_t>(row.number(column + 1)),
          row.text(column + 2)};
}

// The game's newest actions with their items (at most `limit`, -1 for all), read in one
// transaction so that actions and items agree.
std::vector<HistoryAction> readActions(sqlite3* db, const std::string& path,
                                       const std::string& gameFolder, bool undoneToo,
                                       std::int64_t limit) {
  SqlTransaction transaction(db, path, SqlUse::Reading);
  std::vector<HistoryAction> actions;
  {
    SqlStatement rows(
        db, path, SqlUse::Reading,
        "SELECT id, game_folder, at, kind, archive_path, archive_size, archive_sha256, undone_at "
        "FROM actions WHERE game_folder = ? AND (? OR undone_at IS NULL) ORDER BY id DESC LIMIT ?");
    rows.bind(1, gameKey(gameFolder)).bind(2, std::int64_t{undoneToo}).bind(3, limit);
    SqlStatement items(db, path, SqlUse::Reading,
                       "SELECT kind, name, from_path, to_path, replaced_to FROM items WHERE "
                       "action_id = ? ORDER BY position");
    while (rows.step()) {
      HistoryAction& action = actions.emplace_back();
      action.id = rows.number(0);
      action.gameFolder = rows.text(1);
      action.when = rows.time(2);
      action.kind = kindAt(rows, 3, kActionKinds);
      if (!rows.isNull(4)) action.archive = readArchive(rows, 4);
      if (!rows.isNull(7)) action.undoneAt = rows.time(7);
      items.bind(1, action.id);
      while (items.step())
        action.items.push_back({kindAt(items, 0, kItemKinds), items.text(1), items.text(2),
                                items.text(3), items.text(4)});
      items.reset();
    }
  }
  transaction.commit();
  return actions;
}

}  // namespace

History::History(std::string path) : path_(std::move(path)) {}

History::~History() { sqlite3_close_v2(db_); }

std::string History::defaultPath() {
  const std::string data = userDataHome();
  return data.empty() ? std::string() : data + "/torvane-pitkit/history.sqlite";
}

template <class T, class Work>
HistoryResult<T> History::guarded(Work work) {
  std::lock_guard lock(mutex_);
  if (failure_) return HistoryError{*failure_, false};
  try {
    if (db_ == nullptr) openDatabase();
    return HistoryResult<T>(work());
  } catch (const SqlFailure& failure) {
    failure_ = failure.message;
  } catch (const std::exception& e) {
    failure_ = "The history of actions " + path_ + " failed: " + e.what();
  }
  // Off for good: the connection goes, and with it any lock it held.
  sqlite3_close_v2(db_);
  db_ = nullptr;
  return HistoryError{*failure_, true};
}

void History::openDatabase() {
  if (path_.empty())
    throw SqlFailure{"The history of actions has no place: the user has no home folder"};
  const std::string folder = excludeTrailingDelim(extractFilePath(path_));
  if (const int err = folder.empty() ? 0 : makeFolders(folder); err != 0)
    throw SqlFailure{"Cannot make the folder " + folder +
                     " for the history of actions: " + std::strerror(err)};
  // The connection is kept even when the open fails: guarded() closes it.
  const int opened = sqlite3_open_v2(
      path_.c_str(), &db_,
      SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOFOLLOW | SQLITE_OPEN_NOMUTEX,
      nullptr);
  if (opened != SQLITE_OK)
    throw SqlFailure{sqlFailureText(SqlUse::Opening, path_, sqlite3_errmsg(db_))};
  sqlite3_busy_timeout(db_, kBusyMilliseconds);
  if (sqlite3_db_readonly(db_, "main") == 1)
    throw SqlFailure{sqlFailureText(SqlUse::Writing, path_, "the file is read-only")};
  const auto version = [this] {
    SqlStatement pragma(db_, path_, SqlUse::Opening, "PRAGMA user_version");
    pragma.step();
    return pragma.number(0);
  };
  // A database of a newer program is left exactly as it is.
  if (version() > kSchemaVersion)
    throw SqlFailure{"The history of actions " + path_ +
                     " was written by a newer version of the program"};
  // Write-ahead log, synced at every commit: a crash loses at most the action in flight.
  sqlExecute(db_, path_, SqlUse::Opening,
             "PRAGMA journal_mode = WAL; PRAGMA synchronous = FULL; PRAGMA foreign_keys = ON");
  if (version() == 0) {
    SqlTransaction transaction(db_, path_, SqlUse::Writing);
    if (version() == 0)
      sqlExecute(db_, path_, SqlUse::Writing, kSchema);  // unless another window was first
    transaction.commit();
  }
}

HistoryResult<bool> History::open() {
  return guarded<bool>([] { return true; });
}

HistoryResult<std::int64_t> History::record(const HistoryAction& action) {
  return guarded<std::int64_t>([&] {
    SqlTransaction transaction(db_, path_, SqlUse::Writing);
    std::int64_t id = action.id;
    if (id != 0) {
      // An action recorded before (a batch, after each of its rows): its items are rewritten.
      SqlStatement exists(db_, path_, SqlUse::Reading, "SELECT 1 FROM actions WHERE id = ?");
      exists.bind(1, id);
      if (!exists.step()) id = 0;
      SqlStatement clear(db_, path_, SqlUse::Writing, "DELETE FROM items WHERE action_id = ?");
      clear.bind(1, action.id).step();
    }
    if (id == 0) {
      SqlStatement insert(
          db_, path_, SqlUse::Writing,
          "INSERT INTO actions (game_folder, at, kind, archive_path, archive_size, archive_sha256) "
          "VALUES (?, ?, ?, ?, ?, ?)");
      insert.bind(1, gameKey(action.gameFolder))
          .bind(2, utcText(action.when == sys_seconds{} ? now() : action.when))
          .bind(3, std::string(wordOf(kActionKinds, action.kind)));
      if (action.archive)
        insert.bind(4, action.archive->path)
            .bind(5, static_cast<std::int64_t>(action.archive->size))
            .bind(6, action.archive->sha256);
      else
        insert.bindNull(4).bindNull(5).bindNull(6);
      insert.step();
      id = sqlite3_last_insert_rowid(db_);
    }
    {
      SqlStatement item(
          db_, path_, SqlUse::Writing,
          "INSERT INTO items (action_id, position, kind, name, from_path, to_path, replaced_to) "
          "VALUES (?, ?, ?, ?, ?, ?, ?)");
      for (std::size_t i = 0; i < action.items.size(); ++i) {
        const HistoryItem& it = action.items[i];
        item.bind(1, id)
            .bind(2, static_cast<std::int64_t>(i))
            .bind(3, std::string(wordOf(kItemKinds, it.kind)))
            .bind(4, it.name)
            .bind(5, it.fromPath)
            .bind(6, it.toPath)
            .bind(7, it.replacedTo)
            .step();
        item.reset();
      }
    }
    transaction.commit();
    return id;
  });
}

HistoryResult<std::vector<HistoryAction>> History::actions(const std::string& gameFolder) {
  return guarded<std::vector<HistoryAction>>(
      [&] { return readActions(db_, path_, gameFolder, true, -1); });
}

HistoryResult<std::optional<HistoryAction>> History::lastUndoable(const std::string& gameFolder) {
  return guarded<std::optional<HistoryAction>>([&]() -> std::optional<HistoryAction> {
    std::vector<HistoryAction> last = readActions(db_, path_, gameFolder, false, 1);
    if (last.empty()) return std::nullopt;
    return std::move(last.front());
  });
}

HistoryResult<bool> History::markUndone(std::int64_t id) {
  return guarded<bool>([&] {
    SqlStatement update(db_, path_, SqlUse::Writing,
                        "UPDATE actions SET undone_at = ? WHERE id = ? AND undone_at IS NULL");
    update.bind(1, utcText(now())).bind(2, id).step();
    return sqlite3_changes(db_) == 1;
  });
}

HistoryResult<std::optional<ItemOrigin>> History::originOf(const std::string& gameFolder,
                                                           ItemKind kind, const std::string& name) {
  return guarded<std::optional<ItemOrigin>>([&]() -> std::optional<ItemOrigin> {
    SqlStatement rows(db_, path_, SqlUse::Reading,
                      "SELECT a.id, a.at, a.kind, a.archive_path, a.archive_size, "
                      "a.archive_sha256, i.name, i.from_path "
                      "FROM items i JOIN actions a ON a.id = i.action_id "
                      "WHERE a.game_folder = ? AND a.undone_at IS NULL AND i.kind = ? ORDER BY "
                      "a.id DESC, i.position DESC");
    rows.bind(1, gameKey(gameFolder)).bind(2, std::string(wordOf(kItemKinds, kind)));
    // Newest first: a rename leads back to the item's earlier name, a delete ends its line.
    std::string current = name;
    while (rows.step()) {
      if (!sameTextAscii(rows.text(6), current)) continue;
      switch (kindAt(rows, 2, kActionKinds)) {
        case HistoryActionKind::Rename:
          current = extractFileName(excludeTrailingDelim(rows.text(7)));
          if (current.empty()) return std::nullopt;
          break;
        case HistoryActionKind::Delete:
          return std::nullopt;
        case HistoryActionKind::ArchiveInstall:
        case HistoryActionKind::Replace:
          return ItemOrigin{rows.number(0), rows.time(1), readArchive(rows, 3)};
        case HistoryActionKind::Install:
        case HistoryActionKind::Uninstall:
          break;
      }
    }
    return std::nullopt;
  });
}

bool History::disabled() const {
  std::lock_guard lock(mutex_);
  return failure_.has_value();
}

}  // namespace pitkit
