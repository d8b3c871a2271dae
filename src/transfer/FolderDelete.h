#pragma once
// Whole-folder delete for the organizers' Delete and for the second half of a move across file
// systems; also the removal of a failed copy's remains.
#include "platform/Posix.h"

#include <functional>
#include <string>
#include <string_view>

#include "transfer/RemovableCheck.h"
#include "transfer/TransferProgress.h"

namespace pitkit {

// Asked before each entry of a deleted folder that is not a folder is removed, with its path
// relative to the deleted folder ('/' separated) and its lstat: false keeps that entry.
using RemovalFilter = std::function<bool(std::string_view relativePath, const struct stat& st)>;

// Removes the folder `folder` with everything in it, permanently and without questions; read-only
// files and folders of the user go too. A symbolic link is removed, never followed, and another
// file system mounted inside is never entered, so nothing outside the tree is touched. The tree's
// folders are checked first by checkFolderRemovable as `checked` says (files only as they go), so a
// mount inside, a flagged folder or another user's folder leaves the whole tree as it was.
// When `progress` has no totals yet, that check sets its totalEntries (no bytes: nothing is copied).
// With `mayRemove`, entries it refuses are kept, and so are the folders above them; the error then
// names the first entry kept. Raises EOSError with the system's text and the path on failure (what
// could be removed is removed).
void DeleteFolder(const std::string& folder, TransferProgress* progress = nullptr,
                  const RemovalFilter& mayRemove = {}, CheckedEntries checked = CheckedEntries::FoldersOnly);

// Removes the entry `name` of the open folder `parentFd` (a tree, a link or a file), as DeleteFolder
// does but without the check first. `path` names it in errors. Returns the first error, 0 when all
// went; `errorPath`, when given, receives the path that error is about.
int removeAnyAt(int parentFd, const std::string& name, const std::string& path, TransferProgress* progress,
                std::string* errorPath = nullptr);

}  // namespace pitkit
