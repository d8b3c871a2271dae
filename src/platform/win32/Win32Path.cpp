#include "platform/win32/Win32Path.h"

#include <map>
#include <mutex>
#include <vector>

namespace pitkit::win32 {

std::wstring widen(std::string_view utf8) {
  if (utf8.empty()) return std::wstring();
  const int n =
      MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
  return out;
}

std::string narrow(std::wstring_view wide) {
  if (wide.empty()) return std::string();
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr,
                                    0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n,
                      nullptr, nullptr);
  return out;
}

int errnoOf(DWORD error) {
  switch (error) {
    case ERROR_SUCCESS:
      return 0;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_NO_MORE_FILES:
      return ENOENT;
    case ERROR_ALREADY_EXISTS:
    case ERROR_FILE_EXISTS:
      return EEXIST;
    case ERROR_ACCESS_DENIED:
    case ERROR_PRIVILEGE_NOT_HELD:
    case ERROR_CANNOT_MAKE:
      return EACCES;
    // A file another program holds open without sharing it: busy, as a file in use is on POSIX.
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_BUSY:
      return EBUSY;
    case ERROR_DIR_NOT_EMPTY:
      return ENOTEMPTY;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return ENOSPC;
    case ERROR_NOT_SAME_DEVICE:
      return EXDEV;
    case ERROR_DIRECTORY:
      return ENOTDIR;
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_BUFFER_OVERFLOW:
      return ENAMETOOLONG;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_INVALID_PARAMETER:
      return EINVAL;
    case ERROR_INVALID_HANDLE:
      return EBADF;
    case ERROR_WRITE_PROTECT:
      return EROFS;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      return ENOMEM;
    case ERROR_TOO_MANY_OPEN_FILES:
      return EMFILE;
    case ERROR_NOT_SUPPORTED:
    case ERROR_INVALID_FUNCTION:
      return ENOTSUP;
    case ERROR_CANT_RESOLVE_FILENAME:
      return ELOOP;
    default:
      return EIO;
  }
}

int failWith(DWORD error) { return failErrno(errnoOf(error)); }
int fail() { return failWith(GetLastError()); }

