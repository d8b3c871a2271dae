#include "transfer/FolderCopy.h"

#include "platform/Posix.h"

#include <atomic>
#include <cerrno>
#include <optional>
#include <unordered_map>
#include <vector>

#include "transfer/CreatedFolders.h"
#include "transfer/FolderDelete.h"
#include "transfer/PartialCopyName.h"
#include "transfer/TransferPath.h"
#include "platform/FileSystem.h"
#include "platform/FolderChain.h"
#include "platform/Paths.h"
#include "platform/TreeWalk.h"
#include "platform/UniqueFd.h"

namespace pitkit {

namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

std::atomic<FolderSyncCall> folderSyncCall{&::fsync};

// A folder the copy is in: its recorded children still to copy, and what its copy gets when they
// are done. Small, so that the walk's memory grows only slightly with depth.
struct CopyFrame {
  CopyRecord::Node next;  // the next child to copy, in the order the walk visits them
  mode_t mode;
  uid_t uid;
  gid_t gid;
  struct timespec atim, mtim;
};

// The copy's walk over the source tree. The destination follows it through its own chain of
// folders, which only ever holds the copy's new folders.
class TreeCopy : public TreeWalk::Visitor {
 public:
  TreeCopy(FolderChain& dst, int dstRoot, const std::string& src, CopyRecord& record, CopyContext& ctx)
      : dst_(dst), dstRoot_(dstRoot), src_(src), record_(record), ctx_(ctx) {}

  // Copies the entries of the open folder `srcFd` (described by `top`, the walk takes it over) and
  // everything below them.
  void run(int srcFd, const struct stat& top) {
    record_.start(top);
    pending_ = CopyRecord::kRoot;
    pendingStat_ = top;
    TreeWalk().run(srcFd, *this);
    finishFolder(src_);
  }

  // Records each entry of the folder just entered, and makes it the top of the stack.
  void listed(TreeWalk& walk) override {
    const int fd = walk.fd();
    if (fd < 0) failCopy(errno, pathOf(walk.path()));
    walk.forEachName([&](std::string_view name, unsigned char) {
      ctx_.checkCancel();
      const std::string entry(name);
      struct stat child {};
      if (::fstatat(fd, entry.c_str(), &child, AT_SYMLINK_NOFOLLOW) != 0) failCopy(errno, pathOf(walk.pathOf(name)));
      record_.add(pending_, name, child);
    });
    // The folder's extended attributes now, while both folders are open; its bits and times wait
    // until it is filled.
    copyXattrs(fd, dst_.fd(), LazyPath([&] { return pathOf(walk.path()); }), ctx_);
    CopyRecord::Node first = 0, count = 0;
    record_.childrenOf(pending_, first, count);
    const struct stat& st = pendingStat_;
    stack_.push_back(CopyFrame{first, st.st_mode, st.st_uid, st.st_gid, st.st_atim, st.st_mtim});
  }

