#include "transfer/FileCopy.h"

#include "platform/Posix.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>

#include "platform/UniqueFd.h"

namespace pitkit {

namespace {

ssize_t kernelCopyRange(int in, off_t* inOff, int out, off_t* outOff, std::size_t len, unsigned flags) {
  return ::copy_file_range(in, inOff, out, outOff, len, flags);
}
std::atomic<CopyRangeCall> copyRangeCall{&kernelCopyRange};

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
  // A hole counts as copied in the progress: it is made by skipping it.
  const auto skipped = [&ctx](off_t length) {
    if (ctx.progress != nullptr) ctx.progress->bytes += static_cast<std::uint64_t>(length);
  };
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
    skipped(data - pos);
    copyBytes(in, out, data, hole, path, ctx);
    pos = hole;
  }
  skipped(size - pos);
  // A hole at the end is made by the length alone.
  if (::ftruncate(out, size) != 0) failCopy(errno, path);
}

}  // namespace

void setCopyRangeCall(CopyRangeCall call) { copyRangeCall = call != nullptr ? call : &kernelCopyRange; }

[[noreturn]] void failCopy(int err, const std::string& path) { throw EOSError(err, "Cannot copy " + path); }

// Extended attributes of `in` onto `out`, where the destination takes them: a file system without
// them, or a name space the user may not write (security, trusted), is passed over.
void copyXattrs(int in, int out, const LazyPath& path, CopyContext& ctx) {
  ssize_t listSize = ::flistxattr(in, nullptr, 0);
  if (listSize <= 0) return;  // none, or a file system without them
  std::vector<char> names(static_cast<std::size_t>(listSize));
  listSize = ::flistxattr(in, names.data(), names.size());
  if (listSize < 0) failCopy(errno, path.str());
  for (const char* name = names.data(); name < names.data() + listSize; name += std::strlen(name) + 1) {
    ssize_t valueSize = ::fgetxattr(in, name, nullptr, 0);
    if (valueSize < 0) failCopy(errno, path.str());
    char* value = ctx.scratch(static_cast<std::size_t>(valueSize) + 1);
    valueSize = ::fgetxattr(in, name, value, static_cast<std::size_t>(valueSize));
    if (valueSize < 0) failCopy(errno, path.str());
    if (::fsetxattr(out, name, value, static_cast<std::size_t>(valueSize), 0) != 0) {
      const int err = errno;
      if (err == ENOTSUP || err == EPERM) continue;
      // Named, since a value too large for the destination reports itself as a full disk.
      throw EOSError(err, std::string("Cannot copy extended attribute ") + name + " of " + path.str());
    }
  }
}

// Owner, permission bits and times of the source, applied to a finished copy.
void applyAttributes(int fd, const struct stat& st, const LazyPath& path) {
  if (::geteuid() == 0) (void)::fchown(fd, st.st_uid, st.st_gid);
  if (::fchmod(fd, st.st_mode & 07777) != 0) failCopy(errno, path.str());
  const struct timespec times[2] = {st.st_atim, st.st_mtim};
  if (::futimens(fd, times) != 0) failCopy(errno, path.str());
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
  UniqueFd in(::openat(srcDir, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (!in) failCopy(errno, path);
  struct stat st {};
  if (::fstat(in.get(), &st) != 0) failCopy(errno, path);
  if (!S_ISREG(st.st_mode)) failCopy(EOPNOTSUPP, path);
  UniqueFd out(::openat(dstDir, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, S_IRUSR | S_IWUSR));
  if (!out) failCopy(errno, path);
  copyContents(in.get(), out.get(), st, path, ctx);
  // The byte count: a source that grew or shrank meanwhile has no whole copy.
  struct stat after {};
  if (::fstat(in.get(), &after) != 0) failCopy(errno, path);
  if (after.st_size != st.st_size) failChanged(path);
  copyXattrs(in.get(), out.get(), path, ctx);
  applyAttributes(out.get(), st, path);
  if (out.close() != 0) failCopy(errno, path);
  if (ctx.progress != nullptr) ++ctx.progress->entries;
}

}  // namespace pitkit
