#include "platform/Posix.h"

#include <cstring>

#include "check/GameCheck.h"
#include "platform/DirectoryList.h"
#include "platform/Errors.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"

namespace pitkit {

namespace {

std::string inFolder(const std::string& folder, const std::string& name) { return folder + PathDelim + name; }

// Raises why the fix no longer holds: an entry to rename is gone or changed kind, or a target
// name is taken (letter case ignored, the entry itself excepted).
void lookAgain(const CheckFix& fix) {
  const std::vector<DirectoryEntry> entries = listDirectory(fix.folder);
  for (const auto& [from, to] : fix.renames) {
    bool there = false;
    for (const DirectoryEntry& entry : entries) {
      if (entry.name == from)
        there = fix.renamesFolders ? entry.isDirectory && !entry.isSymlink : entry.isRegularFile;
      else if (sameTextAscii(entry.name, to))
        throw Exception("Cannot fix: the name " + to + " is taken by " + inFolder(fix.folder, entry.name));
    }
    if (!there) throw Exception("Cannot fix: " + inFolder(fix.folder, from) + " is no longer there");
  }
  if (!fix.expectedFile.empty() && !fix.renames.empty()) {
    const std::string expected = inFolder(inFolder(fix.folder, fix.renames.front().first), fix.expectedFile);
    if (!fileExists(expected)) throw Exception("Cannot fix: " + expected + " is no longer there");
  }
}

}  // namespace

void applyFix(const CheckFix& fix) {
  lookAgain(fix);
  std::size_t done = 0;
  for (; done < fix.renames.size(); ++done) {
    const auto& [from, to] = fix.renames[done];
    const int error = renameNoReplaceAt(AT_FDCWD, inFolder(fix.folder, from), AT_FDCWD, inFolder(fix.folder, to));
    if (error == 0) continue;
    // Whole or not at all: the names moved so far go back.
    while (done-- > 0)
      renameNoReplaceAt(AT_FDCWD, inFolder(fix.folder, fix.renames[done].second), AT_FDCWD,
                        inFolder(fix.folder, fix.renames[done].first));
    throw Exception("Cannot rename " + inFolder(fix.folder, from) + " to " + to + ": " + std::strerror(error));
  }
}

}  // namespace pitkit
