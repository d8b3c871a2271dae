#include "organizers/FolderTransfer.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <deque>
#include <random>
#include <vector>

#include "platform/FindData.h"
#include "platform/FolderChain.h"
#include "platform/Paths.h"

namespace pitkit {

namespace {

// A file descriptor closed on scope exit.
class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() { reset(); }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  int release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }
  void reset(int fd = -1) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }

 private:
  int fd_;
};

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// The temporary name of a copy being built: "<prefix><pid>-<10 letters or digits>". The process
// id lets the sweep leave alone the copies that a running program is still making.
const std::string kTempPrefix = ".pitkit-partial-copy-";
constexpr std::size_t kTempRandomLength = 10;

ssize_t kernelCopyRange(int in, off_t* inOff, int out, off_t* outOff, std::size_t len, unsigned flags) {
  return ::copy_file_range(in, inOff, out, outOff, len, flags);
}
std::atomic<CopyRangeCall> copyRangeCall{&kernelCopyRange};

std::string joinPath(const std::string& folder, const std::string& name) {
  if (!folder.empty() && folder.back() == PathDelim) return folder + name;
  return folder + PathDelim + name;
}

// The path without trailing separators (the root stays "/").
std::string withoutTrailingDelim(std::string path) {
  while (path.size() > 1 && path.back() == PathDelim) path.pop_back();
  return path;
}

// The folder part of a path, "./" when it has none.
std::string parentOf(const std::string& path) {
  const std::string parent = extractFilePath(path);
  return parent.empty() ? "." + PathDelimStr : parent;
}

[[noreturn]] void failCopy(int err, const std::string& path) { throw EOSError(err, "Cannot copy " + path); }

// A path that grows by one name while a walk is inside a folder and shrinks again after it.
class PathScope {
 public:
  PathScope(std::string& path, const char* name) : path_(path), length_(path.size()) {
    path_.push_back(PathDelim);
    path_.append(name);
  }
  ~PathScope() { path_.resize(length_); }
  PathScope(const PathScope&) = delete;
  PathScope& operator=(const PathScope&) = delete;

 private:
  std::string& path_;
  std::size_t length_;
};

// One listing buffer per depth, reused from folder to folder (a deque keeps references stable).
std::vector<char>& bufferFor(std::deque<std::vector<char>>& buffers, std::size_t depth) {
  if (buffers.size() <= depth) buffers.resize(depth + 1);
  return buffers[depth];
}

// ---- delete ----

