// Names in folders on Win32: making, removing, renaming and listing them.
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/WindowsPaths.h"
#include "platform/win32/Win32Path.h"

using namespace pitkit::win32;

int mkdirat(int dirFd, const char* path, mode_t) {
  std::wstring full;
  if (!resolveAt(dirFd, path, full)) return -1;
  return CreateDirectoryW(full.c_str(), nullptr) ? 0 : fail();
}

int mkdir(const char* path, mode_t mode) { return mkdirat(AT_FDCWD, path, mode); }

namespace {

// Removes a file, or with `folder` an empty folder. Windows refuses to delete what is read-only,
// POSIX does not: the attribute is cleared first, and put back when the removal still fails.
int removeEntry(const std::wstring& path, bool folder) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return fail();
  const bool isDir = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  const bool isLink = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  if (folder && !isDir) return failErrno(ENOTDIR);
  if (!folder && isDir && !isLink) return failErrno(EISDIR);
  const auto remove = [&] {
    return isDir ? RemoveDirectoryW(path.c_str()) : DeleteFileW(path.c_str());
  };
  if (remove()) return 0;
  DWORD error = GetLastError();
  if (error == ERROR_ACCESS_DENIED && (attributes & FILE_ATTRIBUTE_READONLY)) {
    DWORD writable = attributes & ~FILE_ATTRIBUTE_READONLY;
    if (SetFileAttributesW(path.c_str(), writable == 0 ? FILE_ATTRIBUTE_NORMAL : writable)) {
      if (remove()) return 0;
      error = GetLastError();
      SetFileAttributesW(path.c_str(), attributes);
    }
  }
  return failWith(error);
}

}  // namespace

// Windows holds the process's working folder open: a folder that is it, or holds it, can be
// neither renamed nor removed. POSIX allows both (the working folder follows a rename, and stays
// a removed folder), and the folder lists make the folder they show the working folder. So for
// such a call the working folder steps out to the folder's parent, and after a rename it follows
// the folder to its new place; after a failure it goes back.
namespace {
class WorkingFolderAside {
 public:
  explicit WorkingFolderAside(const std::wstring& folder) {
    const std::wstring plain = withoutPrefix(folder);
    const DWORD n = GetCurrentDirectoryW(0, nullptr);
    old_.resize(n);
    old_.resize(GetCurrentDirectoryW(n, old_.data()));
    while (old_.size() > 3 && old_.back() == L'\\') old_.pop_back();
    const std::size_t cut = plain.find_last_of(L'\\');
    if (plain.empty() || cut == std::wstring::npos || old_.size() < plain.size()) return;
    if (old_.size() > plain.size() && old_[plain.size()] != L'\\') return;
    if (CompareStringOrdinal(old_.c_str(), static_cast<int>(plain.size()), plain.c_str(),
                             static_cast<int>(plain.size()), TRUE) != CSTR_EQUAL)
      return;
    rest_ = old_.substr(plain.size());
    std::wstring parent = plain.substr(0, cut);
    if (parent.size() == 2) parent += L'\\';  // a drive's root keeps its separator
    active_ = SetCurrentDirectoryW(parent.c_str()) != 0;
  }
  ~WorkingFolderAside() {
    if (active_ && !followed_) SetCurrentDirectoryW(old_.c_str());
  }
  WorkingFolderAside(const WorkingFolderAside&) = delete;
  WorkingFolderAside& operator=(const WorkingFolderAside&) = delete;
  // The folder was renamed to `folder`: the working folder goes where it now is.
  void followTo(const std::wstring& folder) {
    if (active_) followed_ = SetCurrentDirectoryW((withoutPrefix(folder) + rest_).c_str()) != 0;
  }
  // The folder was removed: the working folder stays in its parent.
  void stayOut() { followed_ = true; }

 private:
  std::wstring old_, rest_;
  bool active_ = false, followed_ = false;
};
}  // namespace

int unlinkat(int dirFd, const char* path, int flags) {
  std::wstring full;
  if (!resolveAt(dirFd, path, full)) return -1;
  if ((flags & AT_REMOVEDIR) == 0) return removeEntry(full, false);
  WorkingFolderAside aside(full);
  const int result = removeEntry(full, true);
  if (result == 0) aside.stayOut();
  return result;
}

int pitkit_unlink(const char* path) { return unlinkat(AT_FDCWD, path, 0); }
int pitkit_rmdir(const char* path) { return unlinkat(AT_FDCWD, path, AT_REMOVEDIR); }

