#include "transfer/FolderDelete.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <unordered_set>
#include <vector>

#include "platform/FindData.h"
#include "platform/FolderChain.h"
#include "platform/Paths.h"
#include "platform/UniqueFd.h"

#ifndef STATX_ATTR_MOUNT_ROOT
#define STATX_ATTR_MOUNT_ROOT 0x00002000
#endif

namespace pitkit {

namespace {

// What a removal needs to know of one entry, without following a link.
struct EntryStatus {
  mode_t mode = 0;
  uid_t uid = 0;
  dev_t dev = 0;
  bool immutable = false;
  bool appendOnly = false;
  bool mountRoot = false;  // a mount point, also a bind mount of the same file system
  // For the totals of a check: the file's size, names and inode.
  std::uint64_t size = 0;
  std::uint64_t links = 1;
  ino_t ino = 0;
};

// The flags chattr sets, asked of the file itself; only regular files and folders are opened
// (a device's ioctl would go to its driver), never through a link and never waiting (O_NONBLOCK).
void readInodeFlags(int dirFd, const char* name, EntryStatus& s) {
  if (!S_ISREG(s.mode) && !S_ISDIR(s.mode)) return;
  const UniqueFd fd(::openat(dirFd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  int flags = 0;
  if (!fd || ::ioctl(fd.get(), FS_IOC_GETFLAGS, &flags) != 0) return;
  s.immutable = (flags & FS_IMMUTABLE_FL) != 0;
  s.appendOnly = (flags & FS_APPEND_FL) != 0;
}

// The entry's status: statx gives the flags without opening anything where the file system
// reports them; otherwise fstatat and the flags ioctl. False with errno set when it cannot be read.
bool entryStatus(int dirFd, const char* name, EntryStatus& s) {
  struct statx sx {};
  constexpr unsigned kMask = STATX_TYPE | STATX_MODE | STATX_UID | STATX_SIZE | STATX_NLINK | STATX_INO;
  if (::statx(dirFd, name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, kMask, &sx) == 0) {
    s.mode = sx.stx_mode;
    s.uid = sx.stx_uid;
    s.size = sx.stx_size;
    s.links = sx.stx_nlink;
    s.ino = sx.stx_ino;
    s.dev = makedev(sx.stx_dev_major, sx.stx_dev_minor);
    s.mountRoot = (sx.stx_attributes_mask & sx.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
    constexpr std::uint64_t kFlags = STATX_ATTR_IMMUTABLE | STATX_ATTR_APPEND;
    if ((sx.stx_attributes_mask & kFlags) == kFlags) {
      s.immutable = (sx.stx_attributes & STATX_ATTR_IMMUTABLE) != 0;
      s.appendOnly = (sx.stx_attributes & STATX_ATTR_APPEND) != 0;
    } else {
      readInodeFlags(dirFd, name, s);
    }
    return true;
  }
  if (errno != ENOSYS && errno != EPERM && errno != EINVAL) return false;
  struct stat st {};
  if (::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return false;
  s.mode = st.st_mode;
  s.uid = st.st_uid;
  s.dev = st.st_dev;
  s.size = static_cast<std::uint64_t>(st.st_size);
  s.links = st.st_nlink;
  s.ino = st.st_ino;
  readInodeFlags(dirFd, name, s);
  return true;
}

// True when the open folder `fd` lies on another file system than `dev`, or is a mount point.
bool isOtherMount(int fd, dev_t dev) {
  struct statx sx {};
  if (::statx(fd, "", AT_EMPTY_PATH, STATX_INO, &sx) == 0)
    return makedev(sx.stx_dev_major, sx.stx_dev_minor) != dev ||
           (sx.stx_attributes_mask & sx.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
  struct stat st {};
  return ::fstat(fd, &st) == 0 && st.st_dev != dev;
}

// The names of one folder, read whole so that its listing is closed before the walk goes deeper:
// for each entry its listing type (one byte), its name and a NUL.
class FolderNames {
 public:
  void read(int fd, std::vector<char>& buffer) {
    packed_.clear();
    pos_ = 0;
    ::lseek(fd, 0, SEEK_SET);
    FolderListing listing(fd, buffer, FolderListing::Borrowed{});
    while (const FolderEntry* entry = listing.next()) {
      packed_.push_back(static_cast<char>(entry->d_type));
      packed_.append(entry->d_name);
      packed_.push_back('\0');
    }
  }
  // The next entry's name (copied: the frame holding it may move) and type; false at the end.
  bool next(std::string& name, unsigned char& type) {
    if (pos_ >= packed_.size()) return false;
    type = static_cast<unsigned char>(packed_[pos_]);
    name.assign(packed_.c_str() + pos_ + 1);
    pos_ += name.size() + 2;
    return true;
  }

 private:
  std::string packed_;
  std::size_t pos_ = 0;
};

// What a delete carries through the tree: its first error with the path, the filter and its
// progress, and one listing buffer for every folder.
struct DeleteState {
  int firstError = 0;
  std::string firstErrorPath;
  std::string firstKept;
  TransferProgress* progress = nullptr;
  const RemovalFilter* mayRemove = nullptr;
  std::size_t rootLength = 0;  // the deleted folder's path, which relative paths leave out
  dev_t dev = 0;               // the file system the delete stays on
  std::vector<char> buffer;

  void record(int err, const std::string& path) {
    if (firstError == 0) {
      firstError = err;
      firstErrorPath = path;
    }
  }
  void done() {
    if (progress != nullptr) ++progress->entries;
  }
  // Shows the entry at `path` as the one being removed.
  void current(const std::string& path) {
    if (progress != nullptr)
      progress->setCurrentItem(std::string_view(path).substr(std::min(path.size(), rootLength + 1)));
  }
};

// Gives the owner write and search access to a folder so its entries can be removed.
void makeFolderWritable(int fd) {
  struct stat st {};
  if (::fstat(fd, &st) == 0) ::fchmod(fd, (st.st_mode & 07777) | S_IRWXU);
}

// Removes one entry of the chain's current folder that is not a folder. Returns true when the
// entry turns out to be a folder, which the caller then removes as a tree.
bool removeFileAt(FolderChain& chain, const char* name, const std::string& path, DeleteState& state,
                  bool& madeWritable) {
  int dirFd = chain.fd();
  if (dirFd < 0) {
    state.record(errno, path);
    return false;
  }
  state.current(path);
  if (state.mayRemove != nullptr && *state.mayRemove) {
    struct stat st {};
    if (::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
      if (errno != ENOENT) state.record(errno, path);
      return false;
    }
    if (S_ISDIR(st.st_mode)) return true;
    const std::string_view relative = std::string_view(path).substr(std::min(path.size(), state.rootLength + 1));
    if (!(*state.mayRemove)(relative, st)) {
      if (state.firstKept.empty()) state.firstKept = path;
      state.record(ENOTEMPTY, path);
      return false;
    }
  }
  for (;;) {
    if (::unlinkat(dirFd, name, 0) == 0) {
      state.done();
      return false;
    }
    const int err = errno;
    if (err == ENOENT) return false;  // vanished meanwhile: nothing left to remove
    if (err == EISDIR || err == EPERM) {
      // Linux reports EISDIR (and some systems EPERM) for a folder: check what it is.
      struct stat st {};
      if (::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode)) return true;
    }
    if ((err == EACCES || err == EPERM) && !madeWritable) {
      // A read-only folder: the user asked for the whole tree to go, so allow it.
      makeFolderWritable(dirFd);
      madeWritable = true;
      continue;
    }
    state.record(err, path);
    return false;
  }
}

// One folder of the walk: its name in its parent, its remaining entries, and how far it got.
struct Frame {
  std::string name;
  std::size_t outerLength;  // the walk's path without this folder's name
  FolderNames names;
  bool madeWritable = false;  // the owner's bits were given to it already
  bool foundAny = false;
  int pass = 0;
};

enum class Entered { Yes, Gone, NotFolder, Failed };

// Opens the folder `name` of the chain's current folder and makes it current; `path` names it.
Entered enterFolder(FolderChain& chain, const char* name, const std::string& path, DeleteState& state) {
  if (!chain.enter(name)) {
    int err = errno;
    if (err == EACCES) {
      // A folder without read or search access for its owner.
      const int parent = chain.fd();
      if (parent >= 0) ::fchmodat(parent, name, S_IRWXU, 0);
      err = chain.enter(name) ? 0 : errno;
    }
    if (err == ENOENT) return Entered::Gone;
    // Replaced by a file or a link since it was listed: that entry itself is removed.
    if (err == ENOTDIR || err == ELOOP) return Entered::NotFolder;
    if (err != 0) {
      state.record(err, path);
      return Entered::Failed;
    }
  }
  const int fd = chain.fd();
  if (fd >= 0 && isOtherMount(fd, state.dev)) {
    // Another file system mounted here is never emptied; its mount point then cannot go.
    chain.leave();
    state.record(EBUSY, path);
    return Entered::Failed;
  }
  return Entered::Yes;
}

// Removes the folder `name` of the chain's current folder with everything in it; `path` names it.
// The walk keeps its own stack (no recursion) and each folder's names, so depth costs no stack and
// little memory; the chain keeps the open descriptors bounded.
void removeTreeAt(FolderChain& chain, const std::string& topName, std::string& path, DeleteState& state) {
  std::vector<Frame> stack;
  bool topParentWritable = true;  // the deleted folder's parent is not ours to change
  // Enters and lists `name` (`path` names it), or removes it as a file when it is not a folder.
  auto descend = [&](const std::string& name, std::size_t outerLength, bool& parentWritable) {
    switch (enterFolder(chain, name.c_str(), path, state)) {
      case Entered::Yes: {
        state.current(path);
        Frame frame{name, outerLength, {}};
        const int fd = chain.fd();
        if (fd < 0) state.record(errno, path);
        else frame.names.read(fd, state.buffer);
        stack.push_back(std::move(frame));
        return;
      }
      case Entered::NotFolder:
        removeFileAt(chain, name.c_str(), path, state, parentWritable);
        break;
      case Entered::Gone:
      case Entered::Failed:
        break;
    }
    path.resize(outerLength);
  };
  descend(topName, path.size(), topParentWritable);

  std::string name;
  unsigned char type = DT_UNKNOWN;
  while (!stack.empty()) {
    const std::size_t depth = stack.size() - 1;
    if (stack[depth].names.next(name, type)) {
      stack[depth].foundAny = true;
      const std::size_t outer = path.size();
      path.push_back(PathDelim);
      path.append(name);
      if (type == DT_DIR || removeFileAt(chain, name.c_str(), path, state, stack[depth].madeWritable)) {
        descend(name, outer, stack[depth].madeWritable);
      } else {
        path.resize(outer);
      }
      continue;
    }
    // Every entry was dealt with: the folder itself goes.
    Frame& frame = stack[depth];
    bool& parentWritable = depth == 0 ? topParentWritable : stack[depth - 1].madeWritable;
    chain.leave();
    bool again = false;
    for (;;) {
      const int parent = chain.fd();
      if (parent < 0) {
        state.record(errno, path);
        break;
      }
      if (::unlinkat(parent, frame.name.c_str(), AT_REMOVEDIR) == 0) {
        state.done();
        break;
      }
      const int err = errno;
      if (err == ENOENT) break;
      if ((err == EACCES || err == EPERM) && !parentWritable) {
        // A read-only folder holding this one: the owner may remove it after all.
        makeFolderWritable(parent);
        parentWritable = true;
        continue;
      }
      if (err != ENOTEMPTY && err != EEXIST) {
        state.record(err, path);
        break;
      }
      // Some file systems may skip entries when a folder changes while it is read; a second
      // pass picks those up before the folder itself is removed.
      if (frame.foundAny && state.firstError == 0 && frame.pass == 0 &&
          enterFolder(chain, frame.name.c_str(), path, state) == Entered::Yes) {
        frame.pass = 1;
        frame.foundAny = false;
        const int fd = chain.fd();
        if (fd < 0) state.record(errno, path);
        else frame.names.read(fd, state.buffer);
        again = true;
        break;
      }
      if (state.firstError == 0) state.record(ENOTEMPTY, path);
      break;
    }
    if (again) continue;
    path.resize(frame.outerLength);
    stack.pop_back();
  }
}

// removeAnyAt with an optional filter; `kept`, when given, receives the first entry kept.
int removeEntry(int parentFd, const std::string& name, const std::string& path, TransferProgress* progress,
                const RemovalFilter* mayRemove, std::string* errorPath, std::string* kept) {
  if (errorPath != nullptr) *errorPath = path;
  struct stat st {};
  if (::fstatat(parentFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return errno == ENOENT ? 0 : errno;
  if (!S_ISDIR(st.st_mode)) {
    if (::unlinkat(parentFd, name.c_str(), 0) != 0) return errno == ENOENT ? 0 : errno;
    if (progress != nullptr) ++progress->entries;
    return 0;
  }
  struct stat parentStat {};
  if (::fstat(parentFd, &parentStat) != 0) return errno;
  const int dup = ::fcntl(parentFd, F_DUPFD_CLOEXEC, 0);
  if (dup < 0) return errno;
  FolderChain chain;
  chain.start(dup);
  DeleteState state;
  state.progress = progress;
  state.mayRemove = mayRemove;
  state.rootLength = path.size();
  state.dev = parentStat.st_dev;
  std::string walked = path;
  removeTreeAt(chain, name, walked, state);
  if (errorPath != nullptr && state.firstError != 0) *errorPath = state.firstErrorPath;
  if (kept != nullptr) *kept = state.firstKept;
  return state.firstError;
}

// Refuses when the entry `name` of `dirFd` (`path`) could not be removed by a delete.
void refuseIfStuck(int dirFd, const char* name, const EntryStatus& s, dev_t dev, const std::string& path) {
  // Only a folder's device tells a mount: on some file systems (overlays) a file reports the
  // device of the layer it comes from.
  if ((S_ISDIR(s.mode) && s.dev != dev) || s.mountRoot)
    throw EOSError(EBUSY, "Cannot delete " + path + " (another file system is mounted there)");
  if (s.immutable) throw EOSError(EPERM, "Cannot delete " + path + " (it is marked immutable)");
  if (s.appendOnly) throw EOSError(EPERM, "Cannot delete " + path + " (it is marked append-only)");
  // Its entries can go when the user may write the folder, or owns it and so may make it writable.
  if (S_ISDIR(s.mode) && s.uid != ::geteuid() && ::faccessat(dirFd, name, W_OK | X_OK, AT_EACCESS) != 0)
    throw EOSError(EACCES, "Cannot delete " + path + " (the folder belongs to another user)");
}

}  // namespace

int removeAnyAt(int parentFd, const std::string& name, const std::string& path, TransferProgress* progress,
                std::string* errorPath) {
  return removeEntry(parentFd, name, path, progress, nullptr, errorPath, nullptr);
}

namespace {

// checkFolderRemovable; without `filesToo` only folders are looked at (mounts, owners, their
// flags), which costs one status a folder instead of one an entry, and only entries are counted.
void checkRemovable(const std::string& folder, bool filesToo, FolderTotals* totals) {
  const std::string path = excludeTrailingDelim(folder);
  const std::string parent = parentFolderPath(path);
  if (::faccessat(AT_FDCWD, parent.c_str(), W_OK | X_OK, AT_EACCESS) != 0 &&
      (errno == EACCES || errno == EPERM || errno == EROFS))
    throw EOSError(errno, "Cannot delete " + folder);

  // The whole tree, with its own stack as the delete has; what cannot be read here is left to
  // the delete to report.
  const UniqueFd parentFd(::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  struct stat parentStat {};
  if (!parentFd || ::fstat(parentFd.get(), &parentStat) != 0) return;
  const std::string name = extractFileName(path);
  EntryStatus top;
  if (!entryStatus(parentFd.get(), name.c_str(), top)) return;
  refuseIfStuck(parentFd.get(), name.c_str(), top, parentStat.st_dev, path);
  FolderTotals counted{1, 0};
  if (!S_ISDIR(top.mode)) {
    if (totals != nullptr) *totals = counted;
    return;
  }
  std::unordered_set<ino_t> linkedFiles;  // files with more names: counted by their first
  const int dup = ::fcntl(parentFd.get(), F_DUPFD_CLOEXEC, 0);
  if (dup < 0) return;
  FolderChain chain;
  chain.start(dup);
  if (!chain.enter(name.c_str())) return;

  struct Level {
    FolderNames names;
    std::size_t outerLength;
  };
  std::vector<Level> stack;
  std::vector<char> buffer;
  std::string walked = path;
  auto list = [&](std::size_t outerLength) {
    Level level{{}, outerLength};
    const int fd = chain.fd();
    if (fd >= 0) level.names.read(fd, buffer);
    stack.push_back(std::move(level));
  };
  list(walked.size());
  std::string entry;
  unsigned char type = DT_UNKNOWN;
  while (!stack.empty()) {
    if (!stack.back().names.next(entry, type)) {
      walked.resize(stack.back().outerLength);
      stack.pop_back();
      chain.leave();
      continue;
    }
    ++counted.entries;
    if (!filesToo && type != DT_DIR && type != DT_UNKNOWN) continue;
    const int dirFd = chain.fd();
    if (dirFd < 0) return;
    const std::size_t outer = walked.size();
    walked.push_back(PathDelim);
    walked.append(entry);
    EntryStatus s;
    if (entryStatus(dirFd, entry.c_str(), s)) {
      refuseIfStuck(dirFd, entry.c_str(), s, parentStat.st_dev, walked);
      // A copy goes through a file's contents once, whatever number of names it has.
      if (S_ISREG(s.mode) && (s.links < 2 || linkedFiles.insert(s.ino).second)) counted.bytes += s.size;
      // A folder its owner cannot read is opened by the delete once it has made it readable.
      if (S_ISDIR(s.mode) && chain.enter(entry.c_str())) {
        list(outer);
        continue;
      }
    }
    walked.resize(outer);
  }
  if (totals != nullptr) *totals = counted;
}

}  // namespace

void checkFolderRemovable(const std::string& folder, FolderTotals* totals) { checkRemovable(folder, true, totals); }

void DeleteFolder(const std::string& folder, TransferProgress* progress, const RemovalFilter& mayRemove) {
  if (folder.empty()) throw Exception("Cannot delete: no folder given");
  const std::string path = excludeTrailingDelim(folder);
  const std::string name = extractFileName(path);
  if (normalizePathLexically(path) == PathDelimStr || name.empty() || name == "." || name == "..")
    throw Exception("Refusing to delete " + folder);

  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) throw EOSError(errno, "Cannot delete " + folder);
  // A folder with another file system inside, or a folder that cannot be emptied, is left whole
  // rather than emptied. Files are not looked at one by one: that would cost the delete half its
  // speed, and a file that cannot go is named by the delete itself (a move checks files too before
  // it copies anything).
  FolderTotals totals;
  checkRemovable(path, false, &totals);
  if (progress != nullptr && progress->totalEntries == 0) progress->totalEntries = totals.entries;
  if (!S_ISDIR(st.st_mode)) {
    // A link (or a file) in the folder's place: remove it, never what it points to.
    if (::unlink(path.c_str()) != 0) throw EOSError(errno, "Cannot delete " + folder);
    if (progress != nullptr) ++progress->entries;
    return;
  }
  const UniqueFd parentFd(::open(parentFolderPath(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!parentFd) throw EOSError(errno, "Cannot delete " + folder);
  std::string failedPath;
  std::string kept;
  const int err = removeEntry(parentFd.get(), name, path, progress, &mayRemove, &failedPath, &kept);
  if (err == 0) return;
  if (!kept.empty() && kept == failedPath) throw EOSError(err, "Cannot delete " + path + ": " + kept + " is kept");
  throw EOSError(err, "Cannot delete " + failedPath);
}

}  // namespace pitkit
