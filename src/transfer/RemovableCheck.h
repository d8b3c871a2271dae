#pragma once
// The look at a folder's tree before it is deleted or moved: whether a delete could remove all of
// it, and what the transfer will go through, for its progress.
#include <string>

#include "transfer/TransferProgress.h"

namespace pitkit {

// Which entries the check looks at one by one.
enum class CheckedEntries {
  All,          // every entry: files marked immutable or append-only are found too
  FoldersOnly,  // only folders (mounts, owners, their flags): one status a folder, not one an entry
  TopOnly,      // only the folder's own entry, for a tree just compared with what an earlier check
                // of All saw (anything refused since then changed its change time); no totals
};

// Raises EOSError ("Cannot delete <path> (<why>): <system text>") naming the first part of the
// folder's tree that a delete could not remove, so that a move can refuse before it copies
// anything and a delete before it empties anything: the folder's own entry in its parent (no write
// access to the parent, read-only file system), an immutable or append-only file or folder (EPERM),
// a folder the user neither may write nor owns (EACCES), another file system mounted inside
// (EBUSY, as removing a mount point gives). Never enters another file system.
// When `progress` has no totals yet, the walk's count becomes them: its entries with the folder
// itself, each `entryPasses` times (a move copies and then removes each entry), and with
// CheckedEntries::All the bytes of the files' contents (a file of several names once, as a copy
// takes it). They stay zero when part of the tree could not be read.
void checkFolderRemovable(const std::string& folder, TransferProgress* progress = nullptr,
                          CheckedEntries which = CheckedEntries::All, unsigned entryPasses = 1);

}  // namespace pitkit