// A rename that changes letter case only: Windows itself does it in one step, but Wine reports
// success and keeps the old spelling. Where the entry still has it, the rename goes through a
// free name beside it (undone when the second step fails).
static int renameLetterCase(const std::wstring& source, const std::wstring& target) {
  const std::size_t slash = target.find_last_of(L'\\');
  const std::wstring name = target.substr(slash + 1);
  WIN32_FIND_DATAW found;
  const HANDLE find = FindFirstFileExW(target.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
  if (find == INVALID_HANDLE_VALUE) return fail();
  FindClose(find);
  if (name == found.cFileName) return 0;
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    const std::wstring step = target.substr(0, slash + 1) + L".pitkit-case-" +
                              std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(attempt);
    if (!MoveFileExW(target.c_str(), step.c_str(), 0)) {
      if (GetLastError() == ERROR_ALREADY_EXISTS || GetLastError() == ERROR_FILE_EXISTS) continue;
      return fail();
    }
    if (MoveFileExW(step.c_str(), target.c_str(), 0)) return 0;
    const DWORD error = GetLastError();
    MoveFileExW(step.c_str(), source.c_str(), 0);
    return failWith(error);
  }
  return failErrno(EEXIST);
}

int renameat2(int fromDirFd, const char* from, int toDirFd, const char* to, unsigned flags) {
  // No exchange in one step on Windows: EINVAL, as from a file system without it.
  if (flags & RENAME_EXCHANGE) return failErrno(EINVAL);
  std::wstring source, target;
  if (!resolveAt(fromDirFd, from, source) || !resolveAt(toDirFd, to, target)) return -1;
  const DWORD how = (flags & RENAME_NOREPLACE) ? 0 : MOVEFILE_REPLACE_EXISTING;
  const bool letterCaseOnly =
      source != target && CompareStringOrdinal(source.c_str(), static_cast<int>(source.size()), target.c_str(),
                                               static_cast<int>(target.size()), TRUE) == CSTR_EQUAL;
  WorkingFolderAside aside(source);
  if (MoveFileExW(source.c_str(), target.c_str(), how)) {
    const int result = letterCaseOnly ? renameLetterCase(source, target) : 0;
    if (result == 0) aside.followTo(target);
    return result;
  }
  const DWORD error = GetLastError();
  // A folder is never replaced by a rename on Windows; POSIX replaces only an empty one, and
  // refuses a full one: ENOTEMPTY. Only a folder replaces one: a file is refused with EISDIR.
  if (error == ERROR_ACCESS_DENIED && how != 0 &&
      (GetFileAttributesW(target.c_str()) & FILE_ATTRIBUTE_DIRECTORY) &&
      GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES) {
    const DWORD sourceAttributes = GetFileAttributesW(source.c_str());
    if (sourceAttributes != INVALID_FILE_ATTRIBUTES && !(sourceAttributes & FILE_ATTRIBUTE_DIRECTORY))
      return failErrno(EISDIR);
    if (!RemoveDirectoryW(target.c_str())) return fail();
    if (!MoveFileExW(source.c_str(), target.c_str(), 0)) return fail();
    aside.followTo(target);
    return 0;
  }
  return failWith(error);
}

int renameat(int fromDirFd, const char* from, int toDirFd, const char* to) {
  return renameat2(fromDirFd, from, toDirFd, to, 0);
}

int linkat(int fromDirFd, const char* from, int toDirFd, const char* to, int) {
  std::wstring source, target;
  if (!resolveAt(fromDirFd, from, source) || !resolveAt(toDirFd, to, target)) return -1;
  return CreateHardLinkW(target.c_str(), source.c_str(), nullptr) ? 0 : fail();
}

// Symbolic links need a privilege most Windows users lack: refused, as by a file system without.
int symlinkat(const char*, int, const char*) { return failErrno(EPERM); }

// The program makes no links on Windows, and reads none: every entry is "not a link".
ssize_t readlinkat(int dirFd, const char* path, char*, size_t) {
  std::wstring full;
  if (!resolveAt(dirFd, path, full)) return -1;
  if (GetFileAttributesW(full.c_str()) == INVALID_FILE_ATTRIBUTES) return fail();
  return failErrno(EINVAL);
}

int pitkit_chdir(const char* path) {
  std::wstring full;
  if (!resolveAt(AT_FDCWD, path, full)) return -1;
  return SetCurrentDirectoryW(withoutPrefix(full).c_str()) ? 0 : fail();
}

char* pitkit_getcwd(char* buf, size_t size) {
  const DWORD n = GetCurrentDirectoryW(0, nullptr);
  std::wstring wide(n, L'\0');
  wide.resize(GetCurrentDirectoryW(n, wide.data()));
  // The program's own form: '/' separators (Windows accepts them; the program splits on them).
  const std::string text = pitkit::windowsPathToProgram(narrow(wide));
  if (buf == nullptr) return _strdup(text.c_str());
  if (text.size() + 1 > size) return failErrno(ERANGE), nullptr;
  std::memcpy(buf, text.c_str(), text.size() + 1);
  return buf;
}

// ---- Listing: records in the kernel's layout, from FindFirstFileExW over the folder's path. ----