struct DeleteState {
  int firstError = 0;
  std::string firstErrorPath;
  TransferProgress* progress = nullptr;
  std::deque<std::vector<char>> buffers;

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
  FolderListing listing(fd, bufferFor(state.buffers, chain.depth()), FolderListing::Borrowed{});
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

// Removes the entry `name` of the open folder `parentFd` (a tree, a link or a file). `path` names
// it in errors. Returns the first error, 0 when all went.
int removeAnyAt(int parentFd, const std::string& name, const std::string& path, TransferProgress* progress,
                std::string* errorPath = nullptr) {
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

// ---- copy ----

struct CopyContext {
  TransferProgress* progress;
  std::vector<char> buffer;  // for read and write, and for extended attributes
  std::deque<std::vector<char>> listings;
  bool tryCopyRange = true;  // cleared for the whole copy once the kernel refuses the call

  void checkCancel() const {
    if (progress != nullptr && progress->cancelRequested.load(std::memory_order_relaxed))
      throw ETransferCancelled("Cancelled");
  }
  char* scratch(std::size_t size) {
    if (buffer.size() < size) buffer.resize(size);
    return buffer.data();
  }
};

constexpr std::size_t kIoSize = std::size_t{1} << 20;

// A source file whose length no longer matches what was copied: refused, so that a move never
// deletes a file whose copy is not whole.
[[noreturn]] void failChanged(const std::string& path) {
  throw Exception("Cannot copy " + path + ": the file changed while it was copied");
}

// Copies bytes [from, to) of `in` to the same offsets of `out`. The kernel's copy call comes first;
// where it ends early (some file systems report the end of a file too soon) the rest goes through
// read and write, which must then reach `to`.
void copyBytes(int in, int out, off_t from, off_t to, const std::string& path, CopyContext& ctx) {
  off_t inOff = from, outOff = from;
  bool useRange = ctx.tryCopyRange;
  while (inOff < to) {
    ctx.checkCancel();
    const auto want = static_cast<std::size_t>(std::min<off_t>(to - inOff, off_t{64} << 20));
    ssize_t n;
    if (useRange) {
      n = copyRangeCall.load()(in, &inOff, out, &outOff, want, 0);
      if (n < 0) {
        const int err = errno;
        if (err == EINTR) continue;
        if (err == EXDEV || err == EINVAL || err == ENOSYS || err == EOPNOTSUPP || err == EBADF) {
          // Not possible between these two files: copy through a buffer instead.
          ctx.tryCopyRange = useRange = false;
          continue;
        }
        failCopy(err, path);
      }
      if (n == 0) {
        useRange = false;
        continue;
      }
    } else {
      char* buf = ctx.scratch(kIoSize);
      n = ::pread(in, buf, std::min(want, kIoSize), inOff);
      if (n < 0) {
        if (errno == EINTR) continue;
        failCopy(errno, path);
      }
      if (n == 0) failChanged(path);
      for (ssize_t written = 0; written < n;) {
        const ssize_t w = ::pwrite(out, buf + written, static_cast<std::size_t>(n - written), outOff + written);
        if (w < 0) {
          if (errno == EINTR) continue;
          failCopy(errno, path);
        }
        written += w;
      }
      inOff += n;
      outOff += n;
    }
    if (ctx.progress != nullptr) ctx.progress->bytes += static_cast<std::uint64_t>(n);
  }
}

// The file's contents; holes of a sparse file are skipped, so they stay holes in the copy.
void copyContents(int in, int out, const struct stat& st, const std::string& path, CopyContext& ctx) {
  const off_t size = st.st_size;
  if (size == 0) return;
  const bool mayHaveHoles = static_cast<off_t>(st.st_blocks) * 512 < size;
  if (!mayHaveHoles) return copyBytes(in, out, 0, size, path, ctx);
  off_t pos = 0;
  while (pos < size) {
    off_t data = ::lseek(in, pos, SEEK_DATA);
    if (data < 0) {
      if (errno == ENXIO) break;  // only a hole is left
      data = pos;                 // the file system cannot tell: copy the rest as data
    }
    if (data >= size) break;
    off_t hole = ::lseek(in, data, SEEK_HOLE);
    if (hole < 0 || hole > size) hole = size;
    copyBytes(in, out, data, hole, path, ctx);
    pos = hole;
  }
  // A hole at the end is made by the length alone.
  if (::ftruncate(out, size) != 0) failCopy(errno, path);
}

// Extended attributes of `in` onto `out`, where the destination takes them: a file system without
// them, or a name space the user may not write (security, trusted), is passed over.
void copyXattrs(int in, int out, const std::string& path, CopyContext& ctx) {
  ssize_t listSize = ::flistxattr(in, nullptr, 0);
  if (listSize <= 0) return;  // none, or a file system without them
  std::vector<char> names(static_cast<std::size_t>(listSize));
  listSize = ::flistxattr(in, names.data(), names.size());
  if (listSize < 0) failCopy(errno, path);
  for (const char* name = names.data(); name < names.data() + listSize; name += std::strlen(name) + 1) {
    ssize_t valueSize = ::fgetxattr(in, name, nullptr, 0);
    if (valueSize < 0) failCopy(errno, path);
    char* value = ctx.scratch(static_cast<std::size_t>(valueSize) + 1);
    valueSize = ::fgetxattr(in, name, value, static_cast<std::size_t>(valueSize));
    if (valueSize < 0) failCopy(errno, path);
    if (::fsetxattr(out, name, value, static_cast<std::size_t>(valueSize), 0) != 0) {
      const int err = errno;
      if (err == ENOTSUP || err == EPERM) continue;
      failCopy(err, path);
    }
  }
}

// Owner, permission bits and times of the source, applied to a finished copy.
void applyAttributes(int fd, const struct stat& st, const std::string& path) {
  if (::geteuid() == 0) (void)::fchown(fd, st.st_uid, st.st_gid);
  if (::fchmod(fd, st.st_mode & 07777) != 0) failCopy(errno, path);
  const struct timespec times[2] = {st.st_atim, st.st_mtim};
  if (::futimens(fd, times) != 0) failCopy(errno, path);
}

std::string readLinkAt(int dirFd, const char* name, std::size_t sizeHint, const std::string& path) {
  std::vector<char> target(std::max<std::size_t>(sizeHint, 255) + 1);
  for (;;) {
    const ssize_t n = ::readlinkat(dirFd, name, target.data(), target.size());
    if (n < 0) failCopy(errno, path);
    if (static_cast<std::size_t>(n) < target.size()) return std::string(target.data(), static_cast<std::size_t>(n));
    target.resize(target.size() * 2);
  }
}

void copyLinkAt(int srcDir, int dstDir, const char* name, const struct stat& st, const std::string& path) {
  const std::string target = readLinkAt(srcDir, name, static_cast<std::size_t>(st.st_size), path);
  if (::symlinkat(target.c_str(), dstDir, name) != 0) failCopy(errno, path);
  if (::geteuid() == 0) (void)::fchownat(dstDir, name, st.st_uid, st.st_gid, AT_SYMLINK_NOFOLLOW);
  const struct timespec times[2] = {st.st_atim, st.st_mtim};
  ::utimensat(dstDir, name, times, AT_SYMLINK_NOFOLLOW);
}

void copyFileAt(int srcDir, int dstDir, const char* name, const std::string& path, CopyContext& ctx) {
  // O_NONBLOCK: should the entry have become a pipe since it was listed, the open does not hang.
  Fd in(::openat(srcDir, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (in.get() < 0) failCopy(errno, path);
  struct stat st {};
  if (::fstat(in.get(), &st) != 0) failCopy(errno, path);
  if (!S_ISREG(st.st_mode)) failCopy(EOPNOTSUPP, path);
  Fd out(::openat(dstDir, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, S_IRUSR | S_IWUSR));
  if (out.get() < 0) failCopy(errno, path);
  copyContents(in.get(), out.get(), st, path, ctx);
  // The byte count: a source that grew or shrank meanwhile has no whole copy.
  struct stat after {};
  if (::fstat(in.get(), &after) != 0) failCopy(errno, path);
  if (after.st_size != st.st_size) failChanged(path);
  copyXattrs(in.get(), out.get(), path, ctx);
  applyAttributes(out.get(), st, path);
  if (::close(out.release()) != 0) failCopy(errno, path);
  if (ctx.progress != nullptr) ++ctx.progress->entries;
}

// Copies the entries of the source chain's current folder into the destination chain's current
// folder, which is empty. `path` names the source folder.
void copyTree(FolderChain& src, FolderChain& dst, std::string& path, CopyContext& ctx) {
  const int listed = src.fd();
  if (listed < 0) failCopy(errno, path);
  FolderListing listing(listed, bufferFor(ctx.listings, src.depth()), FolderListing::Borrowed{});
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

std::string randomSuffix() {
  static thread_local std::mt19937_64 engine{std::random_device{}()};
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::string suffix;
  for (std::size_t i = 0; i < kTempRandomLength; ++i) suffix += kLetters[engine() % (sizeof kLetters - 1)];
  return suffix;
}

// The process id in a temporary name of ours, or 0 when the name is not one.
pid_t tempNameOwner(const char* name) {
  const std::string_view n(name);
  if (n.substr(0, kTempPrefix.size()) != kTempPrefix) return 0;
  std::size_t i = kTempPrefix.size();
  long pid = 0;
  for (; i < n.size() && n[i] >= '0' && n[i] <= '9' && pid < 100000000; ++i) pid = pid * 10 + (n[i] - '0');
  if (pid <= 0 || i >= n.size() || n[i] != '-' || n.size() - i - 1 != kTempRandomLength) return 0;
  for (++i; i < n.size(); ++i)
    if (!((n[i] >= 'a' && n[i] <= 'z') || (n[i] >= '0' && n[i] <= '9'))) return 0;
  return static_cast<pid_t>(pid);
}

// Creates the folder and its missing parents; the folders it made are added to `created`,
// outermost first.
void createFolders(const std::string& path, std::vector<std::string>& created) {
  if (path.empty() || path == PathDelimStr) return;
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) {
    if (!S_ISDIR(st.st_mode)) throw EOSError(ENOTDIR, "Cannot create " + path);
    return;
  }
  const std::string parent = withoutTrailingDelim(extractFilePath(withoutTrailingDelim(path)));
  if (!parent.empty() && parent != path) createFolders(parent, created);
  if (::mkdir(path.c_str(), 0777) == 0) {
    created.push_back(path);
  } else if (errno != EEXIST) {
    throw EOSError(errno, "Cannot create " + path);
  }
}

// Removes the (empty) folders a failed transfer created, innermost first.
void removeCreated(const std::vector<std::string>& created) {
  for (auto it = created.rbegin(); it != created.rend(); ++it) ::rmdir(it->c_str());
}

[[noreturn]] void refuseExisting(const std::string& source, const std::string& destination) {
  throw Exception("Cannot move " + extractFileName(withoutTrailingDelim(source)) + " to " +
                  withoutTrailingDelim(extractFilePath(destination)) + ": an entry named " +
                  extractFileName(destination) + " is already there");
}

// Raised inside a copy whose destination name was taken meanwhile, where no other name may do.
struct DestinationTaken {};

// Renames the finished copy to `base`, or with `renameOnCollision` to the first free "base (n)";
// tried, never checked first. Without it a taken name ends the copy with EEXIST.
std::string renameIntoPlace(int parentFd, const std::string& tempName, const std::string& parent,
                            const std::string& base, bool renameOnCollision) {
  for (int n = 1; n < 100000; ++n) {
    const std::string name = n == 1 ? base : base + " (" + std::to_string(n) + ")";
    if (::renameat2(parentFd, tempName.c_str(), parentFd, name.c_str(), RENAME_NOREPLACE) == 0)
      return parent + name;
    int err = errno;
    if (err == EINVAL || err == ENOSYS) {
      // A file system without the no-replace rename: test first, then rename (best available).
      struct stat st {};
      if (::fstatat(parentFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        err = EEXIST;
      } else if (::renameat(parentFd, tempName.c_str(), parentFd, name.c_str()) == 0) {
        return parent + name;
      } else {
        err = errno;
      }
    }
    if (err != EEXIST && err != ENOTEMPTY) throw EOSError(err, "Cannot copy to " + parent + name);
    if (!renameOnCollision) throw DestinationTaken{};
  }
  throw EOSError(EEXIST, "Cannot copy to " + parent + base);
}

struct CopyOptions {
  bool renameOnCollision = true;
  // For a move: the copy is on disk before it is renamed into place, and marked committed after.
  bool flush = false;
};

std::string copyFolder(const std::string& source, const std::string& destination, TransferProgress* progress,
                       CopyOptions options) {
  if (source.empty()) throw Exception("Cannot copy: no source folder given");
  if (destination.empty()) throw Exception("Cannot copy " + source + ": no destination given");
  const std::string src = withoutTrailingDelim(source);
  const std::string dest = withoutTrailingDelim(destination);
  const std::string srcNorm = normalizePathLexically(src);
  const std::string destNorm = normalizePathLexically(dest);
  if (destNorm == srcNorm || destNorm.rfind(srcNorm + PathDelim, 0) == 0 || srcNorm == PathDelimStr)
    throw Exception("Cannot copy " + source + " into itself");

  struct stat srcStat {};
  if (::lstat(src.c_str(), &srcStat) != 0) failCopy(errno, source);
  if (!S_ISDIR(srcStat.st_mode) && !S_ISLNK(srcStat.st_mode)) failCopy(ENOTDIR, source);

  const std::string base = extractFileName(dest);
  if (base.empty() || base == "." || base == "..") throw EOSError(EINVAL, "Cannot copy to " + destination);
  const std::string parent = parentOf(dest);
  std::vector<std::string> created;
  createFolders(withoutTrailingDelim(parent), created);
  Fd parentFd(::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (parentFd.get() < 0) {
    const int err = errno;
    removeCreated(created);
    throw EOSError(err, "Cannot copy to " + destination);
  }

  // The hidden temporary name keeps a half-made copy out of the searches and out of the way.
  std::string tempName;
  for (int attempt = 0;; ++attempt) {
    tempName = kTempPrefix + std::to_string(::getpid()) + "-" + randomSuffix();
    const int made = S_ISLNK(srcStat.st_mode) ? 0 : ::mkdirat(parentFd.get(), tempName.c_str(), S_IRWXU);
    if (made == 0) break;
    if (errno != EEXIST || attempt > 100) {
      const int err = errno;
      removeCreated(created);
      throw EOSError(err, "Cannot copy to " + destination);
    }
  }

  try {
    CopyContext ctx{progress, {}, {}, true};
    if (S_ISLNK(srcStat.st_mode)) {
      // The level folder itself is a link: copy the link, as inside a tree.
      Fd srcParent(::open(parentOf(src).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
      if (srcParent.get() < 0) failCopy(errno, source);
      const std::string target =
          readLinkAt(srcParent.get(), extractFileName(src).c_str(), static_cast<std::size_t>(srcStat.st_size), source);
      if (::symlinkat(target.c_str(), parentFd.get(), tempName.c_str()) != 0) failCopy(errno, source);
    } else {
      FolderChain from, to;
      const int srcFd = ::open(src.c_str(), kFolderFlags);
      if (srcFd < 0) failCopy(errno, source);
      from.start(srcFd);
      const int tempFd = ::openat(parentFd.get(), tempName.c_str(), kFolderFlags);
      if (tempFd < 0) failCopy(errno, source);
      to.start(tempFd);
      std::string path = src;
      copyTree(from, to, path, ctx);
      copyXattrs(srcFd, tempFd, src, ctx);
      applyAttributes(tempFd, srcStat, src);
      // One flush of the destination's file system writes every file and folder of the copy.
      if (options.flush && ::syncfs(tempFd) != 0) failCopy(errno, source);
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
    removeAnyAt(parentFd.get(), tempName, joinPath(parent, tempName), nullptr);
    parentFd.reset();
    removeCreated(created);
    throw;
  }
}

}  // namespace

void setCopyRangeCall(CopyRangeCall call) { copyRangeCall = call != nullptr ? call : &kernelCopyRange; }

void checkTransferPath(const std::string& gameDirectory, const std::string& path) {
  if (path.empty()) throw Exception("No folder given to move or delete");
  const std::string target = normalizePathLexically(path);
  const std::string game = normalizePathLexically(gameDirectory);
  auto refuse = [&] { throw Exception("Refusing to copy or delete the whole folder " + path); };
  // The game directory itself, or any folder above it.
  if (target == PathDelimStr || sameTextAscii(target, game) ||
      (game.size() > target.size() && game[target.size()] == PathDelim &&
       sameTextAscii(game.substr(0, target.size()), target)))
    refuse();
  for (const char* folder : {"levels", "un_levels", "cars", "garage"}) {
    if (sameTextAscii(target, normalizePathLexically(game + PathDelim + folder))) refuse();
  }
}

std::string CopyFolder(const std::string& source, const std::string& destination, TransferProgress* progress) {
  return copyFolder(source, destination, progress, CopyOptions{});
}

void MoveFolder(const std::string& source, const std::string& destination, TransferProgress* progress) {
  if (source.empty()) throw Exception("Cannot move: no source folder given");
  if (destination.empty()) throw Exception("Cannot move " + source + ": no destination given");
  const std::string src = withoutTrailingDelim(source);
  const std::string dest = withoutTrailingDelim(destination);
  const std::string srcNorm = normalizePathLexically(src);
  const std::string destNorm = normalizePathLexically(dest);
  if (destNorm == srcNorm || destNorm.rfind(srcNorm + PathDelim, 0) == 0 || srcNorm == PathDelimStr)
    throw Exception("Cannot move " + source + " into itself");
  const std::string name = extractFileName(dest);
  if (name.empty() || name == "." || name == "..") throw EOSError(EINVAL, "Cannot move to " + destination);

  struct stat st {};
  if (::lstat(src.c_str(), &st) != 0) throw EOSError(errno, "Cannot move " + source);
  if (::lstat(dest.c_str(), &st) == 0) refuseExisting(src, dest);
  if (errno != ENOENT) throw EOSError(errno, "Cannot move " + source + " to " + destination);
  // A source that could be copied but not removed afterwards is refused before anything is copied.
  checkFolderRemovable(src);

  std::vector<std::string> created;
  createFolders(withoutTrailingDelim(parentOf(dest)), created);
  if (::renameat2(AT_FDCWD, src.c_str(), AT_FDCWD, dest.c_str(), RENAME_NOREPLACE) == 0) return;
  int err = errno;
  if (err == EINVAL || err == ENOSYS) {
    // A file system without the no-replace rename: test first, then rename (best available).
    if (::lstat(dest.c_str(), &st) == 0) {
      err = EEXIST;
    } else if (::rename(src.c_str(), dest.c_str()) == 0) {
      return;
    } else {
      err = errno;
    }
  }
  if (err == EEXIST || err == ENOTEMPTY) {
    removeCreated(created);
    refuseExisting(src, dest);
  }
  if (err != EXDEV) {
    removeCreated(created);
    throw EOSError(err, "Cannot move " + source);
  }

  // Another file system: copy, flushed to disk, and only then delete the source.
  try {
    copyFolder(src, dest, progress, CopyOptions{false, true});
  } catch (const DestinationTaken&) {
    removeCreated(created);
    refuseExisting(src, dest);
  } catch (...) {
    removeCreated(created);
    throw;
  }
  DeleteFolder(src, progress);
}

int removeLeftoverCopies(const std::string& folder) {
  Fd dirFd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dirFd.get() < 0) return 0;
  std::vector<char> buffer;
  std::vector<std::string> leftovers;
  {
    FolderListing listing(dirFd.get(), buffer, FolderListing::Borrowed{});
    while (const FolderEntry* entry = listing.next()) {
      const pid_t owner = tempNameOwner(entry->d_name);
      // A live process (ours included) may still be building it.
      if (owner == 0 || ::kill(owner, 0) == 0 || errno == EPERM) continue;
      leftovers.emplace_back(entry->d_name);
    }
  }
  int removed = 0;
  for (const std::string& name : leftovers)
    if (removeAnyAt(dirFd.get(), name, joinPath(folder, name), nullptr) == 0) ++removed;
  return removed;
}

void checkFolderRemovable(const std::string& folder) {
  const std::string path = withoutTrailingDelim(folder);
  std::string parent = extractFilePath(path);
  if (parent.empty()) parent = "." + PathDelimStr;
  if (::faccessat(AT_FDCWD, parent.c_str(), W_OK | X_OK, AT_EACCESS) != 0 &&
      (errno == EACCES || errno == EPERM || errno == EROFS))
    throw EOSError(errno, "Cannot delete " + folder);
}

void DeleteFolder(const std::string& folder, TransferProgress* progress) {
  if (folder.empty()) throw Exception("Cannot delete: no folder given");
  const std::string path = withoutTrailingDelim(folder);
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
  Fd parentFd(::open(parentOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (parentFd.get() < 0) throw EOSError(errno, "Cannot delete " + folder);
  std::string failedPath;
  const int err = removeAnyAt(parentFd.get(), name, path, progress, &failedPath);
  if (err != 0) throw EOSError(err, "Cannot delete " + failedPath);
}

}  // namespace pitkit
