#include "platform/GameFinder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <set>

#include "platform/DirectoryList.h"
#include "platform/FileSystem.h"
#include "platform/NameCase.h"
#include "platform/Paths.h"
#include "platform/UniqueFd.h"

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

// The bytes of a regular file of at most `limit` bytes; "" for anything else (a pipe or device
// standing there, a file too large, one that cannot be read). Opened without waiting, so a pipe
// cannot hang the search.
std::string readSmallFile(const std::string& path, std::size_t limit) {
  const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  struct stat st {};
  if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) ||
      static_cast<std::uint64_t>(st.st_size) > limit)
    return {};
  std::string bytes(limit + 1, '\0');
  std::size_t size = 0;
  while (size < bytes.size()) {
    const ssize_t n = ::read(fd.get(), bytes.data() + size, bytes.size() - size);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      return {};
    }
    size += static_cast<std::size_t>(n);
  }
  if (size > limit) return {};  // grew while being read
  bytes.resize(size);
  return bytes;
}

bool isNumber(const std::string& text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

std::vector<std::string> steamLibraryPaths(const std::string& vdfText) {
  // Steam writes three levels: "libraryfolders" { "0" { "path" ... "apps" { ... } } }.
  constexpr std::size_t kMaxDepth = 8;
  if (vdfText.size() > kMaxSteamVdfBytes) return {};
  const std::size_t n = vdfText.size();
  std::vector<std::string> paths;
  std::vector<std::string> blocks;  // the keys of the open blocks, outermost first
  std::optional<std::string> key;   // a key waiting for its value or block
  std::size_t i = 0;
  while (true) {
    while (i < n) {
      const char c = vdfText[i];
      if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
        ++i;
      } else if (c == '/' && i + 1 < n && vdfText[i + 1] == '/') {
        while (i < n && vdfText[i] != '\n') ++i;
      } else {
        break;
      }
    }
    if (i == n) break;
    const char c = vdfText[i++];
    if (c == '{') {
      if (!key || blocks.size() == kMaxDepth) return {};
      blocks.push_back(std::move(*key));
      key.reset();
    } else if (c == '}') {
      if (key || blocks.empty()) return {};
      blocks.pop_back();
    } else if (c == '"') {
      std::string text;
      for (;; ++i) {
        if (i == n || vdfText[i] == '\0') return {};
        char ch = vdfText[i];
        if (ch == '"') break;
        if (ch == '\\') {
          if (++i == n) return {};
          switch (vdfText[i]) {
            case '\\': ch = '\\'; break;
            case '"': ch = '"'; break;
            case 'n': ch = '\n'; break;
            case 't': ch = '\t'; break;
            default: return {};
          }
        }
        text += ch;
      }
      ++i;  // the closing quote
      if (!key) {
        key = std::move(text);
        continue;
      }
      const bool inList = !blocks.empty() && sameTextAscii(blocks.front(), "libraryfolders");
      const bool newForm =
          inList && blocks.size() == 2 && isNumber(blocks[1]) && sameTextAscii(*key, "path");
      const bool oldForm = inList && blocks.size() == 1 && isNumber(*key);
      if ((newForm || oldForm) && !text.empty() && text.front() == PathDelim)
        paths.push_back(std::move(text));
      key.reset();
    } else {
      return {};  // a stray character: not a file Steam wrote
    }
  }
  if (key || !blocks.empty()) return {};  // cut off
  return paths;
}

std::vector<std::string> WineDrives::gameRoots() const {
  std::vector<std::string> roots = drives;
  roots.insert(roots.end(), steamCommons.begin(), steamCommons.end());
  return roots;
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
        for (std::string& library :
             steamLibraryPaths(readSmallFile(steam + vdf, kMaxSteamVdfBytes)))
          libraries.push_back(std::move(library));
    }
    std::set<std::string> librariesSeen;
    for (const std::string& library : libraries) {
      if (directoryExists(library) && !librariesSeen.insert(realPathOf(library)).second) continue;
      list.prefixesIn(library + "/steamapps/compatdata", "/pfx");
      // A store-bought Windows game lies in the library itself, its prefix holds only saves.
      const std::string common = library + "/steamapps/common";
      list.result.places.push_back(common + "/*");
      if (directoryExists(common) && list.seen.insert(realPathOf(common)).second)
        list.result.steamCommons.push_back(common);
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
  std::set<std::string> seen;  // real paths: a game reached by two roads is listed once
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
        if (seen.insert(realPathOf(folder.path)).second) games.push_back(folder.path);
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
