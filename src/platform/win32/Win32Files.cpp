// Opening, reading and writing files and folders, their modes and times, on Win32.
#include <climits>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <random>

#include "platform/WindowsPaths.h"
#include "platform/win32/Win32Path.h"

using namespace pitkit::win32;

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

DWORD dispositionOf(int flags) {
  if ((flags & O_CREAT) && (flags & O_EXCL)) return CREATE_NEW;
  if ((flags & O_CREAT) && (flags & O_TRUNC)) return CREATE_ALWAYS;
  if (flags & O_CREAT) return OPEN_ALWAYS;
  if (flags & O_TRUNC) return TRUNCATE_EXISTING;
  return OPEN_EXISTING;
}

}  // namespace

int openat(int dirFd, const char* path, int flags, ...) {
  mode_t mode = 0666;
  if (flags & O_CREAT) {
    va_list args;
    va_start(args, flags);
    mode = static_cast<mode_t>(va_arg(args, int));
    va_end(args);
  }
  std::wstring full;
  if (!resolveAt(dirFd, path, full)) return -1;
  const int accessMode = flags & (O_RDONLY | O_WRONLY | O_RDWR);
  const bool writes = accessMode != O_RDONLY;
  DWORD access = FILE_READ_ATTRIBUTES | SYNCHRONIZE;
  if (flags & O_DIRECTORY)
    access |= FILE_LIST_DIRECTORY | FILE_TRAVERSE;
  else if (accessMode == O_RDONLY)
    access |= GENERIC_READ;
  else
    access |= (accessMode == O_RDWR ? GENERIC_READ : 0) | GENERIC_WRITE | FILE_WRITE_ATTRIBUTES;
  DWORD attributes = FILE_ATTRIBUTE_NORMAL;
  if ((flags & O_CREAT) && !(mode & S_IWUSR)) attributes = FILE_ATTRIBUTE_READONLY;
  // Backup semantics lets a folder be opened; a file opened so is no different.
  DWORD options = FILE_FLAG_BACKUP_SEMANTICS;
  if (flags & O_NOFOLLOW) options |= FILE_FLAG_OPEN_REPARSE_POINT;
  HANDLE h = INVALID_HANDLE_VALUE;
  BY_HANDLE_FILE_INFORMATION info;
  for (;;) {
    h = CreateFileW(full.c_str(), access, kShareAll, nullptr, dispositionOf(flags),
                    attributes | options, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      const DWORD error = GetLastError();
      // Opening a folder for writing: refused as POSIX refuses it.
      const DWORD existing = GetFileAttributesW(full.c_str());
      if (error == ERROR_ACCESS_DENIED && writes && existing != INVALID_FILE_ATTRIBUTES &&
          (existing & FILE_ATTRIBUTE_DIRECTORY))
        return failErrno(EISDIR);
      return failWith(error);
    }
    if (!GetFileInformationByHandle(h, &info)) {
      const DWORD error = GetLastError();
      CloseHandle(h);
      return failWith(error);
    }
    // A reparse point that is not a link (a file kept in the cloud): opened as itself it would
    // not give its contents, so it is opened again the ordinary way.
    if (!(options & FILE_FLAG_OPEN_REPARSE_POINT) ||
        !(info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
        isLinkHandle(h, info.dwFileAttributes))
      break;
    CloseHandle(h);
    options &= ~FILE_FLAG_OPEN_REPARSE_POINT;
  }
  int refusal = 0;
  if ((options & FILE_FLAG_OPEN_REPARSE_POINT) &&
      (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
    refusal = (flags & O_DIRECTORY) ? ENOTDIR : ELOOP;
  else if ((flags & O_DIRECTORY) && !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
    refusal = ENOTDIR;
  else if (writes && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
    refusal = EISDIR;
  if (refusal != 0) {
    CloseHandle(h);
    return failErrno(refusal);
  }
  return adoptHandle(h, flags, full);
}

int fcntl(int fd, int cmd, ...) {
  const HANDLE h = handleOf(fd);
  if (h == INVALID_HANDLE_VALUE) return -1;
  switch (cmd) {
    case F_GETFL:
      return 0;
    case F_SETFL:
      return 0;  // O_NONBLOCK means nothing for a disk file
    case F_DUPFD_CLOEXEC: {
      std::wstring path;
      if (!pathOfFd(fd, path)) return -1;
      HANDLE copy = nullptr;
      if (!DuplicateHandle(GetCurrentProcess(), h, GetCurrentProcess(), &copy, 0, FALSE,
                           DUPLICATE_SAME_ACCESS))
        return fail();
      return adoptHandle(copy, 0, path);
    }
    default:
      return failErrno(EINVAL);
  }
}

namespace {

// A read or write at `offset` that leaves the descriptor's position where it was.
ssize_t transferAt(int fd, void* buf, size_t count, off_t offset, bool write) {
  const HANDLE h = handleOf(fd);
  if (h == INVALID_HANDLE_VALUE) return -1;
  if (offset < 0) return failErrno(EINVAL);
  LARGE_INTEGER zero{}, position{};
  if (!SetFilePointerEx(h, zero, &position, FILE_CURRENT)) return fail();
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(static_cast<std::uint64_t>(offset) >> 32);
  const DWORD want = count > 0x40000000 ? 0x40000000 : static_cast<DWORD>(count);
  DWORD done = 0;
  const BOOL ok = write ? WriteFile(h, buf, want, &done, &at) : ReadFile(h, buf, want, &done, &at);
  const DWORD error = GetLastError();
  SetFilePointerEx(h, position, nullptr, FILE_BEGIN);
  if (!ok) {
    if (!write && error == ERROR_HANDLE_EOF) return 0;
    return failWith(error);
  }
  return static_cast<ssize_t>(done);
}

}  // namespace

ssize_t pread(int fd, void* buf, size_t count, off_t offset) {
  return transferAt(fd, buf, count, offset, false);
}
ssize_t pwrite(int fd, const void* buf, size_t count, off_t offset) {
  return transferAt(fd, const_cast<void*>(buf), count, offset, true);
}

int pitkit_ftruncate(int fd, off_t length) {
  if (length < 0) return failErrno(EINVAL);
  const HANDLE h = handleOf(fd);
  if (h == INVALID_HANDLE_VALUE) return -1;
  FILE_END_OF_FILE_INFO end{};
  end.EndOfFile.QuadPart = length;
  return SetFileInformationByHandle(h, FileEndOfFileInfo, &end, sizeof end) ? 0 : fail();
}

int fsync(int fd) {
  const HANDLE h = handleOf(fd);
  if (h == INVALID_HANDLE_VALUE) return -1;
  if (FlushFileBuffers(h)) return 0;
  // A folder, or a file open only for reading, has nothing of this descriptor's to flush.
  const DWORD error = GetLastError();
  if (error == ERROR_ACCESS_DENIED || error == ERROR_INVALID_HANDLE) return 0;
  return failWith(error);
}

// Flushing a whole volume needs administrator rights on Windows: each file written is flushed by
// its own fsync instead.
int syncfs(int fd) { return handleOf(fd) == INVALID_HANDLE_VALUE ? -1 : 0; }

ssize_t readahead(int fd, off_t, size_t) { return handleOf(fd) == INVALID_HANDLE_VALUE ? -1 : 0; }

// No copy between descriptors in the kernel: the caller copies through a buffer.
ssize_t copy_file_range(int, off_t*, int, off_t*, size_t, unsigned) { return failErrno(ENOSYS); }

int mkostemp(char* templ, int flags) {
  const std::size_t length = std::strlen(templ);
  if (length < 6 || std::strcmp(templ + length - 6, "XXXXXX") != 0) return failErrno(EINVAL);
  static thread_local std::mt19937 engine{std::random_device{}() ^ GetCurrentThreadId()};
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  for (int attempt = 0; attempt < 1000; ++attempt) {
    for (std::size_t i = length - 6; i < length; ++i)
      templ[i] = kLetters[engine() % (sizeof kLetters - 1)];
    const int fd = openat(AT_FDCWD, templ, O_RDWR | O_CREAT | O_EXCL | (flags & ~O_ACCMODE), 0600);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return failErrno(EEXIST);
}

int pitkit_mkstemp(char* templ) { return mkostemp(templ, 0); }

char* realpath(const char* path, char* resolved) {
  std::wstring full;
  if (!resolveAt(AT_FDCWD, path, full)) return nullptr;
  const HANDLE h = openForAttributes(full, false);
  if (h == INVALID_HANDLE_VALUE) return fail(), nullptr;
  const int fd = adoptHandle(h, 0, full);
  if (fd < 0) return nullptr;
  std::wstring final;
  const bool ok = pathOfFd(fd, final);
  _close(fd);
  if (!ok) return nullptr;
  const std::string text = pitkit::windowsPathToProgram(narrow(final));
  if (resolved == nullptr) return _strdup(text.c_str());
  if (text.size() >= PATH_MAX) return failErrno(ENAMETOOLONG), nullptr;
  std::memcpy(resolved, text.c_str(), text.size() + 1);
  return resolved;
}

namespace {

// Sets or clears the read-only attribute of a file as the owner's write bit says; a folder's
// read-only attribute means nothing to Windows and is left alone.
int applyMode(const std::wstring& path, mode_t mode) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return fail();
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return 0;
  DWORD wanted = (mode & S_IWUSR) ? attributes & ~FILE_ATTRIBUTE_READONLY
                                  : attributes | FILE_ATTRIBUTE_READONLY;
  if (wanted == 0) wanted = FILE_ATTRIBUTE_NORMAL;
  if (wanted == attributes) return 0;
  return SetFileAttributesW(path.c_str(), wanted) ? 0 : fail();
}

// Sets the access and write times (UTIME_OMIT keeps one, UTIME_NOW takes the clock's).
int applyTimes(HANDLE h, const struct timespec times[2]) {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  FILETIME chosen[2];
  const FILETIME* use[2] = {&now, &now};
  for (int i = 0; times != nullptr && i < 2; ++i) {
    if (times[i].tv_nsec == UTIME_OMIT) {
      use[i] = nullptr;
    } else if (times[i].tv_nsec != UTIME_NOW) {
      chosen[i] = fileTimeOf(times[i]);
      use[i] = &chosen[i];
    }
  }
  return SetFileTime(h, nullptr, use[0], use[1]) ? 0 : fail();
}

}  // namespace

int fchmod(int fd, mode_t mode) {
  std::wstring path;
  return pathOfFd(fd, path) ? applyMode(path, mode) : -1;
}

int fchmodat(int dirFd, const char* name, mode_t mode, int) {
  std::wstring path;
  return resolveAt(dirFd, name, path) ? applyMode(path, mode) : -1;
}

int futimens(int fd, const struct timespec times[2]) {
  const HANDLE h = handleOf(fd);
  if (h == INVALID_HANDLE_VALUE) return -1;
  if (applyTimes(h, times) == 0) return 0;
  // Opened without the right to change attributes: through a second handle on the same file.
  std::wstring path;
  if (!pathOfFd(fd, path)) return -1;
  const HANDLE second = openForAttributes(path, true, FILE_WRITE_ATTRIBUTES);
  if (second == INVALID_HANDLE_VALUE) return fail();
  const int result = applyTimes(second, times);
  CloseHandle(second);
  return result;
}

int utimensat(int dirFd, const char* name, const struct timespec times[2], int flags) {
  std::wstring path;
  if (!resolveAt(dirFd, name, path)) return -1;
  const HANDLE h =
      openForAttributes(path, (flags & AT_SYMLINK_NOFOLLOW) != 0, FILE_WRITE_ATTRIBUTES);
  if (h == INVALID_HANDLE_VALUE) return fail();
  const int result = applyTimes(h, times);
  CloseHandle(h);
  return result;
}

int flock(int fd, int operation) {
  if (operation & LOCK_UN) return unlockFolder(fd);
  return lockFolder(fd, (operation & LOCK_EX) != 0, (operation & LOCK_NB) == 0);
}

// No file flags are read this way on Windows (statx reports them as known and clear).
int ioctl(int fd, unsigned long, ...) {
  return handleOf(fd) == INVALID_HANDLE_VALUE ? -1 : failErrno(ENOTTY);
}

// Extended attributes are not carried over on Windows.
ssize_t flistxattr(int, char*, size_t) { return failErrno(ENOTSUP); }
ssize_t fgetxattr(int, const char*, void*, size_t) { return failErrno(ENOTSUP); }
int fsetxattr(int, const char*, const void*, size_t, int) { return failErrno(ENOTSUP); }
