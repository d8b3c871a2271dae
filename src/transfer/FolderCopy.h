#pragma once
// Whole-folder copy for the organizers: the copy never merges into or overwrites anything, and a
// failed copy leaves nothing behind, so a caller that deletes the source only after a successful
// copy can never lose a folder.
#include <string>

#include "transfer/CopyRecord.h"
#include "transfer/FileCopy.h"
#include "transfer/TransferProgress.h"

namespace pitkit {

// Copies the folder `source` with everything in it to `destination`. When `destination` already
// exists the copy is named "destination (2)", "destination (3)", ... instead of merging. The copy is
// built under a hidden temporary name beside the destination and renamed into place only when it
// is complete; permission bits, times and extended attributes (where the destination takes them)
// are kept, holes of sparse files stay holes, every file's byte count is checked against its
// source, a symbolic link is copied as a link, and files linked to each other inside the folder stay
// linked in the copy. The copy stays on the source's file system: a folder with another one mounted
// on it is refused, as is a destination that lies inside the source (also through a link). Missing
// parent folders of the destination are created. On failure the partial copy and the parents it created are removed and EOSError is
// raised with the system's text and the path that failed; a cancel through `progress` raises
// ETransferCancelled. Returns the path the copy received.
std::string CopyFolder(const std::string& source, const std::string& destination,
                       TransferProgress* progress = nullptr);

// How copyFolderWith places its finished copy.
struct CopyOptions {
  // Take the first free "destination (n)" when the name is taken; without it a taken name raises
  // DestinationTaken.
  bool renameOnCollision = true;
  // For a move: the copy is on disk before it is renamed into place, and marked committed after.
  bool flush = false;
  // For a move: receives what was copied, and the source is compared with it before the copy is
  // renamed into place; a source changed meanwhile raises SourceChanged.
  CopyRecord* record = nullptr;
};

// Raised by copyFolderWith without renameOnCollision when the destination's name was taken
// meanwhile; the partial copy is removed first.
struct DestinationTaken {};

// Raised by copyFolderWith with a record when the source no longer holds what was copied; the
// partial copy is removed first. `relativePath` names the first entry added, removed or changed.
struct SourceChanged {
  std::string relativePath;
};

// The flush of the destination's folder after the copy is renamed into it, replaceable for tests
// that need it to fail; nullptr restores fsync.
using FolderSyncCall = int (*)(int fd);
void setFolderSyncCall(FolderSyncCall call);

// CopyFolder with the placement chosen by `options`.
std::string copyFolderWith(const std::string& source, const std::string& destination, TransferProgress* progress,
                           CopyOptions options);

}  // namespace pitkit
