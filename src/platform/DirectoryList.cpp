#include "platform/DirectoryList.h"

#include "platform/Posix.h"

#include <cerrno>

#include "platform/Errors.h"

namespace pitkit {

std::vector<DirectoryEntry> listDirectory(const std::string& folder) {
  DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (dir == nullptr) EInOutError::raiseFromErrno(errno);
  const int dirFd = ::dirfd(dir);
  std::vector<DirectoryEntry> entries;
  while (const dirent* d = ::readdir(dir)) {
    const std::string name = d->d_name;
    if (name == "." || name == "..") continue;
    DirectoryEntry e;
    e.name = name;
    e.isHidden = name.front() == '.';
    unsigned char type = d->d_type;
    if (type == DT_LNK) e.isSymlink = true;
    if (type == DT_UNKNOWN || type == DT_LNK) {
      struct stat st {};
      if (::fstatat(dirFd, d->d_name, &st, 0) == 0) {
        e.isDirectory = S_ISDIR(st.st_mode);
        e.isRegularFile = S_ISREG(st.st_mode);
      }
    } else {
      e.isDirectory = type == DT_DIR;
      e.isRegularFile = type == DT_REG;
    }
    entries.push_back(std::move(e));
  }
  ::closedir(dir);
  return entries;
}

}  // namespace pitkit