namespace {

struct Listing {
  HANDLE handle = INVALID_HANDLE_VALUE;  // the descriptor's handle when the listing began
  std::uint64_t id = 0;                  // and the folder's volume and index
  HANDLE find = INVALID_HANDLE_VALUE;
  WIN32_FIND_DATAW pending{};  // found, not yet handed out
  bool hasPending = false;
  bool done = false;
  ~Listing() {
    if (find != INVALID_HANDLE_VALUE) FindClose(find);
  }
};
std::mutex listingMutex;
std::map<int, std::unique_ptr<Listing>> listings;

constexpr std::size_t kNameOffset = 19;  // d_ino 8, d_off 8, d_reclen 2, d_type 1

// The find data's reserved word holds the reparse tag of a reparse point.
unsigned char typeOf(DWORD attributes, DWORD tag) {
  if (isLinkTag(attributes, tag)) return DT_LNK;
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? DT_DIR : DT_REG;
}

}  // namespace

ssize_t getdents64(int dirFd, void* buffer, size_t size) {
  const HANDLE h = handleOf(dirFd);
  if (h == INVALID_HANDLE_VALUE) return -1;
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(h, &info)) return fail();
  const std::uint64_t id = (static_cast<std::uint64_t>(info.dwVolumeSerialNumber) << 40) ^
                           (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) ^
                           info.nFileIndexLow;
  std::lock_guard guard(listingMutex);
  std::unique_ptr<Listing>& slot = listings[dirFd];
  // A new listing, or a descriptor closed before the end of its listing and its number reused.
  if (!slot || slot->handle != h || slot->id != id) {
    slot = std::make_unique<Listing>();
    slot->handle = h;
    slot->id = id;
    std::wstring folder;
    if (!pathOfFd(dirFd, folder)) {
      listings.erase(dirFd);
      return -1;
    }
    slot->find = FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &slot->pending,
                                  FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (slot->find == INVALID_HANDLE_VALUE) {
      const DWORD error = GetLastError();
      listings.erase(dirFd);
      if (error == ERROR_DIRECTORY) return failErrno(ENOTDIR);
      return error == ERROR_FILE_NOT_FOUND ? 0 : failWith(error);
    }
    slot->hasPending = true;
  }
  Listing& listing = *slot;
  auto* out = static_cast<char*>(buffer);
  std::size_t used = 0;
  while (!listing.done) {
    if (!listing.hasPending) {
      if (!FindNextFileW(listing.find, &listing.pending)) {
        listing.done = true;
        break;
      }
      listing.hasPending = true;
    }
    const std::string name = narrow(listing.pending.cFileName);
    const std::size_t length = (kNameOffset + name.size() + 1 + 7) & ~std::size_t{7};
    if (used + length > size) {
      if (used == 0) return failErrno(EINVAL);
      break;
    }
    char* record = out + used;
    std::memset(record, 0, length);
    const std::uint64_t ino = 1;
    const std::int64_t off = static_cast<std::int64_t>(used + length);
    const auto reclen = static_cast<unsigned short>(length);
    std::memcpy(record, &ino, 8);
    std::memcpy(record + 8, &off, 8);
    std::memcpy(record + 16, &reclen, 2);
    record[18] =
        static_cast<char>(typeOf(listing.pending.dwFileAttributes, listing.pending.dwReserved0));
    std::memcpy(record + kNameOffset, name.c_str(), name.size() + 1);
    used += length;
    listing.hasPending = false;
  }
  if (used == 0) listings.erase(dirFd);  // the end: a later call starts over
  return static_cast<ssize_t>(used);
}

struct pitkit_DIR {
  int fd = -1;
  std::vector<char> buffer = std::vector<char>(32768);
  std::size_t size = 0, pos = 0;
  pitkit_dirent entry{};
};

pitkit_DIR* pitkit_opendir(const char* path) {
  const int fd = openat(AT_FDCWD, path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  auto* dir = new pitkit_DIR;
  dir->fd = fd;
  return dir;
}

pitkit_dirent* pitkit_readdir(pitkit_DIR* dir) {
  if (dir->pos >= dir->size) {
    const ssize_t n = getdents64(dir->fd, dir->buffer.data(), dir->buffer.size());
    if (n <= 0) return nullptr;
    dir->size = static_cast<std::size_t>(n);
    dir->pos = 0;
  }
  const char* record = dir->buffer.data() + dir->pos;
  unsigned short reclen;
  std::memcpy(&reclen, record + 16, 2);
  dir->pos += reclen;
  dir->entry.d_ino = 1;
  dir->entry.d_type = static_cast<unsigned char>(record[18]);
  std::strncpy(dir->entry.d_name, record + kNameOffset, sizeof dir->entry.d_name - 1);
  dir->entry.d_name[sizeof dir->entry.d_name - 1] = '\0';
  return &dir->entry;
}

int pitkit_closedir(pitkit_DIR* dir) {
  const int result = _close(dir->fd);
  {
    std::lock_guard guard(listingMutex);
    listings.erase(dir->fd);
  }
  delete dir;
  return result;
}

int pitkit_dirfd(pitkit_DIR* dir) { return dir->fd; }
