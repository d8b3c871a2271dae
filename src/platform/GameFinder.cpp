#include "platform/GameFinder.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <optional>
#include <set>

#include "platform/FinderLooks.h"
#include "platform/NameCase.h"
#include "platform/Paths.h"
#ifdef _WIN32
#include "platform/win32/KnownPlaces.h"
#endif

namespace pitkit {

using namespace finder;

namespace {

// A folder found in a place, with its real path for telling two roads to one folder apart.
struct Found {
  // Prefix: one to look at next; Named: a library a list names; Library: the library exists.
  enum Kind { Drive, Common, Prefix, Named, Library } kind;
  std::string path;
  std::string real;
};

}  // namespace

std::vector<std::string> WineDrives::gameRoots() const {
  std::vector<std::string> roots = drives;
  roots.insert(roots.end(), steamCommons.begin(), steamCommons.end());
  roots.insert(roots.end(), programFolders.begin(), programFolders.end());
  return roots;
}

namespace {

// One place of findWineDrives: a prefix, a folder whose subfolders are prefixes (each with
// `below` appended), a Steam installation's library lists, or a Steam library.
struct PrefixPlace {
  enum Kind { Prefix, Prefixes, LibraryLists, Library } kind;
  std::string path;
  std::string below;
  PathForm form = kNativePathForm;  // of the library lists
};

// Reports what `place` holds: its drive_c; the prefixes in it, each looked at later as a place of
// its own (a stopped mount among them holds only itself); the libraries a list names; a
// library's real path, its prefixes and its common folder.
void lookAtPrefixPlace(const PrefixPlace& place, Clock::time_point deadline,
                       const std::function<void(Found)>& report) {
  const auto prefixesIn = [&](const std::string& folder, const std::string& below) {
    for (const DirectoryEntry& entry : subfolders(folder)) {
      if (Clock::now() >= deadline) break;
      report({Found::Prefix, folder + PathDelim + entry.name + below, {}});
    }
  };
  switch (place.kind) {
    case PrefixPlace::Prefix: {
      const std::string drive = place.path + PathDelim + "drive_c";
      if (isFolder(drive)) report({Found::Drive, drive, realPathOf(drive)});
      break;
    }
    case PrefixPlace::Prefixes:
      prefixesIn(place.path, place.below);
      break;
    case PrefixPlace::LibraryLists:
      // A list naming more libraries than anyone has is taken only as far as its first few.
      for (const char* vdf : {"/steamapps/libraryfolders.vdf", "/config/libraryfolders.vdf"}) {
        std::set<std::string> named;
        for (std::string& library :
             steamLibraryPaths(readSmallFile(place.path + vdf, kMaxSteamVdfBytes), place.form)) {
          if (named.size() == kMaxSteamLibrariesPerList) break;
          if (named.insert(library).second) report({Found::Named, std::move(library), {}});
        }
      }
      break;
    case PrefixPlace::Library: {
      if (!isFolder(place.path)) break;
      report({Found::Library, place.path, realPathOf(place.path)});
      prefixesIn(place.path + "/steamapps/compatdata", "/pfx");
      // A store-bought Windows game lies in the library itself, its prefix holds only saves.
      const std::string common = place.path + "/steamapps/common";
      if (isFolder(common)) report({Found::Common, common, realPathOf(common)});
      break;
    }
  }
}

// Looks at `places` on the workers, each for at most `budget`: what each one found.
std::vector<std::vector<Found>> lookAtPrefixPlaces(std::vector<PrefixPlace> places,
                                                   std::chrono::milliseconds budget) {
  auto findings = std::make_shared<Findings<Found>>(places.size());
  const std::size_t count = places.size();
  lookAtPlaces(
      count,
      [places = std::move(places), findings](std::size_t i, Clock::time_point deadline) {
        lookAtPrefixPlace(places[i], deadline, [&](Found f) { findings->add(i, std::move(f)); });
      },
      budget);
  return findings->take();
}

// The places of one round and what they found, with the next round's places that each one's
// prefixes became.
struct Round {
  std::vector<PrefixPlace> places;
  std::vector<std::vector<Found>> found;
  std::vector<std::pair<std::size_t, std::size_t>> prefixes;  // [first, last) of the next round

