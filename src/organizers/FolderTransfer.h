#pragma once
// Whole-folder copy and delete for the organizers' Install, Uninstall and Delete. A copy never
// merges into or overwrites anything, and a failed copy leaves nothing behind, so a caller that
// deletes the source only after a successful copy can never lose a folder.
#include <atomic>
#include <cstdint>
#include <string>

namespace pitkit {

// Counters a long copy or delete advances as it goes, read by another thread to show progress.
struct TransferProgress {
  std::atomic<std::uint64_t> entries{0};  // files, links and folders done
  std::atomic<std::uint64_t> bytes{0};    // file contents copied
};

// Copies the folder `source` with everything in it to `destination`. When `destination` already
// exists the copy is named "destination (2)", "destination (3)", ... instead of merging. The copy is
// built under a hidden temporary name beside the destination and renamed into place only when it
// is complete; permission bits and times are kept, and a symbolic link is copied as a link.
// Missing parent folders of the destination are created. On failure the partial copy is removed
// and EOSError is raised with the system's text and the path that failed. Returns the path the
// copy received.
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

// `path` with doubled separators, "." and ".." removed, without a trailing separator (lexical only).
std::string normalizePathLexically(const std::string& path);

}  // namespace pitkit
