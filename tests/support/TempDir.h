#pragma once
// A fresh temporary folder per test, removed with everything in it at the end, and one-line
// helpers to build the game tree a test needs.
#include "platform/Posix.h"

#include <map>
#include <set>
#include <string>

namespace pitkit::test {

class TempDir {
 public:
  TempDir();
  // A temporary folder inside `parent` (for instance /dev/shm, another file system).
  explicit TempDir(const std::string& parent);
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The folder, without a trailing separator.
  const std::string& path() const { return path_; }
  // path() + "/" + relative.
  std::string operator/(const std::string& relative) const { return path_ + "/" + relative; }

 private:
  std::string path_;
};

// Creates the folder and any missing parents.
void makeDirs(const std::string& path);
// Writes `bytes` to `path`, creating missing parent folders.
void writeFile(const std::string& path, const std::string& bytes);
// The file's bytes ("" when it cannot be read).
std::string readFile(const std::string& path);
// The path with every link and "." or ".." resolved (the path itself when it does not exist).
std::string realPath(const std::string& path);
// The entry's state, links not followed; throws when it cannot be read (so the test fails).
struct stat statOf(const std::string& path);
// The names of the entries directly in a folder, hidden ones included (none when it cannot be read).
std::set<std::string> namesIn(const std::string& folder);
// Every entry below `root` by its path relative to it (links not followed): "dir",
// "link -> target" or the file's bytes; to compare a tree before and after.
std::map<std::string, std::string> treeSnapshot(const std::string& root);
// Removes a tree (links are removed, never followed).
void removeTree(const std::string& path);
// A temporary folder on another file system than the system's temporary folder, where the machine
// has one (a tmpfs at /dev/shm); an empty path when not.
std::string otherFileSystemParent();

}  // namespace pitkit::test
