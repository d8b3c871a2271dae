#pragma once
// Packing one level or car into a zip laid out as the game folder (levels/NAME/..., its preview
// gfx/NAME.bmp, cars/NAME/...), so that unpacking it into a game installs the item, written with
// libarchive. The zip is built under a hidden temporary name beside its destination and renamed
// into place only when whole: a failure or a cancel leaves an older zip of that name as it was.
#include <cstdint>
#include <string>
#include <vector>

#include "game/GameItems.h"
#include "transfer/TransferProgress.h"

namespace pitkit {

// What a pack wrote, and what it left out.
struct PackResult {
  std::uint64_t files = 0;  // regular files, the preview among them
  std::uint64_t bytes = 0;  // their contents
  // Entries of the item's folder that are not packed, each "<path below the item>: <why>": links,
  // special files, names a zip would read otherwise, other file systems mounted inside.
  std::vector<std::string> leftOut;
};

// The installed item of `kind` called `name` in the game, else the uninstalled one: a name spelt
// exactly as listed first, then one that differs in ASCII letter case only. Raises Exception when
// the game has no such item.
GameItem findItemToPack(const std::string& gameFolder, ItemKind kind, const std::string& name);

// The folder the item takes in the zip: "levels/<name>" or "cars/<name>", installed or not (an
// uninstalled item is packed as it would be installed), its names in UTF-8.
std::string packedFolderName(const GameItem& item);

// Writes `item` of the game in `gameFolder` to the zip `zipPath`: its folder as packedFolderName
// says, with every folder and regular file below it (names in UTF-8 with the zip's UTF-8 flag,
// permission bits and modification times kept, contents deflated), and for a level the game's
// gfx/<name>.bmp (found ignoring case) when it has one. Raises an error naming the file or folder
// that cannot be read, Exception when `zipPath` lies inside the item's folder or is a folder, and
// ETransferCancelled when `progress` asks for a cancel (looked at between entries and blocks).
// `progress` counts the entries (folders and files) and bytes, its totals set first.
PackResult packItem(const std::string& gameFolder, const GameItem& item, const std::string& zipPath,
                    TransferProgress* progress = nullptr);

}  // namespace pitkit
