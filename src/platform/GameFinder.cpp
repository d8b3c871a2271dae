#include "platform/GameFinder.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <set>

#include "platform/DirectoryList.h"
#include "platform/FileSystem.h"
#include "platform/NameCase.h"
#include "platform/Paths.h"
#include "platform/TextFile.h"

namespace pitkit {
namespace {

using Clock = std::chrono::steady_clock;

std::string realPathOf(const std::string& path) {
  char buffer[PATH_MAX];
  return ::realpath(path.c_str(), buffer) != nullptr ? std::string(buffer) : path;
}

// The subfolders of `folder`, sorted by name; none when it cannot be listed.
std::vector<DirectoryEntry> subfolders(const std::string& folder) {
  std::vector<DirectoryEntry> folders;
  try {
    for (DirectoryEntry& entry : listDirectory(folder))
      if (entry.isDirectory) folders.push_back(std::move(entry));
  } catch (const std::exception&) {
    return {};
  }
  std::sort(folders.begin(), folders.end(), [](const DirectoryEntry& a, const DirectoryEntry& b) {
    return compareNames(a.name, b.name) < 0;
  });
  return folders;
}

// Collects drive_c folders, each real folder once.
struct DriveList {
  WineDrives result;
  std::set<std::string> seen;

  void prefix(const std::string& prefix) {
    const std::string drive = prefix + PathDelim + "drive_c";
    if (!directoryExists(drive) || !seen.insert(realPathOf(drive)).second) return;
    result.drives.push_back(drive);
  }
  // Every subfolder of `container` as a prefix.
  void prefixesIn(const std::string& container, const std::string& below) {
    result.places.push_back(container + PathDelim + "*" + below + PathDelim + "drive_c");
    for (const DirectoryEntry& entry : subfolders(container))
      prefix(container + PathDelim + entry.name + below);
  }
};

std::string readWhole(const std::string& path) {
  try {
    return readWholeFile(path);
  } catch (const std::exception&) {
    return {};
  }
}

}  // namespace

std::vector<std::string> steamLibraryPaths(const std::string& vdfText) {
  // The quoted strings of the text in order, escapes undone; braces only group them.
  std::vector<std::string> tokens;
  for (std::size_t i = 0; i < vdfText.size(); ++i) {
    if (vdfText[i] != '"') continue;
    std::string token;
    for (++i; i < vdfText.size() && vdfText[i] != '"'; ++i) {
      if (vdfText[i] == '\\' && i + 1 < vdfText.size()) ++i;
      token += vdfText[i];
    }
    tokens.push_back(std::move(token));
  }
  // A "path" key, or in the older form a numbered one, followed by an absolute path.
  std::vector<std::string> paths;
  for (std::size_t i = 0; i + 1 < tokens.size(); ++i) {
    const std::string& key = tokens[i];
    const bool numbered = !key.empty() && std::all_of(key.begin(), key.end(),
                                                      [](char c) { return c >= '0' && c <= '9'; });
    if ((numbered || sameTextAscii(key, "path")) && !tokens[i + 1].empty() &&
        tokens[i + 1].front() == PathDelim)
      paths.push_back(tokens[++i]);
  }
  return paths;
}

WineDrives findWineDrives(const std::string& home, const std::string& winePrefix) {
  DriveList list;
  if (!home.empty()) {
    list.result.places.push_back(home + "/.wine/drive_c");
    list.prefix(home + "/.wine");
  }
  if (!winePrefix.empty()) {
    list.result.places.push_back(winePrefix + "/drive_c");
    list.prefix(winePrefix);
  }
  if (!home.empty()) {
    std::vector<std::string> libraries;
    for (const char* root : {"/.local/share/Steam", "/.steam/steam", "/.steam/root",
                             "/.var/app/com.valvesoftware.Steam/.local/share/Steam"}) {
      const std::string steam = home + root;
      libraries.push_back(steam);
      for (const char* vdf : {"/steamapps/libraryfolders.vdf", "/config/libraryfolders.vdf"})
        for (std::string& library : steamLibraryPaths(readWhole(steam + vdf)))
          libraries.push_back(std::move(library));
    }
    std::set<std::string> librariesSeen;
    for (const std::string& library : libraries) {
      if (directoryExists(library) && !librariesSeen.insert(realPathOf(library)).second) continue;
      list.prefixesIn(library + "/steamapps/compatdata", "/pfx");
    }
    list.prefixesIn(home + "/Games", "");
    list.prefixesIn(home + "/.local/share/bottles/bottles", "");
    list.prefixesIn(home + "/.var/app/com.usebottles.bottles/data/bottles/bottles", "");
  }
  return list.result;
}

WineDrives findWineDrivesOfUser() {
  const char* home = std::getenv("HOME");
  const char* winePrefix = std::getenv("WINEPREFIX");
  return findWineDrives(home != nullptr ? home : "", winePrefix != nullptr ? winePrefix : "");
}

std::vector<std::string> findGameFolders(const std::vector<std::string>& drives,
                                         std::chrono::milliseconds budget, int maxDepth) {
  const Clock::time_point deadline = Clock::now() + budget;
  std::vector<std::string> games;
  struct Folder {
    std::string path;
    int depth;
  };
  for (const std::string& drive : drives) {
    // Depth first, in name order, so the list reads in the order of the folders.
    std::vector<Folder> pending{{drive, 0}};
    while (!pending.empty() && Clock::now() < deadline) {
      const Folder folder = std::move(pending.back());
      pending.pop_back();
      std::vector<DirectoryEntry> children;
      try {
        children = listDirectory(folder.path);
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
        games.push_back(folder.path);
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
  return games;
}

}  // namespace pitkit
