#pragma once
// Finding the game where Linux players keep it: inside the prefixes of a Windows compatibility
// layer (Wine, Proton in Steam, Lutris, Bottles). Lists the prefixes' drive_c folders and the game
// folders below them.
#include <chrono>
#include <string>
#include <vector>

namespace pitkit {

// The prefixes' drive_c folders and where they were looked for.
struct WineDrives {
  // Each existing drive_c once (a folder reached by two roads, as ~/.steam/steam usually is a
  // link to ~/.local/share/Steam, is kept under the first), in the order of the places.
  std::vector<std::string> drives;
  // The places looked at, as patterns ("<home>/Games/*/drive_c"), for telling the user.
  std::vector<std::string> places;
};

// Looks in $HOME/.wine, $WINEPREFIX (`winePrefix`, "" when unset), Steam's
// steamapps/compatdata/*/pfx in ~/.local/share/Steam, ~/.steam/steam, the Flatpak Steam and the
// libraries their libraryfolders.vdf lists, Lutris's ~/Games/*, and the native and Flatpak Bottles
// folders (~/.local/share/bottles/bottles/*,
// ~/.var/app/com.usebottles.bottles/data/bottles/bottles/*).
WineDrives findWineDrives(const std::string& home, const std::string& winePrefix);

// findWineDrives for this user: $HOME and $WINEPREFIX.
WineDrives findWineDrivesOfUser();

// The library folders a Steam libraryfolders.vdf text names: the values of its "path" keys (and,
// in the older form, of its numbered keys), with the file's escapes undone.
std::vector<std::string> steamLibraryPaths(const std::string& vdfText);

// The game folders below `drives`: folders holding both a levels and a cars folder, in any letter
// case. Each drive is searched to `maxDepth` folders below it, its windows folder left out; links
// are not followed and a game folder is not searched further. The search stops at `budget`.
std::vector<std::string> findGameFolders(
    const std::vector<std::string>& drives,
    std::chrono::milliseconds budget = std::chrono::milliseconds(1500), int maxDepth = 6);

}  // namespace pitkit
