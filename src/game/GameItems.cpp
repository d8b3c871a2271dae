#include "game/GameItems.h"

#include "game/CarFile.h"
#include "game/InfoFile.h"
#include "game/StockTables.h"
#include "platform/FileSystem.h"
#include "platform/GameDirectory.h"
#include "platform/Paths.h"
#include "search/FindFile.h"

namespace pitkit {

namespace {

const ItemMarks kLevelMarks{ItemKind::Level, "levels", "un_levels", "*.inf", "Torvane .INF file structure", "level"};
const ItemMarks kCarMarks{ItemKind::Car, "cars", "garage", "parameters.txt", "; Model Filenames", "car"};

std::string captionOf(const GameDirectory& game, ItemKind kind, bool installed, const std::string& folder,
                      const std::string& fileName) {
  if (kind == ItemKind::Car) return carCaption(game, installed ? "cars" : "garage", folder);
  return installed ? installedLevelCaption(game, folder, fileName) : uninstalledLevelCaption(game, folder, fileName);
}

bool isStock(ItemKind kind, const std::string& caption, const std::string& fileName) {
  return kind == ItemKind::Car ? isStockCarFolder(caption) : isStockLevelInfoFile(fileName);
}

}  // namespace

const ItemMarks& itemMarks(ItemKind kind) { return kind == ItemKind::Car ? kCarMarks : kLevelMarks; }

std::string installedLevelCaption(const GameDirectory& game, const std::string& folder, const std::string& fileName) {
  const std::string caption = stripFileExt(fileName);
  const std::string levels = game.subWithDelim("levels");
  // The search reports the folder as levels/C exactly in all but odd cases (a differently spelt
  // path to levels); then the folder is the one the search has just listed, so it exists without
  // asking the disk again.
  const bool exactlyLevelsC = folder.size() == levels.size() + caption.size() &&
                              folder.compare(0, levels.size(), levels) == 0 &&
                              folder.compare(levels.size(), std::string::npos, caption) == 0;
  if (!exactlyLevelsC && (relativePath(levels, folder) != caption || !directoryExists(levels + caption))) return {};
  return caption;
}

std::string uninstalledLevelCaption(const GameDirectory& game, const std::string& folder, const std::string& fileName) {
  return isPathInside(folder, game.sub("un_levels")) ? stripFileExt(fileName) : std::string();
}

std::string carCaption(const GameDirectory& game, const char* parent, const std::string& folder) {
  if (!isPathInside(folder, game.sub(parent))) return {};
  const std::string caption = relativePath(game.subWithDelim(parent), folder);
  return caption.starts_with(".." + PathDelimStr) ? std::string() : caption;
}

namespace {

std::vector<GameItem> listItems(const std::string& gameFolder, std::initializer_list<ItemKind> kinds,
                                std::size_t* unreadFolders) {
  GameDirectory game;
  game.change(gameFolder);
  std::vector<GameItem> items;
  for (ItemKind kind : kinds) {
    const ItemMarks& marks = itemMarks(kind);
    for (bool installed : {true, false}) {
      const std::string folder = game.sub(installed ? marks.installedFolder : marks.uninstalledFolder);
      if (!directoryExists(folder)) continue;
      TFindFile search;
      search.setFilename(marks.fileMask);
      search.setContaining(marks.marker);
      search.setLocation(folder);
      search.OnFound = [&](TFindFile*, const std::string& found, TSearchRec& record) {
        const std::string caption = captionOf(game, kind, installed, found, record.Name);
        if (caption.empty() || (installed && isStock(kind, caption, record.Name))) return;
        items.push_back({kind, installed, caption, found, record.Name});
      };
      search.Execute();
      if (unreadFolders != nullptr) *unreadFolders += search.SkippedFolders();
    }
  }
  return items;
}

}  // namespace

std::vector<GameItem> listGameItems(const std::string& gameFolder, std::size_t* unreadFolders) {
  return listItems(gameFolder, {ItemKind::Level, ItemKind::Car}, unreadFolders);
}

std::vector<GameItem> listGameItems(const std::string& gameFolder, ItemKind kind, std::size_t* unreadFolders) {
  return listItems(gameFolder, {kind}, unreadFolders);
}

std::string readItemDisplayName(const GameItem& item) {
  const std::string path = includeTrailingDelim(item.folder) + item.file;
  return item.kind == ItemKind::Car ? readCarParameters(path).name : readLevelDisplayName(path);
}

}  // namespace pitkit
