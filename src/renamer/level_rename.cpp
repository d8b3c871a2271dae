#include "renamer/level_rename.h"

#include "platform/FileSystem.h"
#include "platform/Paths.h"

namespace pitkit {

LevelRenameResult renameLevel(const std::string& oldLevelPath, const std::string& newLevelPath,
                              const std::string& oldName, const std::string& newName) {
  LevelRenameResult result;
  // The no-replace move refuses an existing target, so an existing level is never merged into.
  if (!moveFileNoReplace(oldLevelPath, newLevelPath)) return result;
  result.folderMoved = true;

  for (const char* suffix : LevelFileSuffixes) {
    const std::string from = oldName + suffix;
    const std::string to = newName + suffix;
    const std::string source = newLevelPath + PathDelim + from;
    // Only regular files: a folder named like a set file stays where it is.
    if (!fileExists(source)) continue;
    if (moveFileNoReplace(source, newLevelPath + PathDelim + to))
      result.renamedFiles.emplace_back(from, to);
    else
      result.failedFiles.push_back(from);
  }
  return result;
}

}  // namespace pitkit
