#include "inventory/ItemFingerprint.h"

#include "platform/Posix.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <exception>
#include <thread>

#include "platform/Errors.h"
#include "platform/Paths.h"
#include "platform/Sha256.h"
#include "platform/TreeWalk.h"
#include "platform/UniqueFd.h"
#include "transfer/TransferProgress.h"

namespace pitkit {

namespace {

// Files are read in pieces of this size; one read takes a level's usual file whole.
constexpr std::size_t kReadBlock = 256 * 1024;
// Items hashed at once, at the most.
constexpr unsigned kMaxWorkers = 8;
constexpr int kOpenFolder = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

char asciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

std::string asciiUpper(const std::string& text) {
  std::string upper = text;
  std::transform(upper.begin(), upper.end(), upper.begin(), [](char c) { return asciiUpper(c); });
  return upper;
}

[[noreturn]] void cannotRead(int err, const std::string& path) { throw EOSError(err, "Cannot read " + path); }
[[noreturn]] void changedWhileRead(const std::string& path) {
  throw Exception("Cannot read " + path + ": it changed while it was read");
}

// The walk's visitor: collects the regular files' relative paths, enters the folders. A link (also
// one that took a folder's place since the listing) and a mount are left out; any other folder
// that cannot be entered is an error.
struct CollectFiles : TreeWalk::Visitor {
  const std::string& root;
  std::vector<std::string> files;
  explicit CollectFiles(const std::string& rootPath) : root(rootPath) {}

