#pragma once
// What the Win32 side of the POSIX calls shares: UTF-8 and UTF-16, paths made absolute with the
// \\?\ prefix, Win32 errors as errno values, and the state kept beside some descriptors.
#include <windows.h>

#include <string>
#include <string_view>

#include "platform/win32/Win32Posix.h"

namespace pitkit::win32 {

std::wstring widen(std::string_view utf8);
std::string narrow(std::wstring_view wide);

// The errno value for a Win32 error code.
int errnoOf(DWORD error);
// Sets errno from GetLastError() (or `error`) and returns -1.
int fail();
int failWith(DWORD error);
inline int failErrno(int e) {
  errno = e;
  return -1;
}

// The absolute, normalized path of `path` taken from the folder `dirFd` (AT_FDCWD: the working
// folder), with the \\?\ prefix. An empty `path` is ENOENT, as on POSIX. False with errno set.
bool resolveAt(int dirFd, const char* path, std::wstring& out);
// The path of an open descriptor's file or folder, with the \\?\ prefix.
bool pathOfFd(int fd, std::wstring& out);
// A \\?\ path without its prefix, as the user sees it.
std::wstring withoutPrefix(const std::wstring& path);

// The runtime's descriptor over `handle` (closes the handle on failure), or -1 with errno set.
// `path`, the \\?\ path it was opened by, gives the volume its path is found on where Windows
// cannot give the whole path of a handle (Wine, past 260 characters).
int adoptHandle(HANDLE handle, int openFlags, const std::wstring& path);
// The handle under a descriptor, or INVALID_HANDLE_VALUE with errno EBADF.
HANDLE handleOf(int fd);

// Opens `path` for its attributes only (CreateFileW with backup semantics, every sharing mode).
HANDLE openForAttributes(const std::wstring& path, bool noFollow,
                         DWORD access = FILE_READ_ATTRIBUTES);

// True when the file open as `h`, whose attributes are `attributes`, is a link: a symbolic link
// or a junction (a reparse point that names another path). Other reparse points (files kept in
// the cloud, deduplicated files) are files like any other.
bool isLinkHandle(HANDLE h, DWORD attributes);
inline bool isLinkTag(DWORD attributes, DWORD tag) {
  return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) && IsReparseTagNameSurrogate(tag);
}

// Time conversions between FILETIME and seconds and nanoseconds since 1970.
struct timespec timespecOf(const FILETIME& t);
FILETIME fileTimeOf(const struct timespec& t);

// The kernel object that stands for flock's lock on `fd`, kept until unlocked or until the
// descriptor is found closed (its handle no longer the runtime's for that number).
int lockFolder(int fd, bool exclusive, bool wait);
int unlockFolder(int fd);

}  // namespace pitkit::win32