namespace {

bool isSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// `root` (a \\?\ path) with the components of the relative `rest` added: "." dropped, ".." taking
// one back (never above the root's drive or share).
std::wstring joinNormalized(std::wstring root, std::wstring_view rest) {
  while (root.size() > 6 && isSeparator(root.back())) root.pop_back();  // a drive root too
  // The part of the root ".." never removes: \\?\C: or \\?\UNC\server\share.
  std::size_t floor = 6;
  if (root.compare(0, 8, L"\\\\?\\UNC\\") == 0) {
    floor = root.find(L'\\', 8);
    floor = floor == std::wstring::npos ? root.size() : root.find(L'\\', floor + 1);
    if (floor == std::wstring::npos) floor = root.size();
  }
  std::size_t i = 0;
  while (i < rest.size()) {
    std::size_t j = i;
    while (j < rest.size() && !isSeparator(rest[j])) ++j;
    const std::wstring_view part = rest.substr(i, j - i);
    if (part == L"..") {
      const std::size_t cut = root.rfind(L'\\');
      if (cut != std::wstring::npos && cut >= floor) root.resize(cut);
    } else if (!part.empty() && part != L".") {
      root += L'\\';
      root += part;
    }
    i = j + 1;
  }
  if (root.size() == 6) root += L'\\';  // \\?\C:\ keeps its backslash
  return root;
}

// A full path with the \\?\ prefix: drive paths get \\?\, UNC paths \\?\UNC\.
std::wstring withPrefix(const std::wstring& full) {
  if (full.compare(0, 4, L"\\\\?\\") == 0) return full;
  if (full.compare(0, 2, L"\\\\") == 0) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

}  // namespace

std::wstring withoutPrefix(const std::wstring& path) {
  if (path.compare(0, 8, L"\\\\?\\UNC\\") == 0) return L"\\\\" + path.substr(8);
  if (path.compare(0, 4, L"\\\\?\\") == 0) return path.substr(4);
  return path;
}

HANDLE handleOf(int fd) {
  const auto h = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
  if (h == INVALID_HANDLE_VALUE) errno = EBADF;
  return h;
}

namespace {

// The volume part of the \\?\ path each descriptor was opened by: \\?\C: or \\?\UNC.
struct Opened {
  HANDLE handle;
  std::wstring volume;
};
std::mutex openedMutex;
std::map<int, Opened> opened;

std::wstring volumeOf(const std::wstring& path) {
  if (path.compare(0, 8, L"\\\\?\\UNC\\") == 0) return path.substr(0, 7);
  return path.substr(0, std::min<std::size_t>(path.size(), 6));
}

// The path from the volume's root of the file open as `h` (it follows renames), joined to the
// volume the descriptor was opened on.
bool pathFromVolume(int fd, HANDLE h, std::wstring& out) {
  std::wstring volume;
  {
    std::lock_guard guard(openedMutex);
    const auto it = opened.find(fd);
    if (it == opened.end() || it->second.handle != h) return false;
    volume = it->second.volume;
  }
  std::vector<char> buffer(sizeof(FILE_NAME_INFO) + 65536);
  if (!GetFileInformationByHandleEx(h, FileNameInfo, buffer.data(),
                                    static_cast<DWORD>(buffer.size())))
    return false;
  const auto* info = reinterpret_cast<const FILE_NAME_INFO*>(buffer.data());
  out = volume + std::wstring(info->FileName, info->FileNameLength / sizeof(wchar_t));
  if (out.size() == 6) out += L'\\';
  return true;
}

}  // namespace

bool pathOfFd(int fd, std::wstring& out) {
  const HANDLE h = handleOf(fd);
  if (h == INVALID_HANDLE_VALUE) return false;
  std::vector<wchar_t> buffer(MAX_PATH + 1);
  for (;;) {
    const DWORD n = GetFinalPathNameByHandleW(h, buffer.data(), static_cast<DWORD>(buffer.size()),
                                              FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (n == 0) {
      const DWORD error = GetLastError();
      return pathFromVolume(fd, h, out) || (failWith(error), false);
    }
    if (n < buffer.size()) {
      out.assign(buffer.data(), n);
      out = withPrefix(out);
      return true;
    }
    buffer.resize(n + 1);
  }
}

bool resolveAt(int dirFd, const char* path, std::wstring& out) {
  if (path == nullptr) return failErrno(EFAULT), false;
  const std::wstring wide = widen(path);
  if (wide.empty()) return failErrno(ENOENT), false;
  // A name longer than the file systems take (255 UTF-16 units) is too long, as on POSIX; Windows
  // itself reports it as a path not found.
  std::size_t nameLength = 0;
  for (const wchar_t c : wide) {
    nameLength = isSeparator(c) ? 0 : nameLength + 1;
    if (nameLength > 255) return failErrno(ENAMETOOLONG), false;
  }
  const bool absolute =
      isSeparator(wide[0]) || (wide.size() >= 3 && wide[1] == L':' && isSeparator(wide[2]));
  if (dirFd != AT_FDCWD && !absolute) {
    std::wstring folder;
    if (!pathOfFd(dirFd, folder)) return false;
    out = joinNormalized(std::move(folder), wide);
    return true;
  }
  if (wide.compare(0, 4, L"\\\\?\\") == 0) {
    out = wide;
    return true;
  }
  std::vector<wchar_t> buffer(MAX_PATH + 1);
  for (;;) {
    const DWORD n =
        GetFullPathNameW(wide.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
    if (n == 0) return fail(), false;
    if (n < buffer.size()) {
      out = withPrefix(std::wstring(buffer.data(), n));
      return true;
    }
    buffer.resize(n + 1);
  }
}

int adoptHandle(HANDLE handle, int openFlags, const std::wstring& path) {
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle),
                                 openFlags & (O_APPEND | O_RDONLY | O_WRONLY | O_RDWR));
  if (fd < 0) {
    CloseHandle(handle);
    return failErrno(EMFILE);
  }
  std::lock_guard guard(openedMutex);
  opened[fd] = Opened{handle, volumeOf(path)};
  return fd;
}

HANDLE openForAttributes(const std::wstring& path, bool noFollow, DWORD access) {
  return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                     nullptr, OPEN_EXISTING,
                     FILE_FLAG_BACKUP_SEMANTICS | (noFollow ? FILE_FLAG_OPEN_REPARSE_POINT : 0),
                     nullptr);
}

