// Undo: each kind of action done for real on a small game, undone, and the game compared whole with
// what it was; each refusal leaving game and trash byte for byte as they were; an item that fails
// staying whole while the others go back; and the words of the menu entry.
#include "history/Undo.h"

#include <gtest/gtest.h>

#include <iostream>

#include <cerrno>
#include <filesystem>
#include <functional>

#include "archive/archive_support.h"
#include "platform/FileSystem.h"
#include "platform/Trash.h"
#include "renamer/LevelRename.h"
#include "support/LinuxOnly.h"
#include "support/TempDir.h"
#include "transfer/FolderMove.h"

namespace pitkit {
namespace {

using enum HistoryActionKind;
using enum ItemKind;
using enum UndoProblemKind;
using test::treeSnapshot;
using test::writeFile;

// Two levels and a car installed, three levels and a car uninstalled, and a trash of its own.
struct Game {
  test::TempDir tmp;
  std::string dir = test::realPath(tmp.path());
  test::TrashHome home{dir + "/data"};

  Game() {
    for (const char* level : {"levels/Kestrel/Kestrel", "levels/Ridge/Ridge",
                              "un_levels/Summit/Summit", "un_levels/Dune/Dune"}) {
      writeFile(at(level) + ".inf", level);
      writeFile(at(level) + "a.bmp", "picture");
    }
    writeFile(at("levels/Kestrel/notes.txt"), "not of the set");
    writeFile(at("cars/Viper/parameters.txt"), "viper");
    writeFile(at("garage/Moth/parameters.txt"), "moth");
  }
  std::string at(const std::string& rel) const { return dir + "/game/" + rel; }

