#pragma once
// The soak's picture of the game tree: a manifest of every folder and file under the game
// directory (contents included), the changes each user action may make to it, and the level
// lists a search must show for it. Plain C++, no Qt.
#include <map>
#include <string>
#include <vector>

namespace pitkit::soak {

struct Node {
  bool folder = false;
  std::string bytes;  // a file's contents; a link's target
  bool link = false;
  bool operator==(const Node&) const = default;
};

// Paths relative to the game directory, '/'-separated, without a leading separator.
using Manifest = std::map<std::string, Node>;

// Everything below `root` (links recorded, never followed).
Manifest scanTree(const std::string& root);

// A readable account of how `actual` differs from `expected` (at most `limit` lines; "" if equal).
std::string describeDifference(const Manifest& expected, const Manifest& actual, int limit = 12);

// True when `rel` names `folder` or something inside it.
bool isWithin(const std::string& rel, const std::string& folder);

// The folder `from` with everything in it moved to `to`.
Manifest moved(const Manifest& m, const std::string& from, const std::string& to);
// The folder or file `rel` and everything in it gone.
Manifest removed(const Manifest& m, const std::string& rel);
// The rename of a level: the folder `oldRel` moved to levels/<newName>, then each file directly in
// it named oldName + suffix (exactly, or failing that the only one equal ignoring ASCII case)
// renamed to newName + suffix unless that name is taken.
Manifest renamedLevel(const Manifest& m, const std::string& oldRel, const std::string& oldName,
                      const std::string& newName);
// `path` with "." and ".." steps resolved; "" when it climbs above the top.
std::string resolved(const std::string& path);

// The captions the two lists of each organizer must hold after a search of this tree, sorted.
std::vector<std::string> installedLevels(const Manifest& m);
std::vector<std::string> uninstalledLevels(const Manifest& m);
std::vector<std::string> installedCars(const Manifest& m);
std::vector<std::string> uninstalledCars(const Manifest& m);

// The value the organizer shows as a level's or car's name: the first line of the file's bytes
// holding "Name", "NAME" or "name", cut between its first two `quote` characters, as UTF-8: the
// line as it is when it is valid UTF-8, else read as Windows-1252.
std::string nameValue(const std::string& bytes, char quote);

}  // namespace pitkit::soak