  void visit(TreeWalk& walk, const std::string& name, unsigned char) override {
    ctx_.checkCancel();
    const CopyRecord::Node node = stack_.back().next++;
    // The paths are made for errors, the progress window and the files copied, not for folders.
    const LazyPath relative([&] { return walk.pathOf(name); });
    const LazyPath path([&] { return pathOf(relative.str()); });
    if (ctx_.progress != nullptr) ctx_.progress->setCurrentItem(relative.str());
    const int srcFd = walk.fd();
    if (srcFd < 0) failCopy(errno, path.str());
    const int dstFd = dst_.fd();
    if (dstFd < 0) failCopy(errno, path.str());
    struct stat st {};
    if (::fstatat(srcFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) failCopy(errno, path.str());
    if (S_ISDIR(st.st_mode)) {
      if (::mkdirat(dstFd, name.c_str(), S_IRWXU) != 0) failCopy(errno, path.str());
      pending_ = node;
      pendingStat_ = st;
      if (const int err = walk.enter(name)) {
        if (err == EXDEV)
          throw Exception("Cannot copy " + path.str() + ": another file system is mounted there, and it is not copied");
        failCopy(err, path.str());
      }
      // Entered: the folder's path is now the walk's own.
      if (!dst_.enter(name.c_str())) failCopy(errno, pathOf(walk.path()));
    } else if (S_ISLNK(st.st_mode)) {
      copyLinkAt(srcFd, dstFd, name.c_str(), st, path.str());
      if (ctx_.progress != nullptr) ++ctx_.progress->entries;
    } else if (S_ISREG(st.st_mode)) {
      if (st.st_nlink > 1 && linkToFirstCopy(st, dstFd, name.c_str())) return;
      copyFileAt(srcFd, dstFd, name.c_str(), path.str(), ctx_);
      if (st.st_nlink > 1) firstCopies_.emplace(st.st_ino, node);
    } else {
      // Pipes, sockets and devices have no place in a game folder and cannot be copied as files.
      failCopy(EOPNOTSUPP, path.str());
    }
  }

  // A folder is complete: its copy's bits and times, and the copy goes back up.
  void left(TreeWalk& walk, const std::string& name, const TreeWalk::Done&) override {
    finishFolder(LazyPath([&] { return pathOf(walk.pathOf(name)); }));
    dst_.leave();
    if (ctx_.progress != nullptr) ++ctx_.progress->entries;
  }

 private:
  std::string pathOf(const std::string& relative) const {
    return relative.empty() ? src_ : src_ + PathDelim + relative;
  }

  // Filling the folder's copy changed its times, and it may be read-only: its own come last.
  void finishFolder(const LazyPath& path) {
    const CopyFrame frame = stack_.back();
    stack_.pop_back();
    struct stat st {};
    st.st_mode = frame.mode;
    st.st_uid = frame.uid;
    st.st_gid = frame.gid;
    st.st_atim = frame.atim;
    st.st_mtim = frame.mtim;
    const int fd = dst_.fd();
    if (fd < 0) failCopy(errno, path.str());
    applyAttributes(fd, st, path);
  }

  // A second name of a file already copied becomes a second name of its copy, as the source has
  // it. False when the file has no copy yet or the destination refuses the link: it is then copied.
  bool linkToFirstCopy(const struct stat& st, int dstFd, const char* name) {
    const auto found = firstCopies_.find(st.st_ino);
    if (found == firstCopies_.end()) return false;
    const CopyRecord::Node first = found->second;
    // The first copy's folder, opened name by name from the copy's top: no path length limit.
    std::vector<CopyRecord::Node> folders;
    for (CopyRecord::Node n = record_.parent(first); n != CopyRecord::kRoot; n = record_.parent(n)) folders.push_back(n);
    UniqueFd opened;
    int folderFd = dstRoot_;
    for (auto it = folders.rbegin(); it != folders.rend(); ++it) {
      opened.reset(::openat(folderFd, record_.name(*it).data(), kFolderFlags));
      if (!opened) return false;
      folderFd = opened.get();
    }
    if (::linkat(folderFd, record_.name(first).data(), dstFd, name, 0) != 0) return false;
    if (ctx_.progress != nullptr) ++ctx_.progress->entries;
    return true;
  }

  FolderChain& dst_;
  int dstRoot_;
  const std::string& src_;
  CopyRecord& record_;
  CopyContext& ctx_;
  CopyRecord::Node pending_ = CopyRecord::kRoot;  // the folder being entered, and its status
  struct stat pendingStat_ {};
  std::vector<CopyFrame> stack_;
  std::unordered_map<ino_t, CopyRecord::Node> firstCopies_;  // files with more names: their first copy
};

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
  const UniqueFd srcParent(::openat(AT_FDCWD, parentFolderPath(src).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!srcParent) failCopy(errno, source);
  const std::string target =
      readLinkAt(srcParent.get(), extractFileName(src).c_str(), static_cast<std::size_t>(srcStat.st_size), source);
  if (::symlinkat(target.c_str(), parentFd, tempName.c_str()) != 0) failCopy(errno, source);
}

// Copies the folder `src` with everything in it into the temporary folder `tempName`, recording
// what it copies in `record`.
void copyTopFolder(const std::string& src, const std::string& source, const struct stat& srcStat, int parentFd,
                   const std::string& tempName, CopyContext& ctx, CopyRecord& record, bool flush) {
  UniqueFd srcDir(::openat(AT_FDCWD, src.c_str(), kFolderFlags));
  if (!srcDir) failCopy(errno, source);
  UniqueFd tempDir(::openat(parentFd, tempName.c_str(), kFolderFlags));
  if (!tempDir) failCopy(errno, source);
  const int tempFd = tempDir.get();
  const int cursorFd = ::fcntl(tempFd, F_DUPFD_CLOEXEC, 0);
  if (cursorFd < 0) failCopy(errno, source);
  FolderChain to;
  to.start(cursorFd);
  TreeCopy(to, tempFd, src, record, ctx).run(srcDir.release(), srcStat);
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

void setFolderSyncCall(FolderSyncCall call) { folderSyncCall = call != nullptr ? call : &::fsync; }

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
  UniqueFd parentFd(::openat(AT_FDCWD, parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!parentFd) {
    const int err = errno;
    created.removeAll();
    throw EOSError(err, "Cannot copy to " + destination);
  }
  const bool isLink = S_ISLNK(srcStat.st_mode);
  UniqueFd lock;  // held until the copy is in place or removed
  const std::string tempName = makeTempEntry(parentFd.get(), isLink, created, destination, lock);

  std::string placedName;  // once the copy is in place
  try {
    CopyContext ctx;
    ctx.progress = progress;
    CopyRecord localRecord;
    CopyRecord& record = options.record != nullptr ? *options.record : localRecord;
    if (isLink) {
      record.start(srcStat);
      copyTopLink(src, source, srcStat, parentFd.get(), tempName);
    } else {
      copyTopFolder(src, source, srcStat, parentFd.get(), tempName, ctx, record, options.flush);
    }
    ctx.checkCancel();
    if (options.record != nullptr) {
      // What a move deletes next must be what was copied: the source is compared with the record
      // while the copy is still hidden, so a change costs only the copy.
      record.seal();
      // A folder mounted on itself since it was copied is the move's delete's to refuse.
      std::string mounted;
      if (std::optional<std::string> change = record.firstChange(src, &mounted))
        throw SourceChanged{std::move(*change)};
    }
    const std::string placed = renameIntoPlace(parentFd.get(), tempName, parent, base, options.renameOnCollision);
    placedName = extractFileName(placed);
    if (options.flush) {
      // The rename itself reaches the disk before anything may delete the source.
      if (folderSyncCall.load()(parentFd.get()) != 0) throw EOSError(errno, "Cannot copy to " + placed);
      if (progress != nullptr) progress->committed = true;
    }
    if (progress != nullptr) ++progress->entries;
    return placed;
  } catch (...) {
    // Remove the partial (or unflushed) copy and the parents made for it; the error that caused the
    // failure is the one reported.
    const std::string& name = placedName.empty() ? tempName : placedName;
    removeAnyAt(parentFd.get(), name, includeTrailingDelim(parent) + name, nullptr);
    // Closed before the parents go: Windows removes an open folder's name only once it is closed.
    lock.reset();
    parentFd.reset();
    created.removeAll();
    throw;
  }
}

std::string CopyFolder(const std::string& source, const std::string& destination, TransferProgress* progress) {
  return copyFolderWith(source, destination, progress, CopyOptions{});
}

}  // namespace pitkit