  // Moves each item ("levels/Kestrel") to the other side (un_levels, garage; or back), as Install
  // and Uninstall do.
  HistoryAction move(HistoryActionKind kind, std::vector<std::string> items) const {
    static const std::map<std::string, std::string> other = {
        {"levels", "un_levels"}, {"un_levels", "levels"}, {"cars", "garage"}, {"garage", "cars"}};
    HistoryAction action{.kind = kind};
    for (const std::string& rel : items) {
      const std::string side = rel.substr(0, rel.find('/')), name = rel.substr(side.size() + 1);
      action.items.push_back({side.ends_with("levels") ? Level : Car, name, at(rel),
                              at(other.at(side) + "/" + name), ""});
      MoveFolder(action.items.back().fromPath, action.items.back().toPath);
    }
    return action;
  }
  // An archive install of a new level Orbit and of Ridge replacing the installed one.
  HistoryAction archiveInstall() const {
    writeFile(at("levels/Orbit/Orbit.inf"), "orbit from the pack");
    const TrashedItem old = moveToTrash(at("levels/Ridge"));
    writeFile(at("levels/Ridge/Ridge.inf"), "ridge from the pack");
    return {.kind = ArchiveInstall,
            .archive = HistoryArchive{"/downloads/pack.zip", 1, std::string(64, '0')},
            .items = {{Level, "Orbit", "pack/Orbit", at("levels/Orbit"), ""},
                      {Level, "Ridge", "pack/Ridge", at("levels/Ridge"), old.file}}};
  }
  HistoryAction rename(const std::string& from, const std::string& to) const {
    EXPECT_TRUE(renameLevel(at("levels/" + from), at("levels/" + to), from, to).folderMoved);
    return {.kind = Rename, .items = {{Level, to, at("levels/" + from), at("levels/" + to), ""}}};
  }
};

// Renames of an entry whose path ends so fail, as a file system error would.
std::string failingSource;
int failingRename(int fromDirFd, const char* from, int toDirFd, const char* to, unsigned flags) {
  if (std::string_view(from).ends_with(failingSource)) return errno = EIO, -1;
  return ::renameat2(fromDirFd, from, toDirFd, to, flags);
}

TEST(Undo, ReversesEachItemWholeOrRefusesTouchingNothing) {
  using Act = std::function<HistoryAction(const Game&)>;
  const Act install = [](const Game& g) { return g.move(Install, {"un_levels/Summit"}); };
  const Act uninstall = [](const Game& g) { return g.move(Uninstall, {"levels/Kestrel"}); };
  const Act three = [](const Game& g) {
    return g.move(Uninstall, {"levels/Kestrel", "levels/Ridge", "cars/Viper"});
  };
  const Act archive = &Game::archiveInstall;
  const Act rename = [](const Game& g) { return g.rename("Kestrel", "Falcon"); };
  const Act deleted = [](const Game& g) {
    test::removeTree(g.at("levels/Kestrel"));
    return HistoryAction{.kind = Delete, .items = {{Level, "Kestrel", g.at("levels/Kestrel")}}};
  };
  const Act undone = [&](const Game& g) {
    HistoryAction action = uninstall(g);
    action.undoneAt = std::chrono::sys_seconds{std::chrono::seconds{1}};
    return action;
  };
  using ByHand = std::function<void(const Game&)>;
  const auto made = [](std::string rel) -> ByHand {
    return [rel](const Game& g) { test::makeDirs(g.dir + rel); };
  };
  const auto removed = [](std::string rel) -> ByHand {
    return [rel](const Game& g) { test::removeTree(g.dir + rel); };
  };
  const ByHand movedAway = [](const Game& g) {
    std::filesystem::rename(g.at("levels/Summit"), g.at("levels/Peak"));
  };
  // A set file in two letter cases cannot be told apart: the rename back is turned back.
  const ByHand twinFiles = [](const Game& g) {
    std::filesystem::rename(g.at("levels/Falcon/Falcona.bmp"), g.at("levels/Falcon/FALCONA.bmp"));
    writeFile(g.at("levels/Falcon/falcona.bmp"), "twin");
  };
  // clang-format off
  const struct {
    const char* label;
    Act act;
    ByHand byHand;            // what the player did after the action
    const char* failing;      // renames of this entry fail
    std::optional<UndoProblemKind> refused;
    std::string problemPath;  // below the test folder
    std::vector<std::size_t> reversed, failed;
    std::set<std::string> trashed;  // the trash's entries after a complete undo
    bool linuxOnly = false;         // the desktop's trash, or names that differ in letter case alone
  } rows[] = {
      {"install", install, {}, nullptr, {}, "", {0}},
      {"uninstall", uninstall, {}, nullptr, {}, "", {0}},
      {"rename with its file set", rename, {}, nullptr, {}, "", {0}},
      {"rename in letter case only", [](const Game& g) { return g.rename("Kestrel", "KESTREL"); }, {}, nullptr, {}, "", {0}},
      {"archive install with a Replace", archive, {}, nullptr, {}, "", {1, 0}, {}, {"Orbit", "Ridge (2)"}, true},
      {"batch of three, last first", three, {}, nullptr, {}, "", {2, 1, 0}},
      {"deleted by hand", uninstall, removed("/game/un_levels/Kestrel"), nullptr, ItemGone, "/game/un_levels/Kestrel"},
      {"moved by hand", install, movedAway, nullptr, ItemGone, "/game/levels/Summit"},
      {"name taken in other letter case", uninstall, made("/game/levels/KESTREL"), nullptr, NameTaken, "/game/levels/KESTREL"},
      {"first item of a batch blocked", three, made("/game/levels/kestrel"), nullptr, NameTaken, "/game/levels/kestrel"},
      {"replaced item gone from the trash", archive, removed("/data/Trash/files/Ridge"), nullptr, TrashEntryGone, "/data/Trash/files/Ridge", {}, {}, {}, true},
      {"delete", deleted, {}, nullptr, DeletedForGood, ""},
      {"undone already", undone, {}, nullptr, AlreadyUndone, ""},
      {"batch: Ridge cannot move", three, {}, "/un_levels/Ridge", {}, "", {2, 0}, {1}},
      {"archive: the replaced Ridge cannot leave the trash", archive, {}, "/files/Ridge", {}, "", {0}, {1}, {}, true},
      {"rename: a set file in two letter cases", rename, twinFiles, nullptr, {}, "", {}, {0}, {}, true},
  };
  // clang-format on
  for (const auto& row : rows) {
    SCOPED_TRACE(row.label);
    if (row.linuxOnly && !test::kOnLinux) {
      std::cout << "skipped (Linux only: the desktop's trash, or names in two letter cases): " << row.label << "\n";
      continue;
    }
    Game game;
    const auto before = treeSnapshot(game.at(""));
    const HistoryAction action = row.act(game);
    if (row.byHand) row.byHand(game);
    const auto everything = treeSnapshot(game.dir);
    const auto failedBefore =
        row.failed.empty() ? everything : treeSnapshot(action.items[row.failed[0]].toPath);
    failingSource = row.failing ? row.failing : "";
    if (row.failing) setRenameCall(&failingRename);
    const UndoResult result = undoAction(action);
    setRenameCall(nullptr);
    EXPECT_EQ(result.reversed, row.reversed);
    std::vector<std::size_t> failed;
    for (const UndoFailure& f : result.failed) failed.push_back(f.item);
    ASSERT_EQ(failed, row.failed);
    EXPECT_EQ(result.complete(action), !row.refused && row.failed.empty());
    EXPECT_EQ(result.refused ? std::optional(result.refused->kind) : std::nullopt, row.refused);
    if (row.refused) {
      EXPECT_EQ(result.refused->path, row.problemPath.empty() ? "" : game.dir + row.problemPath);
      EXPECT_EQ(treeSnapshot(game.dir), everything);
    } else if (row.failed.empty()) {
      EXPECT_EQ(treeSnapshot(game.at("")), before);
      std::set<std::string> infos;
      for (const std::string& name : row.trashed) infos.insert(name + ".trashinfo");
      EXPECT_EQ(test::namesIn(game.home.trash() + "/files"), row.trashed);
      EXPECT_EQ(test::namesIn(game.home.trash() + "/info"), infos);
    } else {
      // The failed item is as the action left it, and what it replaced is still in the trash.
      const HistoryItem& item = action.items[row.failed[0]];
      EXPECT_NE(result.failed[0].reason.find(item.name), std::string::npos)
          << result.failed[0].reason;
      EXPECT_EQ(treeSnapshot(item.toPath), failedBefore);
      if (!item.replacedTo.empty()) EXPECT_TRUE(fileExists(trashedItemAt(item.replacedTo).info));
      for (const std::size_t i : result.reversed)
        EXPECT_FALSE(directoryExists(action.items[i].toPath));
    }
  }
}

TEST(Undo, MenuEntriesInWords) {
  const HistoryItem x{Level, "x", "/g/un_levels/x", "/g/levels/x"};
  const HistoryItem moth{Car, "Moth", "/g/garage/Moth", "/g/cars/Moth"};
  const HistoryItem renamed{Level, "b", "/g/levels/a", "/g/levels/b"};
  const struct {
    HistoryActionKind kind;
    std::vector<HistoryItem> items;
    const char* caption;
  } captions[] = {
      {Uninstall, {moth}, "Uninstall of Car: Moth"},
      {Rename, {renamed}, "Rename of Level: a to b"},
      {ArchiveInstall, {x, moth, x}, "Archive Install of 3 items"},
  };
  for (const auto& c : captions)
    EXPECT_EQ(undoCaption({.kind = c.kind, .items = c.items}), c.caption);
  const auto problem = undoProblem({.kind = Delete, .items = {x, moth, x}});
  ASSERT_TRUE(problem);
  EXPECT_EQ(undoProblemText(*problem), "3 items were deleted for good and cannot be brought back.");
}

}  // namespace
}  // namespace pitkit
