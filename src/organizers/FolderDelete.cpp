#include "organizers/FolderDelete.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "organizers/PathScope.h"
#include "platform/FindData.h"
#include "platform/FolderChain.h"
#include "platform/Paths.h"
#include "platform/UniqueFd.h"

namespace pitkit {

namespace {

// What a delete carries down the tree: its first error with the path, its progress, its listings.
struct DeleteState {
  int firstError = 0;
  std::string firstErrorPath;
  TransferProgress* progress = nullptr;
  ListingBuffers buffers;

  void record(int err, const std::string& path) {
    if (firstError == 0) {
      firstError = err;
      firstErrorPath = path;
    }
  }
};

// Gives the owner write and search access to a folder so its entries can be removed.
void makeFolderWritable(int fd) {
  struct stat st {};
  if (::fstat(fd, &st) == 0) ::fchmod(fd, (st.st_mode & 07777) | S_IRWXU);
}

void removeTreeAt(FolderChain& chain, const char* name, std::string& path, DeleteState& state);

// Removes one entry of the chain's current folder that is not a folder (a folder found on the way
// is removed as a tree).
void removeEntryAt(FolderChain& chain, const char* name, std::string& path, DeleteState& state,
                   bool& madeWritable) {
  for (;;) {
    const int dirFd = chain.fd();
    if (dirFd < 0) return state.record(errno, path);
    if (::unlinkat(dirFd, name, 0) == 0) {
      if (state.progress != nullptr) ++state.progress->entries;
      return;
    }
    const int err = errno;
    if (err == ENOENT) return;  // vanished meanwhile: nothing left to remove
    if (err == EISDIR || err == EPERM) {
      // Linux reports EISDIR (and some systems EPERM) for a folder: check what it is.
      struct stat st {};
      if (::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode))
        return removeTreeAt(chain, name, path, state);
    }
    if ((err == EACCES || err == EPERM) && !madeWritable) {
      // A read-only folder: the user asked for the whole tree to go, so allow it.
      makeFolderWritable(dirFd);
      madeWritable = true;
      continue;
    }
    return state.record(err, path);
  }
}

// Removes every entry of the chain's current folder; true when it found any.
bool removeEntries(FolderChain& chain, std::string& path, DeleteState& state) {
  const int fd = chain.fd();
  if (fd < 0) {
    state.record(errno, path);
    return false;
  }
  ::lseek(fd, 0, SEEK_SET);
  FolderListing listing(fd, state.buffers.at(chain.depth()), FolderListing::Borrowed{});
  bool madeWritable = false;
  bool any = false;
  while (const FolderEntry* entry = listing.next()) {
    any = true;
    PathScope child(path, entry->d_name);
    if (entry->d_type == DT_DIR) {
      removeTreeAt(chain, entry->d_name, path, state);
    } else {
      removeEntryAt(chain, entry->d_name, path, state, madeWritable);
    }
  }
  return any;
}

// Removes the folder `name` of the chain's current folder with everything in it; `path` names it.
void removeTreeAt(FolderChain& chain, const char* name, std::string& path, DeleteState& state) {
  if (!chain.enter(name)) {
    int err = errno;
    if (err == EACCES) {
      // A folder without read or search access for its owner.
      const int parent = chain.fd();
      if (parent >= 0) ::fchmodat(parent, name, S_IRWXU, 0);
      if (chain.enter(name)) err = 0;
      else err = errno;
    }
    if (err == ENOENT) return;
    if (err == ENOTDIR || err == ELOOP) {
      // Replaced by a file or a link since it was listed: remove that entry itself.
      bool madeWritable = true;
      return removeEntryAt(chain, name, path, state, madeWritable);
    }
    if (err != 0) return state.record(err, path);
  }
  // Some file systems may skip entries when a folder changes while it is read; a second pass
  // picks those up before the folder itself is removed.
  for (int pass = 0; pass < 2; ++pass) {
    const bool removedAny = removeEntries(chain, path, state);
    chain.leave();
    const int parent = chain.fd();
    if (parent < 0) return state.record(errno, path);
    if (::unlinkat(parent, name, AT_REMOVEDIR) == 0) {
      if (state.progress != nullptr) ++state.progress->entries;
      return;
    }
    const int err = errno;
    if (err == ENOENT) return;
    if (err != ENOTEMPTY && err != EEXIST) return state.record(err, path);
    if (!removedAny || state.firstError != 0 || pass == 1) break;
    if (!chain.enter(name)) return state.record(errno, path);
  }
  if (state.firstError == 0) state.record(ENOTEMPTY, path);
}

}  // namespace

int removeAnyAt(int parentFd, const std::string& name, const std::string& path, TransferProgress* progress,
                std::string* errorPath) {
  if (errorPath != nullptr) *errorPath = path;
  struct stat st {};
  if (::fstatat(parentFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return errno == ENOENT ? 0 : errno;
  if (!S_ISDIR(st.st_mode)) return ::unlinkat(parentFd, name.c_str(), 0) == 0 || errno == ENOENT ? 0 : errno;
  const int dup = ::fcntl(parentFd, F_DUPFD_CLOEXEC, 0);
  if (dup < 0) return errno;
  FolderChain chain;
  chain.start(dup);
  DeleteState state;
  state.progress = progress;
  std::string walked = path;
  removeTreeAt(chain, name.c_str(), walked, state);
  if (errorPath != nullptr && state.firstError != 0) *errorPath = state.firstErrorPath;
  return state.firstError;
}

void checkFolderRemovable(const std::string& folder) {
  const std::string parent = parentFolderPath(excludeTrailingDelim(folder));
  if (::faccessat(AT_FDCWD, parent.c_str(), W_OK | X_OK, AT_EACCESS) != 0 &&
      (errno == EACCES || errno == EPERM || errno == EROFS))
    throw EOSError(errno, "Cannot delete " + folder);
}

void DeleteFolder(const std::string& folder, TransferProgress* progress) {
  if (folder.empty()) throw Exception("Cannot delete: no folder given");
  const std::string path = excludeTrailingDelim(folder);
  const std::string name = extractFileName(path);
  if (normalizePathLexically(path) == PathDelimStr || name.empty() || name == "." || name == "..")
    throw Exception("Refusing to delete " + folder);

  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) throw EOSError(errno, "Cannot delete " + folder);
  // A folder whose own entry cannot go is left whole rather than emptied.
  checkFolderRemovable(path);
  if (!S_ISDIR(st.st_mode)) {
    // A link (or a file) in the folder's place: remove it, never what it points to.
    if (::unlink(path.c_str()) != 0) throw EOSError(errno, "Cannot delete " + folder);
    if (progress != nullptr) ++progress->entries;
    return;
  }
  const UniqueFd parentFd(::open(parentFolderPath(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!parentFd) throw EOSError(errno, "Cannot delete " + folder);
  std::string failedPath;
  const int err = removeAnyAt(parentFd.get(), name, path, progress, &failedPath);
  if (err != 0) throw EOSError(err, "Cannot delete " + failedPath);
}

}  // namespace pitkit
