#include "transfer/CreatedFolders.h"

#include "platform/Posix.h"

#include <cerrno>

#include "platform/Errors.h"
#include "platform/Paths.h"

namespace pitkit {

void CreatedFolders::create(const std::string& path) {
  // The missing folders, innermost first, found by going up to the first one that exists.
  std::vector<std::string> missing;
  for (std::string folder = path; !folder.empty() && folder != PathDelimStr;) {
    struct stat st {};
    if (::stat(folder.c_str(), &st) == 0) {
      if (!S_ISDIR(st.st_mode)) throw EOSError(ENOTDIR, "Cannot create " + folder);
      break;
    }
    missing.push_back(folder);
    const std::string parent = excludeTrailingDelim(extractFilePath(excludeTrailingDelim(folder)));
    if (parent == folder) break;
    folder = parent;
  }
  const std::size_t before = created_.size();
  for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
    if (::mkdir(it->c_str(), 0777) == 0) {
      created_.push_back(*it);
    } else if (errno != EEXIST) {
      // Those made by this call go again: the caller has nothing to remove them with.
      const int err = errno;
      for (std::size_t n = created_.size(); n > before; --n) ::rmdir(created_[n - 1].c_str());
      created_.resize(before);
      throw EOSError(err, "Cannot create " + *it);
    }
  }
}

void CreatedFolders::removeAll() const {
  for (auto it = created_.rbegin(); it != created_.rend(); ++it) ::rmdir(it->c_str());
}

}  // namespace pitkit
