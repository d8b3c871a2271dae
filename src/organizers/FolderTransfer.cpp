#include "organizers/FolderTransfer.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <random>
#include <vector>

#include "platform/Errors.h"
#include "platform/Paths.h"

namespace pitkit {

namespace {

// An open directory stream; closes its descriptor with it.
class Dir {
 public:
  explicit Dir(int fd) : dir_(fd >= 0 ? ::fdopendir(fd) : nullptr) {
    if (fd >= 0 && dir_ == nullptr) ::close(fd);
  }
  ~Dir() {
    if (dir_ != nullptr) ::closedir(dir_);
  }
  Dir(const Dir&) = delete;
  Dir& operator=(const Dir&) = delete;
  bool ok() const { return dir_ != nullptr; }
  int fd() const { return ::dirfd(dir_); }
  DIR* get() const { return dir_; }

 private:
  DIR* dir_;
};

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

bool isDotOrDotDot(const char* name) {
  return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

std::string joinPath(const std::string& folder, const std::string& name) {
  if (!folder.empty() && folder.back() == PathDelim) return folder + name;
  return folder + PathDelim + name;
}

// The path without trailing separators (the root stays "/").
std::string withoutTrailingDelim(std::string path) {
  while (path.size() > 1 && path.back() == PathDelim) path.pop_back();
  return path;
}

[[noreturn]] void failCopy(int err, const std::string& path) { throw EOSError(err, "Cannot copy " + path); }

// ---- delete ----

struct DeleteState {
  int firstError = 0;
  std::string firstErrorPath;
  TransferProgress* progress = nullptr;

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

void removeTreeAt(int parentFd, const std::string& name, const std::string& path, DeleteState& state);

// Removes one entry that is not a folder (a folder found on the way is removed as a tree).
void removeEntryAt(int dirFd, const char* name, const std::string& path, DeleteState& state,
                   bool& madeWritable) {
  for (;;) {
    if (::unlinkat(dirFd, name, 0) == 0) {
      if (state.progress != nullptr) ++state.progress->entries;
      return;
    }
    const int err = errno;
    if (err == ENOENT) return;  // vanished meanwhile: nothing left to remove
    if (err == EISDIR || err == EPERM) {
      // Linux reports EISDIR (and some systems EPERM) for a folder: check what it is.
      struct stat st {};
      if (::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode)) {
        removeTreeAt(dirFd, name, path, state);
        return;
      }
    }
    if ((err == EACCES || err == EPERM) && !madeWritable) {
      // A read-only folder: the user asked for the whole tree to go, so allow it.
      makeFolderWritable(dirFd);
      madeWritable = true;
      continue;
    }
    state.record(err, path);
    return;
  }
}

void removeTreeAt(int parentFd, const std::string& name, const std::string& path, DeleteState& state) {
  int fd = ::openat(parentFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0 && errno == EACCES) {
    // A folder without read or search access for its owner.
    ::fchmodat(parentFd, name.c_str(), S_IRWXU, 0);
    fd = ::openat(parentFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  }
  if (fd < 0) {
    const int err = errno;
    if (err == ENOENT) return;
    if (err == ENOTDIR || err == ELOOP) {
      // Replaced by a file or a link since it was listed: remove that entry itself.
      bool madeWritable = true;
      removeEntryAt(parentFd, name.c_str(), path, state, madeWritable);
      return;
    }
    state.record(err, path);
    return;
  }
  Dir dir(fd);
  if (!dir.ok()) {
    state.record(errno, path);
    return;
  }
  bool madeWritable = false;
  // Some file systems may skip entries when a folder changes while it is read; a second pass
  // picks those up before the folder itself is removed.
  for (int pass = 0; pass < 2; ++pass) {
    bool removedAny = false;
    errno = 0;
    while (dirent* entry = ::readdir(dir.get())) {
      if (isDotOrDotDot(entry->d_name)) continue;
      const std::string childPath = joinPath(path, entry->d_name);
      removedAny = true;
      if (entry->d_type == DT_DIR) {
        removeTreeAt(dir.fd(), entry->d_name, childPath, state);
      } else {
        removeEntryAt(dir.fd(), entry->d_name, childPath, state, madeWritable);
      }
    }
    if (::unlinkat(parentFd, name.c_str(), AT_REMOVEDIR) == 0) {
      if (state.progress != nullptr) ++state.progress->entries;
      return;
    }
    const int err = errno;
    if (err == ENOENT) return;
    if (err != ENOTEMPTY && err != EEXIST) {
      state.record(err, path);
      return;
    }
    if (!removedAny || state.firstError != 0) break;
    ::rewinddir(dir.get());
  }
  if (state.firstError == 0) state.record(ENOTEMPTY, path);
}

// ---- copy ----

struct CopyContext {
  TransferProgress* progress;
  std::vector<char> buffer;
};

void copyContents(int in, int out, const std::string& path, CopyContext& ctx) {
  bool useCopyRange = true;
  for (;;) {
    ssize_t n;
    if (useCopyRange) {
      // In 64 MiB steps, so that the progress shown moves along within a big file.
      n = ::copy_file_range(in, nullptr, out, nullptr, std::size_t{64} << 20, 0);
      if (n < 0 && (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP ||
                    errno == EBADF)) {
        // Not possible between these two files: copy through a buffer instead.
        useCopyRange = false;
        continue;
      }
    } else {
      if (ctx.buffer.empty()) ctx.buffer.resize(std::size_t{1} << 20);
      n = ::read(in, ctx.buffer.data(), ctx.buffer.size());
      if (n > 0) {
        std::size_t written = 0;
        while (written < static_cast<std::size_t>(n)) {
          const ssize_t w = ::write(out, ctx.buffer.data() + written, static_cast<std::size_t>(n) - written);
          if (w < 0) {
            if (errno == EINTR) continue;
            failCopy(errno, path);
          }
          written += static_cast<std::size_t>(w);
        }
      }
    }
    if (n == 0) return;
    if (n < 0) {
      if (errno == EINTR) continue;
      failCopy(errno, path);
    }
    if (ctx.progress != nullptr) ctx.progress->bytes += static_cast<std::uint64_t>(n);
  }
}

// Owner, permission bits and times of the source, applied to a finished copy.
void applyAttributes(int fd, const struct stat& st, const std::string& path) {
  if (::geteuid() == 0) (void)::fchown(fd, st.st_uid, st.st_gid);
  if (::fchmod(fd, st.st_mode & 07777) != 0) failCopy(errno, path);
  const struct timespec times[2] = {st.st_atim, st.st_mtim};
  if (::futimens(fd, times) != 0) failCopy(errno, path);
}

void copyLinkAt(int srcDir, int dstDir, const char* name, const struct stat& st, const std::string& path) {
  std::vector<char> target(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1);
  for (;;) {
    const ssize_t n = ::readlinkat(srcDir, name, target.data(), target.size());
    if (n < 0) failCopy(errno, path);
    if (static_cast<std::size_t>(n) < target.size()) {
      target[static_cast<std::size_t>(n)] = '\0';
      break;
    }
    target.resize(target.size() * 2);
  }
  if (::symlinkat(target.data(), dstDir, name) != 0) failCopy(errno, path);
  if (::geteuid() == 0) (void)::fchownat(dstDir, name, st.st_uid, st.st_gid, AT_SYMLINK_NOFOLLOW);
  const struct timespec times[2] = {st.st_atim, st.st_mtim};
  ::utimensat(dstDir, name, times, AT_SYMLINK_NOFOLLOW);
}

void copyFileAt(int srcDir, int dstDir, const char* name, const struct stat& st, const std::string& path,
                CopyContext& ctx) {
  // O_NONBLOCK: should the entry have become a pipe since it was listed, the open does not hang.
  Fd in(::openat(srcDir, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (in.get() < 0) failCopy(errno, path);
  struct stat now {};
  if (::fstat(in.get(), &now) != 0) failCopy(errno, path);
  if (!S_ISREG(now.st_mode)) failCopy(EOPNOTSUPP, path);
  Fd out(::openat(dstDir, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, S_IRUSR | S_IWUSR));
  if (out.get() < 0) failCopy(errno, path);
  copyContents(in.get(), out.get(), path, ctx);
  applyAttributes(out.get(), st, path);
  if (::close(out.release()) != 0) failCopy(errno, path);
  if (ctx.progress != nullptr) ++ctx.progress->entries;
}

// Copies the entries of the open folder `src` into the empty folder `dst`.
void copyTree(int srcFd, int dstFd, const std::string& path, CopyContext& ctx) {
  Dir dir(::dup(srcFd));
  if (!dir.ok()) failCopy(errno, path);
  for (;;) {
    errno = 0;
    dirent* entry = ::readdir(dir.get());
    if (entry == nullptr) {
      if (errno != 0) failCopy(errno, path);
      break;
    }
    if (isDotOrDotDot(entry->d_name)) continue;
    const std::string childPath = joinPath(path, entry->d_name);
    struct stat st {};
    if (::fstatat(dir.fd(), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) failCopy(errno, childPath);
    if (S_ISDIR(st.st_mode)) {
      Fd child(::openat(dir.fd(), entry->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
      if (child.get() < 0) failCopy(errno, childPath);
      if (::mkdirat(dstFd, entry->d_name, S_IRWXU) != 0) failCopy(errno, childPath);
      Fd copy(::openat(dstFd, entry->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
      if (copy.get() < 0) failCopy(errno, childPath);
      copyTree(child.get(), copy.get(), childPath, ctx);
      // Bits and times last: filling the folder changed its times, and it may be read-only.
      applyAttributes(copy.get(), st, childPath);
      if (ctx.progress != nullptr) ++ctx.progress->entries;
    } else if (S_ISLNK(st.st_mode)) {
      copyLinkAt(dir.fd(), dstFd, entry->d_name, st, childPath);
      if (ctx.progress != nullptr) ++ctx.progress->entries;
    } else if (S_ISREG(st.st_mode)) {
      copyFileAt(dir.fd(), dstFd, entry->d_name, st, childPath, ctx);
    } else {
      // Pipes, sockets and devices have no place in a game folder and cannot be copied as files.
      failCopy(EOPNOTSUPP, childPath);
    }
  }
}

std::string randomSuffix() {
  static thread_local std::mt19937_64 engine{std::random_device{}()};
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::string suffix;
  for (int i = 0; i < 10; ++i) suffix += kLetters[engine() % (sizeof kLetters - 1)];
  return suffix;
}

// Creates the folder and its missing parents.
void createFolders(const std::string& path) {
  if (path.empty() || path == PathDelimStr) return;
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) {
    if (!S_ISDIR(st.st_mode)) throw EOSError(ENOTDIR, "Cannot create " + path);
    return;
  }
  const std::string parent = withoutTrailingDelim(extractFilePath(withoutTrailingDelim(path)));
  if (!parent.empty() && parent != path) createFolders(parent);
  if (::mkdir(path.c_str(), 0777) != 0 && errno != EEXIST) throw EOSError(errno, "Cannot create " + path);
}

// Renames the finished copy to `base`, or the first free "base (n)"; tried, never checked first.
std::string renameIntoPlace(int parentFd, const std::string& tempName, const std::string& parent,
                            const std::string& base) {
  for (int n = 1; n < 100000; ++n) {
    const std::string name = n == 1 ? base : base + " (" + std::to_string(n) + ")";
    if (::renameat2(parentFd, tempName.c_str(), parentFd, name.c_str(), RENAME_NOREPLACE) == 0)
      return parent + name;
    int err = errno;
    if (err == EINVAL || err == ENOSYS) {
      // A file system without the no-replace rename: test first, then rename (best available).
      struct stat st {};
      if (::fstatat(parentFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) continue;
      if (::renameat(parentFd, tempName.c_str(), parentFd, name.c_str()) == 0) return parent + name;
      err = errno;
    }
    if (err != EEXIST && err != ENOTEMPTY) throw EOSError(err, "Cannot copy to " + parent + name);
  }
  throw EOSError(EEXIST, "Cannot copy to " + parent + base);
}

}  // namespace

std::string normalizePathLexically(const std::string& path) {
  const bool absolute = !path.empty() && path.front() == PathDelim;
  std::vector<std::string> names;
  std::string current;
  auto flush = [&] {
    if (current.empty() || current == ".") {
    } else if (current == "..") {
      if (!names.empty() && names.back() != "..") {
        names.pop_back();
      } else if (!absolute) {
        names.push_back(current);
      }
    } else {
      names.push_back(current);
    }
    current.clear();
  };
  for (char c : path) {
    if (c == PathDelim) {
      flush();
    } else {
      current += c;
    }
  }
  flush();
  std::string result = absolute ? PathDelimStr : std::string();
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i > 0) result += PathDelim;
    result += names[i];
  }
  if (result.empty()) result = ".";
  return result;
}

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
  std::string parent = extractFilePath(dest);
  if (parent.empty()) parent = "." + PathDelimStr;
  createFolders(withoutTrailingDelim(parent));
  Fd parentFd(::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (parentFd.get() < 0) throw EOSError(errno, "Cannot copy to " + destination);

  // The hidden temporary name keeps a half-made copy out of the searches and out of the way.
  std::string tempName;
  for (int attempt = 0;; ++attempt) {
    tempName = ".pitkit-copy-" + randomSuffix();
    const int made = S_ISLNK(srcStat.st_mode) ? 0 : ::mkdirat(parentFd.get(), tempName.c_str(), S_IRWXU);
    if (made == 0) break;
    if (errno != EEXIST || attempt > 100) throw EOSError(errno, "Cannot copy to " + destination);
  }

  try {
    CopyContext ctx{progress, {}};
    if (S_ISLNK(srcStat.st_mode)) {
      // The level folder itself is a link: copy the link, as inside a tree.
      Fd srcParent(::open((extractFilePath(src).empty() ? "." : extractFilePath(src)).c_str(),
                          O_RDONLY | O_DIRECTORY | O_CLOEXEC));
      if (srcParent.get() < 0) failCopy(errno, source);
      std::vector<char> target(4096);
      const ssize_t n = ::readlinkat(srcParent.get(), extractFileName(src).c_str(), target.data(), target.size() - 1);
      if (n < 0) failCopy(errno, source);
      target[static_cast<std::size_t>(n)] = '\0';
      if (::symlinkat(target.data(), parentFd.get(), tempName.c_str()) != 0) failCopy(errno, source);
    } else {
      Fd srcFd(::open(src.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
      if (srcFd.get() < 0) failCopy(errno, source);
      Fd tempFd(::openat(parentFd.get(), tempName.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
      if (tempFd.get() < 0) failCopy(errno, source);
      copyTree(srcFd.get(), tempFd.get(), src, ctx);
      applyAttributes(tempFd.get(), srcStat, src);
    }
    const std::string placed = renameIntoPlace(parentFd.get(), tempName, parent, base);
    if (progress != nullptr) ++progress->entries;
    return placed;
  } catch (...) {
    // Remove the partial copy; the error that caused the failure is the one reported.
    DeleteState ignored;
    struct stat st {};
    if (::fstatat(parentFd.get(), tempName.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
      if (S_ISDIR(st.st_mode)) {
        removeTreeAt(parentFd.get(), tempName, joinPath(parent, tempName), ignored);
      } else {
        ::unlinkat(parentFd.get(), tempName.c_str(), 0);
      }
    }
    throw;
  }
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
  std::string parent = extractFilePath(path);
  if (parent.empty()) parent = "." + PathDelimStr;
  Fd parentFd(::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (parentFd.get() < 0) throw EOSError(errno, "Cannot delete " + folder);
  DeleteState state;
  state.progress = progress;
  removeTreeAt(parentFd.get(), name, path, state);
  if (state.firstError != 0) throw EOSError(state.firstError, "Cannot delete " + state.firstErrorPath);
}

}  // namespace pitkit
