#pragma once
// Whole-folder copy and delete for the organizers' Install, Uninstall and Delete. A copy never
// merges into or overwrites anything, and a failed copy leaves nothing behind, so a caller that
// deletes the source only after a successful copy can never lose a folder.
#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "platform/Errors.h"
#include "platform/Paths.h"

namespace pitkit {

// Counters a long copy or delete advances as it goes, read by another thread to show progress.
struct TransferProgress {
  std::atomic<std::uint64_t> entries{0};  // files, links and folders done
  std::atomic<std::uint64_t> bytes{0};    // file contents copied
  // Set by the window to stop a move; honoured until the copy is in place.
  std::atomic<bool> cancelRequested{false};
  // Set by a move once its copy is in place and the source is being removed: stopping then would
  // leave half a source, so a cancel is no longer taken.
  std::atomic<bool> committed{false};
};

// Raised by a copy that stopped because cancelRequested was set; its partial copy is removed.
class ETransferCancelled : public Exception {
 public:
  using Exception::Exception;
};

// Moves the folder `source` to `destination`, a name that must not exist yet: when it does, the
// move is refused before anything is touched, with an error naming the entry and the folder. On
// one file system the move is one rename that never replaces anything; across file systems it is
// a copy without rename on collision, flushed to disk, and only then the delete of the source.
// Missing parents of the destination are created (and removed again when the move fails).
void MoveFolder(const std::string& source, const std::string& destination, TransferProgress* progress = nullptr);

// Removes the temporary folders that interrupted copies of this program (killed, crashed, cut off
// by a power loss) left directly in `folder`; nothing else, and never those of a copy still
// running in a live process. Returns how many were removed. Never raises.
int removeLeftoverCopies(const std::string& folder);

// The kernel's in-file copy call, replaceable for tests that need it to end a file early.
using CopyRangeCall = ssize_t (*)(int inFd, off_t* inOffset, int outFd, off_t* outOffset, std::size_t length,
                                  unsigned flags);
// nullptr restores copy_file_range.
void setCopyRangeCall(CopyRangeCall call);

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

// Removes the folder `folder` with everything in it, permanently and without questions; read-only
// files and folders go too. A symbolic link is removed, never followed, so nothing outside the
// tree is touched. Raises EOSError with the system's text and the path on failure (what could be
// removed is removed).
void DeleteFolder(const std::string& folder, TransferProgress* progress = nullptr);

// Raises EOSError ("Cannot delete <folder>: <system text>") when the folder could not be removed
// from its parent folder at all (no write access to the parent, read-only file system), so that a
// move can refuse before it copies anything and a delete before it empties anything.
void checkFolderRemovable(const std::string& folder);

// Refuses (raises Exception) a path that Install, Uninstall or Delete must never act on: an empty
// one, and one that names the whole levels, un_levels, cars or garage folder of `gameDirectory`,
// the game directory itself or anything above it. Paths are compared after removing ".", ".." and
// doubled separators.
void checkTransferPath(const std::string& gameDirectory, const std::string& path);

}  // namespace pitkit
