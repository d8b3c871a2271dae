#pragma once
// Whole-folder delete for the organizers' Delete and for the second half of a move across file
// systems; also the removal of a failed copy's remains.
#include <string>

#include "organizers/TransferProgress.h"

namespace pitkit {

// Removes the folder `folder` with everything in it, permanently and without questions; read-only
// files and folders go too. A symbolic link is removed, never followed, so nothing outside the
// tree is touched. Raises EOSError with the system's text and the path on failure (what could be
// removed is removed).
void DeleteFolder(const std::string& folder, TransferProgress* progress = nullptr);

// Raises EOSError ("Cannot delete <folder>: <system text>") when the folder could not be removed
// from its parent folder at all (no write access to the parent, read-only file system), so that a
// move can refuse before it copies anything and a delete before it empties anything.
void checkFolderRemovable(const std::string& folder);

// Removes the entry `name` of the open folder `parentFd` (a tree, a link or a file), as DeleteFolder
// does. `path` names it in errors. Returns the first error, 0 when all went; `errorPath`, when
// given, receives the path that error is about.
int removeAnyAt(int parentFd, const std::string& name, const std::string& path, TransferProgress* progress,
                std::string* errorPath = nullptr);

}  // namespace pitkit
