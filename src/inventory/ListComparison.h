#pragma once
// How the items installed in a game differ from a shared list of installed items: missing (in the
// list, not installed here), different (installed, another fingerprint) and extra (installed here,
// not in the list). Names are matched ignoring ASCII letter case, as the game's home platform does.
#include <string>
#include <vector>

#include "inventory/InstalledList.h"

namespace pitkit {

struct TransferProgress;

enum class Difference { Missing, Different, Extra };

// One item that differs.
struct ItemDifference {
  Difference what = Difference::Missing;
  ItemKind kind = ItemKind::Level;
  std::string name;  // as the list names it (missing, different) or as installed here (extra)
  // Missing: the folder of an uninstalled item of that name that Install would move, "" when none.
  // Extra: the installed item's folder.
  std::string folder;
  bool operator==(const ItemDifference&) const = default;
};

// What a game holds, for a comparison: its installed items as a list names them, the same items
// where they lie (empty, or as many as `listed`), and its uninstalled items.
struct GameInventory {
  std::vector<ListedItem> listed;
  std::vector<GameItem> installed;
  std::vector<GameItem> uninstalled;
};

// The differences between `list` and the game's items: missing ones first, then different, then
// extra, each group in the list's (or the game's) order. A name listed or installed twice in
// other letter cases is matched once: an item of the same fingerprint first, then of the same
// spelling. The folder of a missing item is that of an uninstalled item of its name that lies
// where Install takes it from (its own folder below the uninstalled folder).
std::vector<ItemDifference> compareInstalled(const std::vector<ListedItem>& list, const GameInventory& game);

// The game in `gameFolder` as a comparison sees it: its installed items fingerprinted (see
// listInstalledItems) and its uninstalled ones.
GameInventory takeInventory(const std::string& gameFolder, TransferProgress* progress = nullptr);
// The comparison of `list` with the game in `gameFolder`.
std::vector<ItemDifference> compareWithGame(const std::vector<ListedItem>& list, const std::string& gameFolder,
                                            TransferProgress* progress = nullptr);

// "missing level Kestrel", "different car Viper", "extra level Ridge"; the name escaped as in a list.
std::string differenceLine(const ItemDifference& difference);

// Whether two item names are the same ignoring ASCII letter case.
bool sameItemName(const std::string& a, const std::string& b);

}  // namespace pitkit
