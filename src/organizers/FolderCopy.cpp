#include "organizers/FolderCopy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "organizers/CreatedFolders.h"
#include "organizers/FolderDelete.h"
#include "organizers/PartialCopyName.h"
#include "organizers/PathScope.h"
#include "organizers/TransferPath.h"
#include "platform/FileSystem.h"
#include "platform/FolderChain.h"
#include "platform/Paths.h"
#include "platform/UniqueFd.h"

namespace pitkit {

namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// Copies the entries of the source chain's current folder into the destination chain's current
// folder, which is empty. `path` names the source folder.
void copyTree(FolderChain& src, FolderChain& dst, std::string& path, CopyContext& ctx) {
  const int listed = src.fd();
  if (listed < 0) failCopy(errno, path);
  FolderListing listing(listed, ctx.listings.at(src.depth()), FolderListing::Borrowed{});
  while (const FolderEntry* entry = listing.next()) {
    ctx.checkCancel();
    PathScope child(path, entry->d_name);
    const int srcFd = src.fd();
    if (srcFd < 0) failCopy(errno, path);
    const int dstFd = dst.fd();
    if (dstFd < 0) failCopy(errno, path);
    struct stat st {};
    if (::fstatat(srcFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) failCopy(errno, path);
    if (S_ISDIR(st.st_mode)) {
      if (::mkdirat(dstFd, entry->d_name, S_IRWXU) != 0) failCopy(errno, path);
      if (!src.enter(entry->d_name)) failCopy(errno, path);
      if (!dst.enter(entry->d_name)) failCopy(errno, path);
      copyTree(src, dst, path, ctx);
      const int from = src.fd();
      if (from < 0) failCopy(errno, path);
      const int to = dst.fd();
      if (to < 0) failCopy(errno, path);
      copyXattrs(from, to, path, ctx);
      // Bits and times last: filling the folder changed its times, and it may be read-only.
      applyAttributes(to, st, path);
      src.leave();
      dst.leave();
      if (ctx.progress != nullptr) ++ctx.progress->entries;
    } else if (S_ISLNK(st.st_mode)) {
      copyLinkAt(srcFd, dstFd, entry->d_name, st, path);
      if (ctx.progress != nullptr) ++ctx.progress->entries;
    } else if (S_ISREG(st.st_mode)) {
      copyFileAt(srcFd, dstFd, entry->d_name, path, ctx);
    } else {
      // Pipes, sockets and devices have no place in a game folder and cannot be copied as files.
      failCopy(EOPNOTSUPP, path);
    }
  }
}

// Makes the hidden temporary folder the copy is built in beside its destination and returns its
// name; for a link only the name is chosen, the link's copy makes the entry. The hidden name keeps
// a half-made copy out of the searches and out of the way; the folder stays locked through `lock`
// so that no sweep of leftover copies, here or on another machine, takes it while it is built.
std::string makeTempEntry(int parentFd, bool forLink, const CreatedFolders& created, const std::string& destination,
                          UniqueFd& lock) {
  for (int attempt = 0;; ++attempt) {
    std::string tempName = newPartialCopyName();
    const int made = forLink ? 0 : ::mkdirat(parentFd, tempName.c_str(), S_IRWXU);
    if (made == 0 && !forLink) {
      // Where the file system keeps no locks no sweep can take the folder either.
      const int err = lockPartialCopy(parentFd, tempName, lock);
      if (err == 0 || err == ENOLCK) return tempName;
      // A sweep got to the new folder first: it is the sweep's now, and this copy fails.
      if (err != EWOULDBLOCK && err != ENOENT) ::unlinkat(parentFd, tempName.c_str(), AT_REMOVEDIR);
      created.removeAll();
      throw EOSError(err, "Cannot copy to " + destination);
    }
    if (made == 0) return tempName;
    if (errno != EEXIST || attempt > 100) {
      const int err = errno;
      created.removeAll();
      throw EOSError(err, "Cannot copy to " + destination);
    }
  }
}

// The source itself is a link (the level folder is one): the copy is the link, as inside a tree.
void copyTopLink(const std::string& src, const std::string& source, const struct stat& srcStat, int parentFd,
                 const std::string& tempName) {
  const UniqueFd srcParent(::open(parentFolderPath(src).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!srcParent) failCopy(errno, source);
  const std::string target =
      readLinkAt(srcParent.get(), extractFileName(src).c_str(), static_cast<std::size_t>(srcStat.st_size), source);
  if (::symlinkat(target.c_str(), parentFd, tempName.c_str()) != 0) failCopy(errno, source);
}

// Copies the folder `src` with everything in it into the temporary folder `tempName`.
void copyTopFolder(const std::string& src, const std::string& source, const struct stat& srcStat, int parentFd,
                   const std::string& tempName, CopyContext& ctx, bool flush) {
  UniqueFd srcDir(::open(src.c_str(), kFolderFlags));
  if (!srcDir) failCopy(errno, source);
  const int srcFd = srcDir.get();
  FolderChain from;
  from.start(srcDir.release());
  UniqueFd tempDir(::openat(parentFd, tempName.c_str(), kFolderFlags));
  if (!tempDir) failCopy(errno, source);
  const int tempFd = tempDir.get();
  FolderChain to;
  to.start(tempDir.release());
  std::string path = src;
  copyTree(from, to, path, ctx);
  copyXattrs(srcFd, tempFd, src, ctx);
  applyAttributes(tempFd, srcStat, src);
  // One flush of the destination's file system writes every file and folder of the copy.
  if (flush && ::syncfs(tempFd) != 0) failCopy(errno, source);
}

// Renames the finished copy to `base`, or with `renameOnCollision` to the first free "base (n)";
// tried, never checked first. Without it a taken name raises DestinationTaken.
std::string renameIntoPlace(int parentFd, const std::string& tempName, const std::string& parent,
                            const std::string& base, bool renameOnCollision) {
  for (int n = 1; n < 100000; ++n) {
    const std::string name = n == 1 ? base : base + " (" + std::to_string(n) + ")";
    const int err = renameNoReplaceAt(parentFd, tempName, parentFd, name);
    if (err == 0) return parent + name;
    if (err != EEXIST && err != ENOTEMPTY) throw EOSError(err, "Cannot copy to " + parent + name);
    if (!renameOnCollision) throw DestinationTaken{};
  }
  throw EOSError(EEXIST, "Cannot copy to " + parent + base);
}

}  // namespace

std::string copyFolderWith(const std::string& source, const std::string& destination, TransferProgress* progress,
                           CopyOptions options) {
  if (source.empty()) throw Exception("Cannot copy: no source folder given");
  if (destination.empty()) throw Exception("Cannot copy " + source + ": no destination given");
  const std::string src = excludeTrailingDelim(source);
  const std::string dest = excludeTrailingDelim(destination);
  checkNotIntoItself("copy", source, dest);

  struct stat srcStat {};
  if (::lstat(src.c_str(), &srcStat) != 0) failCopy(errno, source);
  if (!S_ISDIR(srcStat.st_mode) && !S_ISLNK(srcStat.st_mode)) failCopy(ENOTDIR, source);

  const std::string base = extractFileName(dest);
  if (base.empty() || base == "." || base == "..") throw EOSError(EINVAL, "Cannot copy to " + destination);
  const std::string parent = parentFolderPath(dest);
  CreatedFolders created;
  created.create(excludeTrailingDelim(parent));
  UniqueFd parentFd(::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!parentFd) {
    const int err = errno;
    created.removeAll();
    throw EOSError(err, "Cannot copy to " + destination);
  }
  const bool isLink = S_ISLNK(srcStat.st_mode);
  UniqueFd lock;  // held until the copy is in place or removed
  const std::string tempName = makeTempEntry(parentFd.get(), isLink, created, destination, lock);

  try {
    CopyContext ctx;
    ctx.progress = progress;
    if (isLink) {
      copyTopLink(src, source, srcStat, parentFd.get(), tempName);
    } else {
      copyTopFolder(src, source, srcStat, parentFd.get(), tempName, ctx, options.flush);
    }
    ctx.checkCancel();
    const std::string placed = renameIntoPlace(parentFd.get(), tempName, parent, base, options.renameOnCollision);
    if (options.flush) {
      if (progress != nullptr) progress->committed = true;
      ::fsync(parentFd.get());  // the rename itself
    }
    if (progress != nullptr) ++progress->entries;
    return placed;
  } catch (...) {
    // Remove the partial copy and the parents made for it; the error that caused the failure is
    // the one reported.
    removeAnyAt(parentFd.get(), tempName, includeTrailingDelim(parent) + tempName, nullptr);
    parentFd.reset();
    created.removeAll();
    throw;
  }
}

std::string CopyFolder(const std::string& source, const std::string& destination, TransferProgress* progress) {
  return copyFolderWith(source, destination, progress, CopyOptions{});
}

}  // namespace pitkit
