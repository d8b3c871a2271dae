#include "organizers/CreatedFolders.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/Errors.h"
#include "platform/Paths.h"

namespace pitkit {

void CreatedFolders::create(const std::string& path) {
  if (path.empty() || path == PathDelimStr) return;
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) {
    if (!S_ISDIR(st.st_mode)) throw EOSError(ENOTDIR, "Cannot create " + path);
    return;
  }
  const std::string parent = excludeTrailingDelim(extractFilePath(excludeTrailingDelim(path)));
  if (!parent.empty() && parent != path) create(parent);
  if (::mkdir(path.c_str(), 0777) == 0) {
    created_.push_back(path);
  } else if (errno != EEXIST) {
    throw EOSError(errno, "Cannot create " + path);
  }
}

void CreatedFolders::removeAll() const {
  for (auto it = created_.rbegin(); it != created_.rend(); ++it) ::rmdir(it->c_str());
}

}  // namespace pitkit
