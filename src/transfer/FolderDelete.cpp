#include "transfer/FolderDelete.h"

#include "platform/Posix.h"

#include <algorithm>
#include <cerrno>

#include "platform/LazyPath.h"
#include "platform/Paths.h"
#include "platform/TreeWalk.h"
#include "platform/UniqueFd.h"

namespace pitkit {

namespace {

// The delete's walk: each entry that is not a folder is removed where it is listed, each folder
// once the walk has left it. It keeps its first error with the path, the filter and its progress.
class Remove : public TreeWalk::Visitor {
 public:
  // Removes the entry `top` of the walk's start folder, which `path` names.
  Remove(const std::string& top, const std::string& path, TransferProgress* progress, const RemovalFilter* mayRemove)
      : topLength_(top.size()), path_(path), progress_(progress), mayRemove_(mayRemove) {}

  int firstError = 0;
  std::string firstErrorPath;
  std::string firstKept;

  void visit(TreeWalk& walk, const std::string& name, unsigned char type) override {
    const LazyPath relative([&] { return walk.pathOf(name); });
    if (type == DT_DIR || removeFile(walk, name, relative)) descend(walk, name, relative);
  }

  // Every entry of the folder was dealt with: the folder itself goes.
  void left(TreeWalk& walk, const std::string& name, const TreeWalk::Done& done) override {
    const LazyPath relative([&] { return walk.pathOf(name); });
    for (;;) {
      const int parent = walk.fd();
      if (parent < 0) return record(errno, relative);
      if (::unlinkat(parent, name.c_str(), AT_REMOVEDIR) == 0) return removed();
      const int err = errno;
      if (err == ENOENT) return;
      // A read-only folder holding this one: the owner may remove it after all.
      if ((err == EACCES || err == EPERM) && walk.makeWritable()) continue;
      if (err != ENOTEMPTY && err != EEXIST) return record(err, relative);
      // Some file systems may skip entries when a folder changes while it is read; a second
      // pass picks those up before the folder itself is removed.
      if (done.entries > 0 && firstError == 0 && done.pass == 0 && walk.enter(name) == 0) return;
      if (firstError == 0) record(ENOTEMPTY, relative);
      return;
    }
  }

 private:
  // The path of the walk's `relative` path in errors, and below the removed entry for the progress
  // and the filter.
  std::string full(const std::string& relative) const { return path_ + relative.substr(topLength_); }
  std::string_view below(const std::string& relative) const {
    return std::string_view(relative).substr(std::min(relative.size(), topLength_ + 1));
  }
  void record(int err, const LazyPath& relative) {
    if (firstError == 0) {
      firstError = err;
      firstErrorPath = full(relative.str());
    }
  }
  void removed() {
    if (progress_ != nullptr) ++progress_->entries;
  }
  void current(const std::string& relative) {
    if (progress_ != nullptr) progress_->setCurrentItem(below(relative));
  }
  void current(const LazyPath& relative) {
    if (progress_ != nullptr) current(relative.str());
  }

  // Enters the folder `name` to empty it; one that turned into a file or a link meanwhile is
  // removed as it is.
  void descend(TreeWalk& walk, const std::string& name, const LazyPath& relative) {
    int err = walk.enter(name);
    if (err == EACCES) {
      // A folder without read or search access for its owner.
      const int parent = walk.fd();
      if (parent >= 0) ::fchmodat(parent, name.c_str(), S_IRWXU, 0);
      err = walk.enter(name);
    }
    if (err == 0) {
      if (progress_ != nullptr) current(walk.path());  // the entered folder's path
      return;
    }
    if (err == ENOENT) return;
    if (err == ENOTDIR || err == ELOOP) {
      removeFile(walk, name, relative);
      return;
    }
    // Another file system mounted here is never emptied; its mount point then cannot go.
    record(err == EXDEV ? EBUSY : err, relative);
  }

  // Removes the entry `name` of the current folder that is not a folder. Returns true when the
  // entry turns out to be a folder, which the caller then empties.
  bool removeFile(TreeWalk& walk, const std::string& name, const LazyPath& relative) {
    const int dirFd = walk.fd();
    if (dirFd < 0) {
      record(errno, relative);
      return false;
    }
    current(relative);
    if (mayRemove_ != nullptr && *mayRemove_) {
      struct stat st {};
      if (::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno != ENOENT) record(errno, relative);
        return false;
      }
      if (S_ISDIR(st.st_mode)) return true;
      if (!(*mayRemove_)(below(relative.str()), st)) {
        if (firstKept.empty()) firstKept = full(relative.str());
        record(ENOTEMPTY, relative);
        return false;
      }
    }
    for (;;) {
      if (::unlinkat(dirFd, name.c_str(), 0) == 0) {
        removed();
        return false;
      }
      const int err = errno;
      if (err == ENOENT) return false;  // vanished meanwhile: nothing left to remove
      if (err == EISDIR || err == EPERM) {
        // Linux reports EISDIR (and some systems EPERM) for a folder: check what it is.
        struct stat st {};
        if (::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode)) return true;
      }
      // A read-only folder: the user asked for the whole tree to go, so allow it.
      if ((err == EACCES || err == EPERM) && walk.makeWritable()) continue;
      record(err, relative);
      return false;
    }
  }

  std::size_t topLength_;    // of the removed entry's name, with which the walk's paths begin
  const std::string& path_;  // the removed entry's path
  TransferProgress* progress_;
  const RemovalFilter* mayRemove_;
};

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
  const int dup = ::fcntl(parentFd, F_DUPFD_CLOEXEC, 0);
  if (dup < 0) return errno;
  Remove remove(name, path, progress, mayRemove);
  TreeWalk().runOne(dup, name, DT_DIR, remove);
  if (errorPath != nullptr && remove.firstError != 0) *errorPath = remove.firstErrorPath;
  if (kept != nullptr) *kept = remove.firstKept;
  return remove.firstError;
}

}  // namespace

int removeAnyAt(int parentFd, const std::string& name, const std::string& path, TransferProgress* progress,
                std::string* errorPath) {
  return removeEntry(parentFd, name, path, progress, nullptr, errorPath, nullptr);
}

void DeleteFolder(const std::string& folder, TransferProgress* progress, const RemovalFilter& mayRemove,
                  CheckedEntries checked) {
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
  checkFolderRemovable(path, progress, checked);
  if (!S_ISDIR(st.st_mode)) {
    // A link (or a file) in the folder's place: remove it, never what it points to.
    if (::unlink(path.c_str()) != 0) throw EOSError(errno, "Cannot delete " + folder);
    if (progress != nullptr) ++progress->entries;
    return;
  }
  const UniqueFd parentFd(::openat(AT_FDCWD, parentFolderPath(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!parentFd) throw EOSError(errno, "Cannot delete " + folder);
  std::string failedPath;
  std::string kept;
  const int err = removeEntry(parentFd.get(), name, path, progress, &mayRemove, &failedPath, &kept);
  if (err == 0) return;
  if (!kept.empty() && kept == failedPath) throw EOSError(err, "Cannot delete " + path + ": " + kept + " is kept");
  throw EOSError(err, "Cannot delete " + failedPath);
}

}  // namespace pitkit