  void look(std::chrono::milliseconds budget) { found = lookAtPrefixPlaces(places, budget); }
  // Each prefix found in a place becomes a place of `next`.
  void passPrefixesTo(Round& next) {
    prefixes.resize(places.size());
    for (std::size_t i = 0; i < places.size(); ++i) {
      prefixes[i].first = next.places.size();
      for (const Found& f : found[i])
        if (f.kind == Found::Prefix) next.places.push_back({PrefixPlace::Prefix, f.path, ""});
      prefixes[i].second = next.places.size();
    }
  }
};

}  // namespace

WineDrives findWineDrives(const std::string& home, const std::string& winePrefix,
                          std::chrono::milliseconds budget) {
  // First the prefixes, the library lists and the folders of prefixes; then the libraries the
  // lists name and the prefixes in those folders; last the prefixes in the libraries.
  Round first, second, third;
  std::vector<std::string> patterns;  // where each place of the first round looks, for the user
  const auto add = [&](PrefixPlace::Kind kind, const std::string& path, std::string pattern) {
    first.places.push_back({kind, path, ""});
    patterns.push_back(std::move(pattern));
  };
  if (!home.empty()) add(PrefixPlace::Prefix, home + "/.wine", home + "/.wine/drive_c");
  if (!winePrefix.empty()) add(PrefixPlace::Prefix, winePrefix, winePrefix + "/drive_c");
  if (!home.empty()) {
    for (const char* root : {"/.local/share/Steam", "/.steam/steam", "/.steam/root",
                             "/.var/app/com.valvesoftware.Steam/.local/share/Steam"})
      add(PrefixPlace::LibraryLists, home + root, "");
    for (const char* container : {"/Games", "/.local/share/bottles/bottles",
                                  "/.var/app/com.usebottles.bottles/data/bottles/bottles"})
      add(PrefixPlace::Prefixes, home + container,
          home + container + PathDelim + "*" + PathDelim + "drive_c");
  }
  first.look(budget);

  // Each Steam installation is a library, followed by those its lists name; each text once.
  std::set<std::string> named;
  for (std::size_t i = 0; i < first.places.size(); ++i) {
    if (first.places[i].kind != PrefixPlace::LibraryLists) continue;
    if (named.insert(first.places[i].path).second)
      second.places.push_back({PrefixPlace::Library, first.places[i].path, ""});
    for (const Found& f : first.found[i])
      if (named.insert(f.path).second) second.places.push_back({PrefixPlace::Library, f.path, ""});
  }
  const std::size_t libraries = second.places.size();
  first.passPrefixesTo(second);
  second.look(budget);
  second.passPrefixesTo(third);
  third.look(budget);

  WineDrives result;
  std::set<std::string> seen;  // real paths: a folder reached by two roads is kept under the first
  const auto take = [&](const std::vector<Found>& from) {
    for (const Found& f : from) {
      if ((f.kind != Found::Drive && f.kind != Found::Common) || !seen.insert(f.real).second)
        continue;
      (f.kind == Found::Drive ? result.drives : result.steamCommons).push_back(f.path);
    }
  };
  const auto takePrefixes = [&](const Round& round, std::size_t place, const Round& next) {
    for (std::size_t p = round.prefixes[place].first; p < round.prefixes[place].second; ++p)
      take(next.found[p]);
  };
  std::set<std::string> librariesSeen;
  bool librariesTaken = false;
  for (std::size_t i = 0; i < first.places.size(); ++i) {
    if (first.places[i].kind != PrefixPlace::LibraryLists) {
      result.places.push_back(patterns[i]);
      take(first.found[i]);
      takePrefixes(first, i, second);
      continue;
    }
    if (librariesTaken) continue;
    librariesTaken = true;
    for (std::size_t l = 0; l < libraries; ++l) {
      const std::vector<Found>& in = second.found[l];
      if (!in.empty() && in.front().kind == Found::Library &&
          !librariesSeen.insert(in.front().real).second)
        continue;
      result.places.push_back(second.places[l].path + "/steamapps/compatdata/*/pfx/drive_c");
      result.places.push_back(second.places[l].path + "/steamapps/common/*");
      takePrefixes(second, l, third);
      take(in);
    }
  }
  return result;
}

WineDrives findWindowsGameRoots(const std::string& steamInstall,
                                const std::vector<std::string>& programFilesFolders,
                                std::chrono::milliseconds budget, PathForm form) {
  // The installation's lists first, then each library once (the registry and the list may spell
  // one folder differently: the real paths tell).
  Round lists, libraries;
  if (!steamInstall.empty()) lists.places.push_back({PrefixPlace::LibraryLists, steamInstall, "", form});
  lists.look(budget);
  std::set<std::string> named;  // each text once
  if (!steamInstall.empty()) {
    named.insert(steamInstall);
    libraries.places.push_back({PrefixPlace::Library, steamInstall, ""});
    for (const Found& f : lists.found[0])
      if (named.insert(f.path).second) libraries.places.push_back({PrefixPlace::Library, f.path, ""});
  }
  libraries.look(budget);

  WineDrives result;
  std::set<std::string> seen;
  for (std::size_t l = 0; l < libraries.places.size(); ++l) {
    result.places.push_back(libraries.places[l].path + "/steamapps/common/*");
    for (const Found& f : libraries.found[l])
      if (f.kind == Found::Common && seen.insert(f.real).second) result.steamCommons.push_back(f.path);
  }
  // Each program's folder is a place of its own, so that a vast one hides no game in another; the
  // Program Files folders are listed on the workers too.
  Round programs;
  for (const std::string& folder : programFilesFolders) {
    result.places.push_back(folder + PathDelim + "*");
    programs.places.push_back({PrefixPlace::Prefixes, folder, ""});
  }
  programs.look(budget);
  for (const std::vector<Found>& in : programs.found)
    for (const Found& f : in) result.programFolders.push_back(f.path);
  return result;
}

#ifdef _WIN32
WineDrives findWineDrivesOfUser() {
  return findWindowsGameRoots(win32::steamInstallFolder(), win32::programFilesFolders());
}
#else
WineDrives findWineDrivesOfUser() {
  const char* home = std::getenv("HOME");
  const char* winePrefix = std::getenv("WINEPREFIX");
  return findWineDrives(home != nullptr ? home : "", winePrefix != nullptr ? winePrefix : "");
}
#endif

namespace {

// Reports the game folders below `drive`, depth first in name order, until `deadline`.
void walkForGames(const std::string& drive, Clock::time_point deadline, int maxDepth,
                  const std::function<void(const std::string&)>& report) {
  struct Folder {
    std::string path;
    int depth;
  };
  std::vector<Folder> pending{{drive, 0}};
  while (!pending.empty() && Clock::now() < deadline) {
    const Folder folder = std::move(pending.back());
    pending.pop_back();
    std::vector<DirectoryEntry> children;
    try {
      children = listFolder(folder.path);
    } catch (const std::exception&) {
      continue;
    }
    bool levels = false, cars = false;
    for (const DirectoryEntry& entry : children) {
      if (!entry.isDirectory) continue;
      levels = levels || sameTextAscii(entry.name, "levels");
      cars = cars || sameTextAscii(entry.name, "cars");
    }
    if (levels && cars) {
      report(folder.path);
      continue;
    }
    if (folder.depth >= maxDepth) continue;
    // Real folders only: a prefix links its user folders out to the home folder.
    std::erase_if(children, [&](const DirectoryEntry& e) {
      return !e.isDirectory || e.isSymlink ||
             (folder.depth == 0 && sameTextAscii(e.name, "windows"));
    });
    std::sort(children.begin(), children.end(),
              [](const DirectoryEntry& a, const DirectoryEntry& b) {
                return compareNames(a.name, b.name) > 0;
              });
    for (const DirectoryEntry& child : children)
      pending.push_back({folder.path + PathDelim + child.name, folder.depth + 1});
  }
}

}  // namespace

std::vector<std::string> findGameFolders(const std::vector<std::string>& drives,
                                         std::chrono::milliseconds budget, int maxDepth) {
  auto findings = std::make_shared<Findings<Found>>(drives.size());
  lookAtPlaces(
      drives.size(),
      [drives, findings, maxDepth](std::size_t i, Clock::time_point deadline) {
        walkForGames(drives[i], deadline, maxDepth, [&](const std::string& game) {
          findings->add(i, {Found::Drive, game, realPathOf(game)});
        });
      },
      budget);
  std::vector<std::string> games;
  std::set<std::string> seen;  // real paths: a game reached by two roads is listed once
  for (const std::vector<Found>& inDrive : findings->take())
    for (const Found& game : inDrive)
      if (seen.insert(game.real).second) games.push_back(game.path);
  return games;
}

}  // namespace pitkit
