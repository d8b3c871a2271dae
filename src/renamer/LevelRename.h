#pragma once
// The rename of a level: its folder under levels and the files of its fixed file set.
#include <string>
#include <utility>
#include <vector>

#include "game/LevelFileSet.h"

namespace pitkit {

// What a level rename did.
struct LevelRenameResult {
  // The folder move itself succeeded. When it did not, nothing on disk was changed.
  bool folderMoved = false;
  // Why the names were refused before anything was looked at (checkLevelName's message); "" when
  // they were not.
  std::string refused;
  // File names (without folder) that were renamed, as old-name / new-name pairs, in table order.
  std::vector<std::pair<std::string, std::string>> renamedFiles;
  // Old file names of the set that exist but could not be moved (or several that differ in letter
  // case only); they keep their names.
  std::vector<std::string> failedFiles;
};

// Raises Exception "Level: <name> is not a valid level name: <why>!" when `name` is not one plain
// folder name (plainFolderNameProblem) that the folder `levels` can hold.
void checkLevelName(const std::string& levels, const std::string& name);

// Moves the folder oldLevelPath to newLevelPath without replacing anything, then, inside the new
// folder, renames each regular file oldName + suffix to newName + suffix. A set file whose name
// differs from oldName + suffix in ASCII letter case only is renamed too when it is the only one.
// File contents are never touched. Nothing is moved when oldLevelPath is not a folder, and no file
// is renamed when the folder move fails (target exists, source missing, move refused), so a
// folder the move did not produce is never changed. A file that cannot be moved keeps its name
// and the others still move. Nothing is moved out of the folder holding the level: both names must
// pass checkLevelName and the paths must be that one folder joined with each name, or the rename
// is refused before anything is touched.
LevelRenameResult renameLevel(const std::string& oldLevelPath, const std::string& newLevelPath,
                              const std::string& oldName, const std::string& newName);

}  // namespace pitkit
