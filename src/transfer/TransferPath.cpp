#include "transfer/TransferPath.h"

#include "platform/Posix.h"

#include <cerrno>

#include "platform/Errors.h"
#include "platform/NameCase.h"
#include "platform/Paths.h"
#include "platform/UniqueFd.h"
#include "transfer/MoveError.h"

namespace pitkit {

void checkTransferPath(const std::string& gameDirectory, const std::string& path) {
  if (path.empty()) throw Exception("No folder given to move or delete");
  const std::string target = normalizePathLexically(path);
  const std::string game = normalizePathLexically(gameDirectory);
  auto refuse = [&] { throw Exception("Refusing to copy or delete the whole folder " + path); };
  // The game directory itself, or any folder above it.
  if (target == PathDelimStr || isPathInside(game, target, LetterCase::IgnoreAscii)) refuse();
  for (const char* folder : {"levels", "un_levels", "cars", "garage"}) {
    if (sameTextAscii(target, normalizePathLexically(game + PathDelim + folder))) refuse();
  }
}

namespace {

// True when the folder the entry `destination` is made in (its parent, or the nearest of its
// parents that exists) is the folder `source` or lies inside it, by device and inode: links and
// ".." in the destination's path cannot hide it. The walk goes up through ".." to the root.
bool liesInside(const std::string& source, const std::string& destination) {
  struct stat src {};
  if (::lstat(excludeTrailingDelim(source).c_str(), &src) != 0 || !S_ISDIR(src.st_mode)) return false;
  std::string path = excludeTrailingDelim(parentFolderPath(excludeTrailingDelim(destination)));
  UniqueFd fd;
  for (int up = 0; !fd && up < 4096; ++up) {
    fd.reset(::openat(AT_FDCWD, path.empty() ? "." : path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd) break;
    if (errno != ENOENT && errno != ENOTDIR) return false;
    if (path.empty() || path == PathDelimStr || path == ".") return false;
    path = excludeTrailingDelim(parentFolderPath(path));
  }
  if (!fd) return false;
  struct stat here {};
  if (::fstat(fd.get(), &here) != 0) return false;
  for (int up = 0; up < 4096; ++up) {
    if (here.st_dev == src.st_dev && here.st_ino == src.st_ino) return true;
    UniqueFd parent(::openat(fd.get(), "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    struct stat above {};
    if (!parent || ::fstat(parent.get(), &above) != 0) return false;
    if (above.st_dev == here.st_dev && above.st_ino == here.st_ino) return false;  // the root
    fd = std::move(parent);
    here = above;
  }
  return false;
}

}  // namespace

void checkNotIntoItself(const std::string& verb, const std::string& source, const std::string& destination) {
  if (normalizePathLexically(source) == PathDelimStr || isPathInside(destination, source) ||
      liesInside(source, destination))
    throw Exception("Cannot " + verb + " " + source + " into itself");
}

std::string destinationIgnoringCase(const std::string& game, const std::string& to) {
  const std::string top = includeTrailingDelim(game);
  if (to.size() <= top.size() || to.compare(0, top.size(), top) != 0) return to;
  const std::string relative = to.substr(top.size());
  const std::string taken = takenPath(game, relative);
  // A name taken exactly is refused by the move itself.
  if (taken.empty() || taken == game + PathDelim + relative) return findIgnoringCase(game, relative);
  const std::string folder = extractFilePath(taken);
  throw EMoveError({.kind = MoveError::Kind::NameTaken,
                    .item = extractFileName(to),
                    .destination = folder.substr(0, folder.size() - 1),
                    .entry = extractFileName(taken),
                    .error = EEXIST});
}

}  // namespace pitkit
