#pragma once
// The list of a game's installed levels and cars that players share: a header line naming the
// format and its version, then one line per item, its kind, folder name, fingerprint and display
// name separated by tabs. A tab, line break or other control byte and the backslash inside a name
// are written as escapes (\t, \n, \r, \\, \xHH), so that every list reads back as it was written.
#include <cstddef>
#include <string>
#include <vector>

#include "game/GameItems.h"
#include "platform/Errors.h"

namespace pitkit {

struct TransferProgress;

// The header line (without its line break) and the format version this program writes and reads.
inline constexpr const char* kInstalledListHeader = "# pitkit installed list ";
inline constexpr int kInstalledListVersion = 1;
// A list file larger than this is refused unread.
inline constexpr std::size_t kInstalledListLimit = 64 * 1024 * 1024;

// One installed item of a list.
struct ListedItem {
  ItemKind kind = ItemKind::Level;
  std::string name;         // its folder name (a car's relative path below cars, '/' separated)
  std::string fingerprint;  // 64 lower-case hexadecimal digits
  std::string displayName;
  bool operator==(const ListedItem&) const = default;
};

// The installed items of the game in `gameFolder` as the organizer pages list them, each with its
// fingerprint and display name, in the pages' order. Raises the error of a file or folder that
// cannot be read; ETransferCancelled when `progress` asks to stop.
std::vector<ListedItem> listInstalledItems(const std::string& gameFolder, TransferProgress* progress = nullptr);
// The same for the items `installed` (found by listGameItems), in their order.
std::vector<ListedItem> listItems(const std::vector<GameItem>& installed, TransferProgress* progress = nullptr);

// The error of a game whose search could not read `count` of its folders.
Exception unreadFolders(const std::string& gameFolder, std::size_t count);

// The list's text: the header and a line for each item.
std::string formatInstalledList(const std::vector<ListedItem>& items);
// Reads a list's text back. Raises Exception with the line and what is wrong: not such a list,
// a newer version, a line that is not an item, an escape that is not one.
std::vector<ListedItem> parseInstalledList(const std::string& text);
// Reads the list file `path` (a regular file of at most kInstalledListLimit bytes). Raises
// Exception naming the file and what is wrong.
std::vector<ListedItem> readInstalledList(const std::string& path);

// A name with its tabs, line breaks, other control bytes and backslashes written as escapes, and
// back; unescapeListField returns false for text that is no such escaped name.
std::string escapeListField(const std::string& text);
bool unescapeListField(const std::string& text, std::string& out);

}  // namespace pitkit
