#pragma once
// The levels and cars of a game folder as the organizer pages list them: which folders they lie in,
// the file that marks each and how the pages name it. One place for these rules, used by the pages'
// searches and by everything else that goes over a game's items.
#include <string>
#include <vector>

namespace pitkit {

class GameDirectory;

enum class ItemKind { Level, Car };

// The marks of one kind of item: where its installed and uninstalled items lie below the game
// folder, the name of the file that marks an item and the text that file holds.
struct ItemMarks {
  ItemKind kind;
  const char* installedFolder;    // "levels", "cars"
  const char* uninstalledFolder;  // "un_levels", "garage"
  const char* fileMask;           // "*.inf", "parameters.txt"
  const char* marker;             // "Torvane .INF file structure", "; Model Filenames"
  const char* word;               // "level", "car"
};
const ItemMarks& itemMarks(ItemKind kind);

// The captions the pages give an item found by their search: the file `fileName` in `folder`
// (the folder without a trailing separator). "" when the pages list no item for it.
// An installed level is levels/C/C.inf, with folder and file named alike letter for letter; an
// uninstalled one is any info file below un_levels, named by its file.
std::string installedLevelCaption(const GameDirectory& game, const std::string& folder, const std::string& fileName);
std::string uninstalledLevelCaption(const GameDirectory& game, const std::string& folder, const std::string& fileName);
// A car is named by its folder's path relative to `parent` (cars or garage); a parameters.txt in
// the parent itself (or anywhere else) gives no caption, so that no action is ever offered on the
// whole folder.
std::string carCaption(const GameDirectory& game, const char* parent, const std::string& folder);

// One item of a game folder.
struct GameItem {
  ItemKind kind = ItemKind::Level;
  bool installed = true;
  std::string name;    // the caption the page lists it under (a car's may hold separators)
  std::string folder;  // its folder, absolute, as the search reported it
  std::string file;    // the info or parameters file that marks it, its name in `folder`
  bool operator==(const GameItem&) const = default;
};

// The items of the game in `gameFolder` that the organizer pages list (stock levels and cars left
// out), levels before cars, installed before uninstalled, each in the search's order. The folders
// that cannot be read are counted in `unreadFolders` when given.
std::vector<GameItem> listGameItems(const std::string& gameFolder, std::size_t* unreadFolders = nullptr);
// The same for the items of one kind only.
std::vector<GameItem> listGameItems(const std::string& gameFolder, ItemKind kind, std::size_t* unreadFolders = nullptr);

// The display name of an item (the name line of its info or parameters file); raises EInOutError
// when the file cannot be read.
std::string readItemDisplayName(const GameItem& item);

}  // namespace pitkit
