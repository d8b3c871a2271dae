#include "inventory/ListComparison.h"

#include <unordered_map>

#include "platform/Paths.h"

namespace pitkit {

namespace {

char asciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// The key two names of one kind match by.
std::string matchKey(ItemKind kind, const std::string& name) {
  std::string key(1, kind == ItemKind::Car ? 'c' : 'l');
  for (const char c : name) key += asciiLower(c);
  return key;
}

// The folder an uninstalled item of the kind and name of `wanted` is installed from, "" for none.
std::string installableFolder(const ListedItem& wanted, const std::vector<GameItem>& uninstalled) {
  for (const GameItem& item : uninstalled) {
    if (item.kind != wanted.kind || !sameItemName(item.name, wanted.name)) continue;
    // Install moves the folder named as the item below the uninstalled folder (a level's info file
    // may lie in a folder of another name, which Install does not take).
    const std::string folder = excludeTrailingDelim(item.folder);
    if (folder.ends_with(PathDelim + item.name)) return folder;
  }
  return {};
}

}  // namespace

bool sameItemName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (asciiLower(a[i]) != asciiLower(b[i])) return false;
  return true;
}

std::vector<ItemDifference> compareInstalled(const std::vector<ListedItem>& list, const GameInventory& game) {
  std::unordered_map<std::string, std::vector<std::size_t>> here;  // not yet matched, by key
  for (std::size_t i = 0; i < game.listed.size(); ++i)
    here[matchKey(game.listed[i].kind, game.listed[i].name)].push_back(i);
  std::vector<ItemDifference> missing, different;
  for (const ListedItem& wanted : list) {
    std::vector<std::size_t>& candidates = here[matchKey(wanted.kind, wanted.name)];
    if (candidates.empty()) {
      missing.push_back({Difference::Missing, wanted.kind, wanted.name, installableFolder(wanted, game.uninstalled)});
      continue;
    }
    auto pick = candidates.begin();
    for (auto it = candidates.begin(); it != candidates.end(); ++it)
      if (game.listed[*it].fingerprint == wanted.fingerprint) {
        pick = it;
        break;
      } else if (game.listed[*it].name == wanted.name && game.listed[*pick].name != wanted.name) {
        pick = it;
      }
    if (game.listed[*pick].fingerprint != wanted.fingerprint) {
      const std::size_t i = *pick;
      different.push_back({Difference::Different, wanted.kind, wanted.name,
                           i < game.installed.size() ? game.installed[i].folder : std::string()});
    }
    candidates.erase(pick);
  }
  std::vector<bool> matched(game.listed.size(), true);
  for (const auto& [key, left] : here)
    for (const std::size_t i : left) matched[i] = false;
  std::vector<ItemDifference> out = std::move(missing);
  out.insert(out.end(), different.begin(), different.end());
  for (std::size_t i = 0; i < game.listed.size(); ++i)
    if (!matched[i])
      out.push_back({Difference::Extra, game.listed[i].kind, game.listed[i].name,
                     i < game.installed.size() ? game.installed[i].folder : std::string()});
  return out;
}

GameInventory takeInventory(const std::string& gameFolder, TransferProgress* progress) {
  GameInventory game;
  std::size_t unread = 0;
  std::vector<GameItem> found = listGameItems(gameFolder, &unread);
  if (unread > 0) throw unreadFolders(gameFolder, unread);
  for (GameItem& item : found)
    (item.installed ? game.installed : game.uninstalled).push_back(std::move(item));
  game.listed = listItems(game.installed, progress);
  return game;
}

std::vector<ItemDifference> compareWithGame(const std::vector<ListedItem>& list, const std::string& gameFolder,
                                            TransferProgress* progress) {
  return compareInstalled(list, takeInventory(gameFolder, progress));
}

std::string differenceLine(const ItemDifference& difference) {
  static constexpr const char* kWords[] = {"missing", "different", "extra"};
  return std::string(kWords[static_cast<int>(difference.what)]) + ' ' + itemMarks(difference.kind).word + ' ' +
         escapeListField(difference.name);
}

}  // namespace pitkit
