#include "transfer/RemovableCheck.h"

#include "platform/Posix.h"

#include <cerrno>
#include <cstdint>
#include <unordered_set>

#include "platform/Paths.h"
#include "platform/TreeWalk.h"
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
  // For the totals: the file's size, names and inode.
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

// Refuses when the entry `name` of `dirFd` (`path`, made only then) could not be removed by a delete.
template <typename PathOf>
void refuseIfStuck(int dirFd, const char* name, const EntryStatus& s, dev_t dev, const PathOf& path) {
  // Only a folder's device tells a mount: on some file systems (overlays) a file reports the
  // device of the layer it comes from.
  if ((S_ISDIR(s.mode) && s.dev != dev) || s.mountRoot)
    throw EOSError(EBUSY, "Cannot delete " + path() + " (another file system is mounted there)");
  if (s.immutable) throw EOSError(EPERM, "Cannot delete " + path() + " (it is marked immutable)");
  if (s.appendOnly) throw EOSError(EPERM, "Cannot delete " + path() + " (it is marked append-only)");
  // Its entries can go when the user may write the folder, or owns it and so may make it writable.
  if (S_ISDIR(s.mode) && s.uid != ::geteuid() && ::faccessat(dirFd, name, W_OK | X_OK, AT_EACCESS) != 0)
    throw EOSError(EACCES, "Cannot delete " + path() + " (the folder belongs to another user)");
}

// The check's walk below the folder: each entry refused or counted. What cannot be read here is
// left to the delete to report.
struct Check : TreeWalk::Visitor {
  const std::string& root;
  bool filesToo;
  dev_t dev;
  std::uint64_t entries = 1;  // the folder itself
  std::uint64_t bytes = 0;
  bool unread = false;
  std::unordered_set<ino_t> linkedFiles;  // files with more names: counted by their first

  Check(const std::string& rootPath, bool files, dev_t device) : root(rootPath), filesToo(files), dev(device) {}

  void visit(TreeWalk& walk, const std::string& name, unsigned char type) override {
    ++entries;
    if (!filesToo && type != DT_DIR && type != DT_UNKNOWN) return;
    const int dirFd = walk.fd();
    if (dirFd < 0) {
      unread = true;
      walk.stop();
      return;
    }
    EntryStatus s;
    if (!entryStatus(dirFd, name.c_str(), s)) return;
    refuseIfStuck(dirFd, name.c_str(), s, dev, [&] { return root + PathDelim + walk.pathOf(name); });
    // A copy goes through a file's contents once, whatever number of names it has.
    if (S_ISREG(s.mode) && (s.links < 2 || linkedFiles.insert(s.ino).second)) bytes += s.size;
    // A folder its owner cannot read is opened by the delete once it has made it readable.
    if (S_ISDIR(s.mode)) walk.enter(name);
  }
};

}  // namespace

void checkFolderRemovable(const std::string& folder, TransferProgress* progress, CheckedEntries which,
                          unsigned entryPasses) {
  const std::string path = excludeTrailingDelim(folder);
  const std::string parent = parentFolderPath(path);
  if (::faccessat(AT_FDCWD, parent.c_str(), W_OK | X_OK, AT_EACCESS) != 0 &&
      (errno == EACCES || errno == EPERM || errno == EROFS))
    throw EOSError(errno, "Cannot delete " + folder);

  const UniqueFd parentFd(::openat(AT_FDCWD, parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  struct stat parentStat {};
  if (!parentFd || ::fstat(parentFd.get(), &parentStat) != 0) return;
  const std::string name = extractFileName(path);
  EntryStatus top;
  if (!entryStatus(parentFd.get(), name.c_str(), top)) return;
  refuseIfStuck(parentFd.get(), name.c_str(), top, parentStat.st_dev, [&] { return path; });
  if (which == CheckedEntries::TopOnly) return;
  Check check(path, which == CheckedEntries::All, parentStat.st_dev);
  if (S_ISDIR(top.mode)) {
    const int topFd = ::openat(parentFd.get(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (topFd < 0) return;
    TreeWalk().run(topFd, check);
    if (check.unread) return;
  }
  if (progress != nullptr && progress->totalEntries == 0 && progress->totalBytes == 0) {
    progress->totalBytes = check.bytes;
    progress->totalEntries = entryPasses * check.entries;
  }
}

}  // namespace pitkit
