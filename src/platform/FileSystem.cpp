#include "platform/FileSystem.h"

#include "platform/Posix.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <vector>

namespace pitkit {

namespace {
RenameCall renameCall = &::renameat2;
}  // namespace

void setRenameCall(RenameCall call) { renameCall = call != nullptr ? call : &::renameat2; }

bool directoryExists(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool fileExists(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool moveFileNoReplace(const std::string& from, const std::string& to) {
  if (from.empty() || to.empty()) {
    errno = ENOENT;
    return false;
  }
  return ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0;
}

int renameNoReplaceAt(int fromDirFd, const std::string& from, int toDirFd, const std::string& to) {
  if (renameCall(fromDirFd, from.c_str(), toDirFd, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  const int err = errno;
  if (err != EINVAL && err != ENOSYS) return err;
  struct stat st {};
  if (::fstatat(toDirFd, to.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) return EEXIST;
  return renameCall(fromDirFd, from.c_str(), toDirFd, to.c_str(), 0) == 0 ? 0 : errno;
}

int renameExchangeAt(int fromDirFd, const std::string& from, int toDirFd, const std::string& to) {
  return renameCall(fromDirFd, from.c_str(), toDirFd, to.c_str(), RENAME_EXCHANGE) == 0 ? 0 : errno;
}

bool deleteFile(const std::string& path) {
  if (path.empty()) {
    errno = ENOENT;
    return false;
  }
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
    errno = EISDIR;
    return false;
  }
  return ::unlink(path.c_str()) == 0;
}

bool createDirectory(const std::string& path) {
  if (path.empty()) {
    errno = ENOENT;
    return false;
  }
  return ::mkdir(path.c_str(), 0777) == 0;
}

std::string getCurrentDir() {
  std::vector<char> buffer(PATH_MAX);
  while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) return std::string();
    buffer.resize(buffer.size() * 2);
  }
  return std::string(buffer.data());
}

bool setCurrentDir(const std::string& path) { return !path.empty() && ::chdir(path.c_str()) == 0; }

}  // namespace pitkit
