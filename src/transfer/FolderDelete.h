#pragma once
// Whole-folder delete for the organizers' Delete and for the second half of a move across file
// systems; also the removal of a failed copy's remains.
#include <sys/stat.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "transfer/TransferProgress.h"

namespace pitkit {

// Asked before each entry of a deleted folder that is not a folder is removed, with its path
// relative to the deleted folder ('/' separated) and its lstat: false keeps that entry.
using RemovalFilter = std::function<bool(std::string_view relativePath, const struct stat& st)>;

// Removes the folder `folder` with everything in it, permanently and without questions; read-only
// files and folders of the user go too. A symbolic link is removed, never followed, and another
// file system mounted inside is never entered, so nothing outside the tree is touched. The tree's
// folders are checked first as checkFolderRemovable checks them (files only as they go), so a
// mount inside, a flagged folder or another user's folder leaves the whole tree as it was.
// When `progress` has no totals yet, that check sets its totalEntries (no bytes: nothing is copied).
// With `mayRemove`, entries it refuses are kept, and so are the folders above them; the error then
// names the first entry kept. Raises EOSError with the system's text and the path on failure (what
// could be removed is removed).
void DeleteFolder(const std::string& folder, TransferProgress* progress = nullptr,
                  const RemovalFilter& mayRemove = {});

// What a folder's tree holds, counted by the walk that checks it: its entries with the folder
// itself, and the bytes of the files' contents (a file with several names once, as a copy takes it).
struct FolderTotals {
  std::uint64_t entries = 0;
  std::uint64_t bytes = 0;
};

// Raises EOSError ("Cannot delete <path> (<why>): <system text>") naming the first part of the
// folder's tree that a delete could not remove, so that a move can refuse before it copies
// anything and a delete before it empties anything: the folder's own entry in its parent (no write
// access to the parent, read-only file system), an immutable or append-only file or folder (EPERM),
// a folder the user neither may write nor owns (EACCES), another file system mounted inside
// (EBUSY, as removing a mount point gives). Never enters another file system. `totals`, when given,
// receives what the walk counted; it stays zero when part of the tree could not be read.
void checkFolderRemovable(const std::string& folder, FolderTotals* totals = nullptr);

// Removes the entry `name` of the open folder `parentFd` (a tree, a link or a file), as DeleteFolder
// does but without the check first. `path` names it in errors. Returns the first error, 0 when all
// went; `errorPath`, when given, receives the path that error is about.
int removeAnyAt(int parentFd, const std::string& name, const std::string& path, TransferProgress* progress,
                std::string* errorPath = nullptr);

}  // namespace pitkit