  void visit(TreeWalk& walk, const std::string& name, unsigned char type) override {
    if (type == DT_UNKNOWN) {
      struct stat st {};
      if (walk.fd() < 0 || ::fstatat(walk.fd(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        cannotRead(errno, root + PathDelim + walk.pathOf(name));
      type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISREG(st.st_mode) ? DT_REG : DT_LNK;
    }
    if (type == DT_REG) files.push_back(walk.pathOf(name));
    if (type != DT_DIR) return;
    const int err = walk.enter(name);
    if (err != 0 && err != ELOOP && err != ENOTDIR && err != EXDEV) cannotRead(err, root + PathDelim + walk.pathOf(name));
  }
};

// Opens the files of one item by their relative paths, each folder component without following a
// link; the folder of the last file stays open, as the files of one folder come together.
class ItemFiles {
 public:
  ItemFiles(int rootFd, const std::string& root) : rootFd_(rootFd), root_(root) {}

  UniqueFd open(const std::string& relative) {
    const std::size_t slash = relative.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : relative.substr(0, slash);
    if (folder != folderPath_ || (!folder.empty() && !folder_)) enterFolder(folder, relative);
    const int at = folder.empty() ? rootFd_ : folder_.get();
    const char* name = relative.c_str() + (slash == std::string::npos ? 0 : slash + 1);
    UniqueFd fd(::openat(at, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd) cannotRead(errno, root_ + PathDelim + relative);
    return fd;
  }

 private:
  void enterFolder(const std::string& folder, const std::string& relative) {
    folder_.reset();
    folderPath_ = folder;
    if (folder.empty()) return;
    UniqueFd at;
    std::size_t begin = 0;
    for (;;) {
      const std::size_t end = folder.find('/', begin);
      const std::string part = folder.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
      UniqueFd next(::openat(at ? at.get() : rootFd_, part.c_str(), kOpenFolder));
      if (!next) cannotRead(errno, root_ + PathDelim + relative);
      at = std::move(next);
      if (end == std::string::npos) break;
      begin = end + 1;
    }
    folder_ = std::move(at);
  }

  int rootFd_;
  const std::string& root_;
  std::string folderPath_;
  UniqueFd folder_;
};

// Hashes the file `relative` of the item into `sha`: its capitals, NUL, its size, its bytes.
void hashFile(Sha256& sha, ItemFiles& files, const std::string& root, const std::string& relative,
              std::vector<char>& buffer) {
  const UniqueFd fd = files.open(relative);
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) cannotRead(errno, root + PathDelim + relative);
  // It was a regular file when listed; anything else now is a change under the walk.
  if (!S_ISREG(st.st_mode)) changedWhileRead(root + PathDelim + relative);
  const std::string upper = asciiUpper(relative);
  sha.update(upper.data(), upper.size() + 1);  // with its NUL
  auto left = static_cast<std::uint64_t>(st.st_size);
  unsigned char size[8];
  for (int i = 0; i < 8; ++i) size[i] = static_cast<unsigned char>(left >> (8 * i));
  sha.update(size, sizeof size);
  while (left > 0) {
    const ssize_t n = ::read(fd.get(), buffer.data(), std::min<std::uint64_t>(left, buffer.size()));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) cannotRead(errno, root + PathDelim + relative);
    // Shorter than its size said: it changed while it was read.
    if (n == 0) changedWhileRead(root + PathDelim + relative);
    sha.update(buffer.data(), static_cast<std::size_t>(n));
    left -= static_cast<std::uint64_t>(n);
  }
}

// The regular files below the open folder `rootFd` (`root`), in fingerprint order; the folder
// stays open for the caller.
std::vector<std::string> filesBelow(int rootFd, const std::string& root) {
  const int walkFd = ::fcntl(rootFd, F_DUPFD_CLOEXEC, 0);
  if (walkFd < 0) cannotRead(errno, root);
  CollectFiles collect(root);
  TreeWalk walk;
  walk.run(walkFd, collect);
  std::sort(collect.files.begin(), collect.files.end(), fingerprintOrder);
  return std::move(collect.files);
}

UniqueFd openItemFolder(const std::string& root) {
  UniqueFd fd(::openat(AT_FDCWD, root.c_str(), kOpenFolder));
  if (!fd) cannotRead(errno, root);
  return fd;
}

std::string fingerprintWith(const std::string& folder, std::vector<char>& buffer, TransferProgress* progress) {
  const std::string root = excludeTrailingDelim(folder);
  const UniqueFd rootFd = openItemFolder(root);
  ItemFiles files(rootFd.get(), root);
  Sha256 sha;
  for (const std::string& relative : filesBelow(rootFd.get(), root)) {
    if (progress != nullptr && progress->cancelRequested) throw ETransferCancelled("Cancelled");
    hashFile(sha, files, root, relative, buffer);
  }
  return toHex(sha.finish());
}

}  // namespace

bool fingerprintOrder(const std::string& a, const std::string& b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const auto x = static_cast<unsigned char>(asciiUpper(a[i]));
    const auto y = static_cast<unsigned char>(asciiUpper(b[i]));
    if (x != y) return x < y;
  }
  if (a.size() != b.size()) return a.size() < b.size();
  return a < b;
}

std::vector<std::string> fingerprintFiles(const std::string& folder) {
  const std::string root = excludeTrailingDelim(folder);
  return filesBelow(openItemFolder(root).get(), root);
}

std::string itemFingerprint(const std::string& folder) {
  std::vector<char> buffer(kReadBlock);
  return fingerprintWith(folder, buffer, nullptr);
}

std::vector<std::string> itemFingerprints(const std::vector<std::string>& folders, TransferProgress* progress,
                                          unsigned threads) {
  std::vector<std::string> prints(folders.size());
  std::vector<std::exception_ptr> errors(folders.size());
  std::atomic<std::size_t> next{0};
  std::atomic<bool> failed{false};
  if (progress != nullptr) progress->totalEntries = folders.size();
  // Each worker takes the next folder until none is left or one has failed.
  const auto work = [&] {
    std::vector<char> buffer(kReadBlock);
    for (std::size_t i; !failed && (i = next++) < folders.size();) {
      try {
        if (progress != nullptr) progress->setCurrentItem(extractFileName(excludeTrailingDelim(folders[i])));
        prints[i] = fingerprintWith(folders[i], buffer, progress);
        if (progress != nullptr) ++progress->entries;
      } catch (...) {
        errors[i] = std::current_exception();
        failed = true;
      }
    }
  };
  // Reading is the rest of the work: a few workers keep the disk and the processors busy, and the
  // descriptors bounded (each worker's walk holds a FolderChain's budget at the most).
  if (threads == 0) threads = std::clamp(std::thread::hardware_concurrency(), 1U, kMaxWorkers);
  threads = static_cast<unsigned>(std::min<std::size_t>(threads, folders.size()));
  std::vector<std::jthread> workers;
  for (unsigned t = 1; t < threads; ++t) workers.emplace_back(work);
  work();
  workers.clear();
  for (const std::exception_ptr& error : errors)
    if (error) std::rethrow_exception(error);
  return prints;
}

}  // namespace pitkit
