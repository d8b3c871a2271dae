// The history store: actions of two games recorded, read back by a second store, undone in turn
// and asked for items' origins; and every way the database can fail, each turning the store off
// without an exception.
#include "history/History.h"

#include <gtest/gtest.h>

#include <iostream>
#include <sqlite3.h>
#include "platform/Posix.h"

#include <functional>
#include <memory>

#include "platform/Paths.h"
#include "platform/Sha256.h"
#include "support/ChildProcess.h"
#include "support/LinuxOnly.h"
#include "support/TempDir.h"

namespace pitkit {
namespace {

using namespace std::chrono;
using enum HistoryActionKind;
using enum ItemKind;
using test::TempDir;

sys_seconds minute(int m) { return sys_days{2026y / 12 / 8} + minutes(m); }

// A connection of the test's own: the store's neighbour in another window.
struct RawDatabase {
  explicit RawDatabase(const std::string& path) { sqlite3_open(path.c_str(), &db); }
  ~RawDatabase() { sqlite3_close(db); }
  int exec(const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr); }
  sqlite3* db = nullptr;
};

TEST(History, RecordListUndoAndOriginAcrossTwoGames) {
  TempDir tmp;
  const std::string a = tmp / "games/A", b = tmp / "games/B",
                    path = tmp / "data/torvane-pitkit/history.sqlite";
  const HistoryArchive pack{"/home/p/Downloads/pack.zip", 5000000000, sha256Hex("pack")};
  const HistoryArchive other{"/home/p/Downloads/other.7z", 99, sha256Hex("other")};
  const auto at = [](std::string game, int m, HistoryActionKind kind,
                     std::optional<HistoryArchive> archive, std::vector<HistoryItem> items) {
    return HistoryAction{0, std::move(game), minute(m), kind, std::move(archive), std::move(items),
                         {}};
  };
  std::vector<HistoryAction> recorded = {
      at(a, 1, ArchiveInstall, pack,
         {{Level, "Kestrel", "pack/Kestrel", a + "/levels/Kestrel", ""},
          {Level, "Ridge", "pack/Ridge", a + "/levels/Ridge", ""}}),
      at(b + "/", 2, ArchiveInstall, other,
         {{Level, "Kestrel", "", b + "/levels/Kestrel", ""},
          {Car, "Viper", "Viper", b + "/cars/Viper", ""}}),
      at(a, 3, Uninstall, {},
         {{Level, "Kestrel", a + "/levels/Kestrel", a + "/un_levels/Kestrel", ""}}),
      at(a, 4, Rename, {}, {{Level, "Summit", a + "/levels/Ridge", a + "/levels/Summit", ""}}),
      at(b, 5, Replace, pack,
         {{Car, "Viper", "pack/Viper", b + "/cars/Viper", "/trash/files/Viper"}}),
      at(b, 6, Delete, {}, {{Level, "Kestrel", b + "/levels/Kestrel", "", ""}}),
      at(a, 7, Install, {}, {{Car, "Caf\xE9", a + "/garage/Caf\xE9", a + "/cars/Caf\xE9", ""}}),
  };
  {
    History history(path);
    for (HistoryAction& action : recorded) {
      const HistoryResult<std::int64_t> id = history.record(action);
      ASSERT_TRUE(id.ok()) << id.error().message;
      action.id = id.value();
      action.gameFolder = normalizePathLexically(action.gameFolder);
    }
    // A batch records itself again after each row: the same action, its items rewritten.
    recorded[6].items.push_back({Car, "Zed", a + "/garage/Zed", a + "/cars/Zed", ""});
    const HistoryResult<std::int64_t> again = history.record(recorded[6]);
    ASSERT_TRUE(again.ok()) << again.error().message;
    EXPECT_EQ(again.value(), recorded[6].id);
  }
  History history(path);  // a later start reads what the first one wrote
  const HistoryResult<std::vector<HistoryAction>> listed = history.actions(a + "/");
  ASSERT_TRUE(listed.ok()) << listed.error().message;
  EXPECT_EQ(listed.value(),
            (std::vector<HistoryAction>{recorded[6], recorded[3], recorded[2], recorded[0]}));

  enum class Ask { Origin, Last, Undo };
  const struct {
    Ask ask;
    std::string game;
    ItemKind kind;
    std::string name;
    int expected;  // the recorded action that answers; -1: none
  } steps[] = {
      {Ask::Origin, a, Level, "Summit", 0},    // followed back through the rename
      {Ask::Origin, a, Level, "kestrel", 0},   // through the uninstall, letter case ignored
      {Ask::Origin, a, Car, "Kestrel", -1},    // another kind
      {Ask::Origin, b, Level, "Kestrel", -1},  // deleted after it came
      {Ask::Origin, b, Car, "Viper", 4},       // the newer Replace
      {Ask::Origin, a, Car, "Caf\xE9", -1},    // installed from un_levels, not from an archive
      {Ask::Undo, a, Level, "", 6},
      {Ask::Undo, a, Level, "", 3},
      {Ask::Origin, a, Level, "Summit", -1},  // the rename is undone
      {Ask::Origin, a, Level, "Ridge", 0},
      {Ask::Last, b, Level, "", 5},  // a Delete stays last: it cannot be undone
      {Ask::Undo, a, Level, "", 2},
      {Ask::Undo, a, Level, "", 0},
      {Ask::Last, a, Level, "", -1},
  };
  for (const auto& s : steps) {
    const std::string label = s.game + " " + s.name + " expects " + std::to_string(s.expected);
    if (s.ask == Ask::Origin) {
      const auto origin = history.originOf(s.game, s.kind, s.name);
      ASSERT_TRUE(origin.ok()) << origin.error().message;
      ASSERT_EQ(origin.value().has_value(), s.expected >= 0) << label;
      if (s.expected < 0) continue;
      EXPECT_EQ(origin.value()->actionId, recorded[s.expected].id) << label;
      EXPECT_EQ(origin.value()->when, recorded[s.expected].when) << label;
      EXPECT_EQ(origin.value()->archive, *recorded[s.expected].archive) << label;
      continue;
    }
    const auto last = history.lastUndoable(s.game);
    ASSERT_TRUE(last.ok()) << last.error().message;
    ASSERT_EQ(last.value().has_value(), s.expected >= 0) << label;
    if (s.expected < 0) continue;
    EXPECT_EQ(*last.value(), recorded[s.expected]) << label;
    if (s.ask != Ask::Undo) continue;
    EXPECT_TRUE(history.markUndone(last.value()->id).value()) << label;
    EXPECT_FALSE(history.markUndone(last.value()->id).value()) << label << ": undone twice";
  }
  const auto undone = history.actions(a);
  ASSERT_EQ(undone.value().size(), 4u);
  for (const HistoryAction& action : undone.value())
    EXPECT_TRUE(action.undoneAt.has_value()) << action.id;
  EXPECT_FALSE(history.disabled());
}

TEST(History, AFailingDatabaseTurnsTheStoreOffWithoutAnException) {
  TempDir tmp;
  const HistoryAction action{
      0, tmp / "game", {}, Uninstall, {}, {{Car, "Viper", "/g/cars/Viper", "/g/garage/Viper", ""}},
      {}};
  std::unique_ptr<RawDatabase> lockHolder;
  const struct {
    const char* name;
    std::string path;
    std::function<void(const std::string&)> arrange;
    std::string reason;  // in the message
    bool unprivileged;
  } cases[] = {
      {"garbage in place of the database", tmp / "garbage/history.sqlite",
       [&](const std::string& path) { test::writeFile(path, std::string(4096, 'x')); },
       "file is not a database", false},
      {"a newer version's database", tmp / "newer/history.sqlite",
       [&](const std::string& path) {
         test::makeDirs(tmp / "newer");
         RawDatabase(path).exec("PRAGMA user_version = 99");
       },
       "newer version", false},
      {"locked by another connection's write", tmp / "locked/history.sqlite",
       [&](const std::string& path) {
         ASSERT_TRUE(History(path).record(action).ok());
         lockHolder = std::make_unique<RawDatabase>(path);
         ASSERT_EQ(lockHolder->exec("BEGIN IMMEDIATE; UPDATE actions SET at = at"), SQLITE_OK);
       },
       "database is locked", false},
      {"a read-only folder", tmp / "readonly/history.sqlite",
       [&](const std::string&) {
         test::makeDirs(tmp / "readonly");
         ASSERT_EQ(test::giveTreeTo(tmp.path(), test::kNobody), "");
         ASSERT_EQ(::chmod((tmp / "readonly").c_str(), 0555), 0);
       },
       "unable to open", true},
      {"a folder that cannot be made", tmp / "file/data/history.sqlite",
       [&](const std::string&) { test::writeFile(tmp / "file", "in the way"); },
       test::kOnLinux ? "Not a directory" : "No such file or directory",  // Windows: no such path
       false},
      {"no home folder", "", [](const std::string&) {}, "no home", false},
  };
  for (const auto& c : cases) {
    if (c.unprivileged && !test::kOnLinux) {
      std::cout << "skipped (Linux only: another user, whom permission bits stop): " << c.name << "\n";
      continue;
    }
    c.arrange(c.path);
    const std::string before = test::readFile(c.path);
    const auto attempt = [&]() -> std::string {
      History history(c.path);
      const HistoryResult<std::int64_t> first = history.record(action);
      if (first.ok()) return "the action was recorded";
      if (!first.error().first) return "the first failure is not marked first";
      if (first.error().message.find(c.reason) == std::string::npos)
        return "message: " + first.error().message;
      if (!history.disabled()) return "the store is still on";
      const auto later = history.actions(action.gameFolder);
      if (later.ok() || later.error().first || later.error().message != first.error().message)
        return "a later call did not fail quietly with the same message";
      return "";
    };
    // The lock is held by a connection of this process, as SQLite allows; a forked child
    // would inherit its lock records.
    if (c.unprivileged) {
      const test::ChildOutcome child = test::runInChild(test::asUnprivilegedUser(), attempt);
      EXPECT_TRUE(child.exited && child.exitCode == 0) << c.name << ": " << child;
    } else {
      EXPECT_EQ(attempt(), "") << c.name;
    }
    EXPECT_TRUE(test::readFile(c.path) == before) << c.name << ": the file changed";
    lockHolder.reset();
  }
}

}  // namespace
}  // namespace pitkit
