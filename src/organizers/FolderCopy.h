#pragma once
// Whole-folder copy for the organizers: the copy never merges into or overwrites anything, and a
// failed copy leaves nothing behind, so a caller that deletes the source only after a successful
// copy can never lose a folder.
#include <string>

#include "organizers/FileCopy.h"
#include "organizers/TransferProgress.h"

namespace pitkit {

// Copies the folder `source` with everything in it to `destination`. When `destination` already
// exists the copy is named "destination (2)", "destination (3)", ... instead of merging. The copy is
// built under a hidden temporary name beside the destination and renamed into place only when it
// is complete; permission bits, times and extended attributes (where the destination takes them)
// are kept, holes of sparse files stay holes, every file's byte count is checked against its
// source, and a symbolic link is copied as a link. Missing parent folders of the destination are
// created. On failure the partial copy and the parents it created are removed and EOSError is
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
};

// Raised by copyFolderWith without renameOnCollision when the destination's name was taken
// meanwhile; the partial copy is removed first.
struct DestinationTaken {};

// CopyFolder with the placement chosen by `options`.
std::string copyFolderWith(const std::string& source, const std::string& destination, TransferProgress* progress,
                           CopyOptions options);

}  // namespace pitkit
