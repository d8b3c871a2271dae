#include "transfer/FolderMove.h"

#include "platform/Posix.h"

#include <cerrno>
#include <optional>
#include <unordered_set>
#include <vector>

#include "transfer/CopyRecord.h"
#include "transfer/CreatedFolders.h"
#include "transfer/FolderCopy.h"
#include "transfer/FolderDelete.h"
#include "transfer/PartialCopyName.h"
#include "transfer/TransferPath.h"
#include "platform/FileSystem.h"
#include "platform/FindData.h"
#include "platform/Paths.h"
#include "platform/TreeWalk.h"
#include "platform/UniqueFd.h"

namespace pitkit {

namespace {

[[noreturn]] void refuseExisting(const std::string& source, const std::string& destination) {
  throw EMoveError({.kind = MoveError::Kind::NameTaken,
                    .item = extractFileName(excludeTrailingDelim(source)),
                    .destination = excludeTrailingDelim(extractFilePath(destination)),
                    .entry = extractFileName(destination),
                    .error = EEXIST});
}

[[noreturn]] void refuseChanged(const std::string& src, const std::string& relativePath) {
  throw EMoveError({.kind = MoveError::Kind::Changed, .item = extractFileName(src), .entry = relativePath});
}

// The system refused to move `source` (to `destination`, when one is named).
[[noreturn]] void failMove(int err, const std::string& source, const std::string& destination = {}) {
  throw EMoveError({.kind = MoveError::Kind::System, .item = source, .destination = destination, .error = err});
}

// The entries still in `folder` after a failed delete: the first few paths below it and how many
// there are, each folder's own names before those below it.
std::string leftEntries(const std::string& folder) {
  constexpr std::size_t kShown = 5;
  struct Left : TreeWalk::Visitor {
    std::vector<std::string> shown;
    std::size_t count = 0;
    void listed(TreeWalk& walk) override {
      walk.forEachName([&](std::string_view name, unsigned char) {
        ++count;
        if (shown.size() < kShown) shown.push_back(walk.pathOf(name));
      });
    }
    void visit(TreeWalk& walk, const std::string& name, unsigned char type) override {
      if (type == DT_DIR || type == DT_UNKNOWN) walk.enter(name);
    }
  } left;
  UniqueFd top(::openat(AT_FDCWD, folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (!top) return {};
  TreeWalk().run(top.release(), left);
  std::string text = std::to_string(left.count) + (left.count == 1 ? " entry" : " entries");
  for (std::size_t i = 0; i < left.shown.size(); ++i) text += (i == 0 ? ": " : ", ") + left.shown[i];
  if (left.count > left.shown.size()) text += ", ...";
  return text;
}

// The move to another file system: a copy, flushed to disk and compared with the source, and only
// then the delete of the source, compared once more just before.
void moveAcross(const std::string& src, const std::string& dest, TransferProgress* progress,
                const CreatedFolders& created) {
  CopyRecord record;
  try {
    // A source that could be copied but not removed afterwards is refused before anything is
    // copied; a rename on one file system needs no such walk.
    // Every entry is copied and then removed; only the copy reads contents.
    checkFolderRemovable(src, progress, CheckedEntries::All, 2);
    copyFolderWith(src, dest, progress, CopyOptions{false, true, &record});
  } catch (const DestinationTaken&) {
    created.removeAll();
    refuseExisting(src, dest);
  } catch (const SourceChanged& changed) {
    created.removeAll();
    refuseChanged(src, changed.relativePath);
  } catch (...) {
    created.removeAll();
    throw;
  }
  std::string mounted;
  if (std::optional<std::string> change = record.firstChange(src, &mounted)) {
    // Changed after the copy went into place: the copy goes again, the source stays.
    try {
      DeleteFolder(dest);
    } catch (const std::exception& e) {
      throw EMoveError({.kind = MoveError::Kind::CopyNotRemoved,
                        .item = extractFileName(src),
                        .destination = dest,
                        .entry = *change,
                        .reason = e.what()});
    }
    created.removeAll();
    refuseChanged(src, *change);
  }
  try {
    // Only what was copied and has not changed since goes; anything else stays, and is named.
    // Removing one name of a hard-linked file changes the file's change time, so its other names
    // are compared without it.
    // The comparison just made stands for the delete's look at the folders: anything the check
    // before the copy let through and that could not go now changed its change time, except a
    // folder mounted on itself.
    if (!mounted.empty())
      throw EOSError(EBUSY, "Cannot delete " + src + PathDelim + mounted + " (another file system is mounted there)");
    std::unordered_set<ino_t> namesRemoved;
    DeleteFolder(
        src, progress,
        [&](std::string_view relativePath, const struct stat& st) {
          const bool sibling = st.st_nlink > 1 || namesRemoved.count(st.st_ino) != 0;
          if (!record.unchanged(relativePath, st, namesRemoved.count(st.st_ino) == 0)) return false;
          if (sibling) namesRemoved.insert(st.st_ino);
          return true;
        },
        CheckedEntries::TopOnly);
  } catch (const EOSError& e) {
    // The copy is whole and in place: say so, and what of the source is left.
    std::string left = leftEntries(src);
    if (left.empty()) left = "none";
    throw EMoveError({.kind = MoveError::Kind::SourceLeft,
                      .item = extractFileName(src),
                      .destination = dest,
                      .source = src,
                      .entry = left,
                      .error = e.ErrorCode});
  }
}

}  // namespace

void MoveFolder(const std::string& source, const std::string& destination, TransferProgress* progress) {
  if (source.empty()) throw EMoveError({.kind = MoveError::Kind::NoSource});
  if (destination.empty()) throw EMoveError({.kind = MoveError::Kind::NoDestination, .item = source});
  const std::string src = excludeTrailingDelim(source);
  const std::string dest = excludeTrailingDelim(destination);
  checkNotIntoItself("move", source, dest);
  const std::string name = extractFileName(dest);
  if (name.empty() || name == "." || name == "..") failMove(EINVAL, "", destination);

  struct stat st {};
  if (::lstat(src.c_str(), &st) != 0) failMove(errno, source);
  if (::lstat(dest.c_str(), &st) == 0) refuseExisting(src, dest);
  if (errno != ENOENT) failMove(errno, source, destination);

  CreatedFolders created;
  created.create(excludeTrailingDelim(parentFolderPath(dest)));
  const int err = renameNoReplaceAt(AT_FDCWD, src, AT_FDCWD, dest);
  if (err == 0) return;
  if (err == EEXIST || err == ENOTEMPTY) {
    created.removeAll();
    refuseExisting(src, dest);
  }
  if (err != EXDEV) {
    created.removeAll();
    failMove(err, source);
  }
  moveAcross(src, dest, progress, created);
}

int removeLeftoverCopies(const std::string& folder) {
  const UniqueFd dirFd(::openat(AT_FDCWD, folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!dirFd) return 0;
  std::vector<std::string> leftovers;
  {
    std::vector<char> buffer;
    FolderListing listing(dirFd.get(), buffer, FolderListing::Borrowed{});
    while (const FolderEntry* entry = listing.next()) {
      const pid_t owner = partialCopyOwner(entry->d_name);
      // The lock below is what tells a live copy. The process id adds what a lock cannot cover:
      // the copy of a level that is a link (no folder to lock), and copies of earlier builds of
      // the program, which take no lock, while their process (or ours) lives on this machine. A
      // process it cannot see (another pid namespace, another machine on a shared folder) proves
      // nothing, and is left to the lock.
      if (owner == 0 || ::kill(owner, 0) == 0 || errno == EPERM) continue;
      leftovers.emplace_back(entry->d_name);
    }
  }
  int removed = 0;
  for (const std::string& name : leftovers) {
    struct stat st {};
    if (::fstatat(dirFd.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (!S_ISDIR(st.st_mode)) {
      // The copy of a level that is a link: there is no folder to lock, and removing the link can
      // at worst make its owner's rename fail; it never puts a half copy in place.
      if (::unlinkat(dirFd.get(), name.c_str(), 0) == 0) ++removed;
      continue;
    }
    // Only a folder nobody holds: a copy still being built keeps its lock until it is in place.
    UniqueFd lock;
    if (lockPartialCopy(dirFd.get(), name, lock) != 0) continue;
    // Under a name of the sweep's own first, so that an owner that is still running cannot rename
    // the folder into place while it is emptied. That name is a partial-copy name of this process,
    // and the lock ends with it, so a later sweep takes what is left should this one be cut off.
    std::string mine;
    int err = EEXIST;
    for (int attempt = 0; attempt < 100 && (err == EEXIST || err == ENOTEMPTY); ++attempt) {
      mine = newPartialCopyName();
      err = renameNoReplaceAt(dirFd.get(), name, dirFd.get(), mine);
    }
    if (err != 0) continue;
    if (removeAnyAt(dirFd.get(), mine, includeTrailingDelim(folder) + mine, nullptr) == 0) ++removed;
  }
  return removed;
}

}  // namespace pitkit
