#pragma once
// Finding the game where Linux players keep it: inside the prefixes of a Windows compatibility
// layer (Wine, Proton in Steam, Lutris, Bottles), and in the Steam libraries, where Steam keeps a
// store-bought Windows game (its prefix holds only settings and saves). Lists the prefixes'
// drive_c folders, the libraries' game folders, and the game folders below them. On Windows the
// game lies in a Steam library or in Program Files, and those are searched instead.
//
// Any place may hang (a stopped network or FUSE mount, a vast prefix): each place (a prefix, a
// folder of prefixes, a Steam library, a drive searched for games) is looked at on a worker
// thread and has a time limit of its own; the caller goes on without a place whose time is up,
// keeping what it had found there by then.
#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "platform/SteamLibraryList.h"

namespace pitkit {

// The prefixes' drive_c folders and where they were looked for.
struct WineDrives {
  // Each existing drive_c once (a folder reached by two roads, as ~/.steam/steam usually is a
  // link to ~/.local/share/Steam, is kept under the first), in the order of the places.
  std::vector<std::string> drives;
  // Each Steam library's steamapps/common folder that exists, each real folder once.
  std::vector<std::string> steamCommons;
  // On Windows: each folder in Program Files and Program Files (x86), where an installed game
  // lies; each is searched with a time of its own.
  std::vector<std::string> programFolders;
  // The places looked at, as patterns ("<home>/Games/*/drive_c"), for telling the user.
  std::vector<std::string> places;

  // Where game folders are searched: the drives, the Steam libraries' common folders, then the
  // programs' folders.
  std::vector<std::string> gameRoots() const;
};

// The time each place of findWineDrives may take.
inline constexpr std::chrono::milliseconds kPrefixPlaceBudget{1000};
// The most libraries taken from one libraryfolders.vdf, the first it names.
inline constexpr std::size_t kMaxSteamLibrariesPerList = 32;

// Looks in $HOME/.wine, $WINEPREFIX (`winePrefix`, "" when unset), Steam's
// steamapps/compatdata/*/pfx in ~/.local/share/Steam, ~/.steam/steam, the Flatpak Steam and the
// libraries their libraryfolders.vdf lists (and those libraries' steamapps/common), Lutris's
// ~/Games/*, and the native and Flatpak Bottles folders (~/.local/share/bottles/bottles/*,
// ~/.var/app/com.usebottles.bottles/data/bottles/bottles/*). Each of these places has `budget`.
WineDrives findWineDrives(const std::string& home, const std::string& winePrefix,
                          std::chrono::milliseconds budget = kPrefixPlaceBudget);

// The places of the game on Windows: the libraries of the Steam installed at `steamInstall` ("" for
// none: itself and those its libraryfolders.vdf names, paths read in `form`), their
// steamapps/common folders, and the folders in each of `programFilesFolders` (Program Files and
// Program Files (x86)). Each place has `budget`.
WineDrives findWindowsGameRoots(const std::string& steamInstall,
                                const std::vector<std::string>& programFilesFolders,
                                std::chrono::milliseconds budget = kPrefixPlaceBudget,
                                PathForm form = kNativePathForm);

// The places of this user's games: on Linux findWineDrives with $HOME and $WINEPREFIX; on Windows
// findWindowsGameRoots with the Steam the registry names and the system's Program Files folders.
WineDrives findWineDrivesOfUser();

// The game folders below `drives`: folders holding both a levels and a cars folder, in any letter
// case, each real folder once. Each drive is searched to `maxDepth` folders below it, its windows
// folder left out; links are not followed and a game folder is not searched further. Each drive
// has `budget`, so that a vast one cannot hide a game in another.
std::vector<std::string> findGameFolders(
    const std::vector<std::string>& drives,
    std::chrono::milliseconds budget = std::chrono::milliseconds(1500), int maxDepth = 6);

// For tests: called on the finder's workers with each path about to be looked at (listed, tested,
// resolved or read). A hook that blocks stands for a stopped mount, one that sleeps for a slow
// disk. An empty hook removes it.
using FinderLookHook = std::function<void(const std::string& path)>;
void setFinderLookHook(FinderLookHook hook);

}  // namespace pitkit
