#pragma once
// One walk over a folder of the game (levels, un_levels, cars or garage) that notes what the check
// needs: each folder's regular files and sub-folders, and the entries the user cannot read. No
// file is opened; readability is asked of the system.
#include <string>
#include <vector>

namespace pitkit {

// A folder of the walked tree.
struct ScannedFolder {
  std::string path;  // below the walked folder, '/' separated ("" for the walked folder itself)
  std::vector<std::string> files;    // regular files, in listing order (unreadable ones too)
  std::vector<std::string> folders;  // sub-folders, links to folders left out
};

// An entry the user cannot read (a file that cannot be opened for reading, a folder that cannot
// be listed).
struct UnreadableEntry {
  std::string path;  // below the walked folder, '/' separated
  bool folder = false;
  int error = 0;  // errno
};

struct ScannedTree {
  std::vector<ScannedFolder> folders;  // parents before their children
  std::vector<UnreadableEntry> unreadable;
  // True when the file `path` (below the walked folder) is among the unreadable entries.
  bool isUnreadable(const std::string& path) const;
};

// Walks `root` with TreeWalk. A missing `root` gives an empty tree; one that cannot be listed is
// its only unreadable entry (path "").
ScannedTree scanTree(const std::string& root);

}  // namespace pitkit