bool isLinkHandle(HANDLE h, DWORD attributes) {
  if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return false;
  FILE_ATTRIBUTE_TAG_INFO tag{};
  if (!GetFileInformationByHandleEx(h, FileAttributeTagInfo, &tag, sizeof tag)) return true;
  return isLinkTag(tag.FileAttributes, tag.ReparseTag);
}

namespace {
constexpr std::int64_t kEpochDifference = 116444736000000000LL;  // 1601 to 1970 in 100 ns
}  // namespace

struct timespec timespecOf(const FILETIME& t) {
  const std::int64_t ticks =
      static_cast<std::int64_t>((static_cast<std::uint64_t>(t.dwHighDateTime) << 32) |
                                t.dwLowDateTime) -
      kEpochDifference;
  std::int64_t sec = ticks / 10000000, rest = ticks % 10000000;
  if (rest < 0) {
    rest += 10000000;
    --sec;
  }
  struct timespec out {};
  out.tv_sec = static_cast<time_t>(sec);
  out.tv_nsec = static_cast<long>(rest * 100);
  return out;
}

FILETIME fileTimeOf(const struct timespec& t) {
  const auto ticks = static_cast<std::uint64_t>(static_cast<std::int64_t>(t.tv_sec) * 10000000 +
                                                t.tv_nsec / 100 + kEpochDifference);
  FILETIME out;
  out.dwLowDateTime = static_cast<DWORD>(ticks);
  out.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
  return out;
}

// ---- flock. A folder handle takes no byte-range lock, so the lock is a named event made from the
// folder's volume serial and file index: one per folder for the whole machine session, whoever
// opened it and by whatever name; Windows closes it when the process ends. ----------------------

namespace {

struct LockEntry {
  HANDLE handle;      // the descriptor's handle when it was locked
  std::wstring name;  // the event's name: which folder is locked
  HANDLE event;
};
std::mutex lockMutex;
std::map<int, LockEntry> locks;

// Drops the locks of descriptors closed since: their number no longer holds the same handle.
void dropClosedLocks() {
  for (auto it = locks.begin(); it != locks.end();) {
    if (reinterpret_cast<HANDLE>(_get_osfhandle(it->first)) != it->second.handle) {
      CloseHandle(it->second.event);
      it = locks.erase(it);
    } else {
      ++it;
    }
  }
}

}  // namespace

int lockFolder(int fd, bool exclusive, bool wait) {
  (void)exclusive;  // a shared lock is never asked for: every lock is exclusive
  const HANDLE h = handleOf(fd);
  if (h == INVALID_HANDLE_VALUE) return -1;
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(h, &info)) return fail();
  const std::wstring name =
      L"Local\\pitkit-flock-" + std::to_wstring(info.dwVolumeSerialNumber) + L"-" +
      std::to_wstring((static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow);
  std::lock_guard guard(lockMutex);
  dropClosedLocks();
  if (const auto it = locks.find(fd); it != locks.end()) {
    if (it->second.name == name) return 0;  // already held through this descriptor
    CloseHandle(it->second.event);          // the number now stands for another folder
    locks.erase(it);
  }
  for (;;) {
    const HANDLE event = CreateEventW(nullptr, TRUE, FALSE, name.c_str());
    if (event == nullptr) return fail();
    if (GetLastError() != ERROR_ALREADY_EXISTS) {
      locks[fd] = LockEntry{h, name, event};
      return 0;
    }
    CloseHandle(event);
    if (!wait) return failErrno(EWOULDBLOCK);
    Sleep(50);
  }
}

int unlockFolder(int fd) {
  std::lock_guard guard(lockMutex);
  dropClosedLocks();
  if (const auto it = locks.find(fd); it != locks.end()) {
    CloseHandle(it->second.event);
    locks.erase(it);
  }
  return 0;
}

}  // namespace pitkit::win32
