#include "renamer/LevelRename.h"

#include <map>

#include "platform/DirectoryList.h"
#include "platform/Errors.h"
#include "platform/FileSystem.h"
#include "platform/FolderName.h"
#include "platform/Paths.h"

namespace pitkit {

namespace {

// The regular files of `folder` by their names in ASCII upper case. Levels made where letter case
// does not count often name their files otherwise than their folder (folder "MyTrack", files
// "mytrack.w"); the game finds them all the same, so the rename must too.
std::multimap<std::string, std::string> regularFilesByUpperName(const std::string& folder) {
  std::multimap<std::string, std::string> files;
  try {
    for (DirectoryEntry& entry : listDirectory(folder))
      if (entry.isRegularFile) files.emplace(upperAscii(entry.name), std::move(entry.name));
  } catch (const std::exception&) {
    // A folder that cannot be listed leaves only the exact names to be found.
  }
  return files;
}

// The folder both paths lie in when each is that folder joined with its name; "" otherwise.
std::string commonLevelsFolder(const std::string& oldLevelPath, const std::string& newLevelPath,
                               const std::string& oldName, const std::string& newName) {
  if (oldLevelPath.size() <= oldName.size() || !oldLevelPath.ends_with(PathDelim + oldName)) return {};
  const std::string levels = oldLevelPath.substr(0, oldLevelPath.size() - oldName.size() - 1);
  return newLevelPath == levels + PathDelim + newName ? levels : std::string();
}

// The refusal of a level name `levels` cannot hold as one plain folder name; "" when it can.
std::string levelNameRefusal(const std::string& levels, const std::string& name) {
  const std::string problem = plainFolderNameProblem(name, longestNameIn(levels));
  return problem.empty() ? problem : "Level: " + name + " is not a valid level name: " + problem + "!";
}

}  // namespace

void checkLevelName(const std::string& levels, const std::string& name) {
  if (std::string refusal = levelNameRefusal(levels, name); !refusal.empty()) throw Exception(std::move(refusal));
}

LevelRenameResult renameLevel(const std::string& oldLevelPath, const std::string& newLevelPath,
                              const std::string& oldName, const std::string& newName) {
  LevelRenameResult result;
  // A name that is a path (or a path that is not built from its name) could lead anywhere: the
  // level stays inside the folder it lies in, whoever asks.
  const std::string levels = commonLevelsFolder(oldLevelPath, newLevelPath, oldName, newName);
  result.refused = levels.empty() ? "The level paths are not built from the level names"
                                  : levelNameRefusal(levels, oldName);
  if (result.refused.empty()) result.refused = levelNameRefusal(levels, newName);
  if (!result.refused.empty()) return result;
  // Only a folder is a level: a file at the old path is left alone rather than renamed under an
  // outcome that reports problems.
  if (!directoryExists(oldLevelPath)) return result;
  // The no-replace move refuses an existing target, so an existing level is never merged into.
  if (!moveFileNoReplace(oldLevelPath, newLevelPath)) return result;
  result.folderMoved = true;

  const auto byUpperName = regularFilesByUpperName(newLevelPath);
  for (const char* suffix : LevelFileSuffixes) {
    const std::string wanted = oldName + suffix;
    const std::string to = newName + suffix;
    // The exact name first; otherwise the one file whose name differs from it in letter case
    // only. Several such files cannot be told apart and all keep their names.
    std::string from = wanted;
    // Only regular files: a folder named like a set file stays where it is.
    if (!fileExists(newLevelPath + PathDelim + wanted)) {
      const auto [first, last] = byUpperName.equal_range(upperAscii(wanted));
      if (first == last) continue;
      if (std::next(first) != last) {
        for (auto it = first; it != last; ++it) result.failedFiles.push_back(it->second);
        continue;
      }
      from = first->second;
    }
    if (from == to) continue;  // already named so (a rename that changes letter case only)
    if (moveFileNoReplace(newLevelPath + PathDelim + from, newLevelPath + PathDelim + to))
      result.renamedFiles.emplace_back(from, to);
    else
      result.failedFiles.push_back(from);
  }
  return result;
}

}  // namespace pitkit
