// File status on Win32: stat, statx, statvfs and access checks, from GetFileInformationByHandle.
#include "platform/win32/Win32Path.h"

using namespace pitkit::win32;

namespace {

// The POSIX mode of what the attributes describe: a link seen as itself is a link; the read-only
// attribute takes the write bits away.
unsigned modeOf(DWORD attributes, bool isLink) {
  if (isLink) return S_IFLNK | 0777;
  unsigned mode = (attributes & FILE_ATTRIBUTE_DIRECTORY) ? (S_IFDIR | 0755) : (S_IFREG | 0644);
  if ((attributes & FILE_ATTRIBUTE_READONLY) && !(attributes & FILE_ATTRIBUTE_DIRECTORY))
    mode &= ~0222U;
  return mode;
}

int fillStat(HANDLE h, bool seenAsLink, struct pitkit_stat* st) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(h, &info)) return fail();
  *st = {};
  st->st_dev = info.dwVolumeSerialNumber;
  st->st_ino = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  st->st_mode = static_cast<mode_t>(
      modeOf(info.dwFileAttributes, seenAsLink && isLinkHandle(h, info.dwFileAttributes)));
  st->st_nlink = info.nNumberOfLinks;
  const bool isDir = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  st->st_size = isDir ? 0
                      : static_cast<off_t>((static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) |
                                           info.nFileSizeLow);
  st->st_blksize = 4096;
  st->st_blocks = (st->st_size + 511) / 512;
  st->st_atim = timespecOf(info.ftLastAccessTime);
  st->st_mtim = timespecOf(info.ftLastWriteTime);
  st->st_ctim = st->st_mtim;
  return 0;
}

int statPath(int dirFd, const char* path, struct pitkit_stat* st, bool noFollow) {
  std::wstring full;
  if (!resolveAt(dirFd, path, full)) return -1;
  const HANDLE h = openForAttributes(full, noFollow);
  if (h == INVALID_HANDLE_VALUE) return fail();
  const int result = fillStat(h, noFollow, st);
  CloseHandle(h);
  return result;
}

statx_timestamp stampOf(const FILETIME& t) {
  const struct timespec ts = timespecOf(t);
  return statx_timestamp{static_cast<std::int64_t>(ts.tv_sec),
                         static_cast<std::uint32_t>(ts.tv_nsec), 0};
}

}  // namespace

int pitkit_stat(const char* path, struct pitkit_stat* st) {
  return statPath(AT_FDCWD, path, st, false);
}
int lstat(const char* path, struct pitkit_stat* st) { return statPath(AT_FDCWD, path, st, true); }

int pitkit_fstat(int fd, struct pitkit_stat* st) {
  const HANDLE h = handleOf(fd);
  return h == INVALID_HANDLE_VALUE ? -1 : fillStat(h, true, st);
}

int fstatat(int dirFd, const char* path, struct pitkit_stat* st, int flags) {
  return statPath(dirFd, path, st, (flags & AT_SYMLINK_NOFOLLOW) != 0);
}

int statx(int dirFd, const char* path, int flags, unsigned, struct statx* sx) {
  const bool noFollow = (flags & AT_SYMLINK_NOFOLLOW) != 0;
  HANDLE h = INVALID_HANDLE_VALUE;
  bool owned = false;
  if ((flags & AT_EMPTY_PATH) && path != nullptr && path[0] == '\0') {
    h = handleOf(dirFd);
    if (h == INVALID_HANDLE_VALUE) return -1;
  } else {
    std::wstring full;
    if (!resolveAt(dirFd, path, full)) return -1;
    h = openForAttributes(full, noFollow);
    if (h == INVALID_HANDLE_VALUE) return fail();
    owned = true;
  }
  BY_HANDLE_FILE_INFORMATION info;
  const BOOL ok = GetFileInformationByHandle(h, &info);
  const DWORD error = GetLastError();
  const bool isLink = ok && (noFollow || !owned) && isLinkHandle(h, info.dwFileAttributes);
  if (owned) CloseHandle(h);
  if (!ok) return failWith(error);
  *sx = {};
  sx->stx_mask = STATX_BASIC_STATS | STATX_BTIME;
  sx->stx_blksize = 4096;
  sx->stx_mode = static_cast<std::uint16_t>(modeOf(info.dwFileAttributes, isLink));
  sx->stx_nlink = info.nNumberOfLinks;
  sx->stx_ino = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  if (!(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
    sx->stx_size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  sx->stx_blocks = (sx->stx_size + 511) / 512;
  // Windows has no immutable or append-only flag: known, and never set.
  sx->stx_attributes_mask = STATX_ATTR_IMMUTABLE | STATX_ATTR_APPEND;
  sx->stx_atime = stampOf(info.ftLastAccessTime);
  sx->stx_mtime = stampOf(info.ftLastWriteTime);
  sx->stx_ctime = sx->stx_mtime;
  sx->stx_btime = stampOf(info.ftCreationTime);
  sx->stx_dev_major = 0;
  sx->stx_dev_minor = info.dwVolumeSerialNumber;
  return 0;
}

int statvfs(const char* path, struct statvfs* vfs) {
  std::wstring full;
  if (!resolveAt(AT_FDCWD, path, full)) return -1;
  ULARGE_INTEGER available, total, free;
  if (!GetDiskFreeSpaceExW(full.c_str(), &available, &total, &free)) return fail();
  *vfs = {};
  vfs->f_bsize = vfs->f_frsize = 4096;
  vfs->f_blocks = total.QuadPart / 4096;
  vfs->f_bfree = free.QuadPart / 4096;
  vfs->f_bavail = available.QuadPart / 4096;
  vfs->f_namemax = 255;
  return 0;
}

int faccessat(int dirFd, const char* path, int mode, int flags) {
  std::wstring full;
  if (!resolveAt(dirFd, path, full)) return -1;
  const DWORD attributes = GetFileAttributesW(full.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return fail();
  const bool isDir = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  if ((mode & W_OK) && !isDir && (attributes & FILE_ATTRIBUTE_READONLY)) return failErrno(EACCES);
  if (mode & R_OK) {
    // Readable when it opens for reading (a folder: for listing).
    const DWORD access = isDir ? FILE_LIST_DIRECTORY : GENERIC_READ;
    const HANDLE h = openForAttributes(full, (flags & AT_SYMLINK_NOFOLLOW) != 0, access);
    if (h == INVALID_HANDLE_VALUE) return fail();
    CloseHandle(h);
  }
  return 0;
}

long pathconf(const char* path, int name) {
  std::wstring full;
  if (!resolveAt(AT_FDCWD, path, full)) return -1;
  if (name != _PC_NAME_MAX) return failErrno(EINVAL);
  return 255;
}
