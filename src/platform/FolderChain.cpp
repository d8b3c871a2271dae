#include "platform/FolderChain.h"

#include "platform/Posix.h"

#include <algorithm>
#include <cerrno>

namespace pitkit {

namespace {
constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
}

FolderChain::FolderChain(std::size_t budget) : budget_(std::max<std::size_t>(budget, 2)) {}

void FolderChain::start(int fd) {
  frames_.clear();
  frames_.push_back({std::string(), UniqueFd(fd)});
  firstOpen_ = 1;
}

std::size_t FolderChain::openCount() const {
  return frames_.empty() ? 0 : 1 + (frames_.size() - std::min(firstOpen_, frames_.size()));
}

bool FolderChain::enter(const char* name) {
  const int parent = fd();
  if (parent < 0) return false;
  UniqueFd child(::openat(parent, name, kFolderFlags));
  if (!child) return false;
  frames_.push_back({name, std::move(child)});
  trim();
  return true;
}

void FolderChain::leave() {
  if (frames_.size() <= 1) return;
  const std::size_t parentIndex = frames_.size() - 2;
  Frame& parent = frames_[parentIndex];
  if (!parent.fd && frames_.back().fd) {
    // Up one step through "..", accepted only when it is the very folder the parent was: going
    // up a deep tree then costs one open a level instead of a walk down from the start.
    UniqueFd up(::openat(frames_.back().fd.get(), "..", kFolderFlags));
    struct stat st {};
    if (up && ::fstat(up.get(), &st) == 0 && st.st_dev == parent.dev && st.st_ino == parent.ino) {
      parent.fd = std::move(up);
      frames_.pop_back();
      firstOpen_ = parentIndex;
      return;
    }
  }
  frames_.pop_back();
  firstOpen_ = std::min(firstOpen_, frames_.size());
}

// Closes the shallowest open frames below the start until the budget holds; each remembers which
// folder it was, so that a reopen can tell when its name has come to mean another folder.
void FolderChain::trim() {
  while (openCount() > budget_ && firstOpen_ + 1 < frames_.size()) {
    Frame& f = frames_[firstOpen_];
    struct stat st {};
    if (::fstat(f.fd.get(), &st) == 0) {
      f.dev = st.st_dev;
      f.ino = st.st_ino;
    }
    f.fd.reset();
    ++firstOpen_;
  }
}

int FolderChain::fd() {
  if (frames_.empty()) {
    errno = EBADF;
    return -1;
  }
  Frame& current = frames_.back();
  if (current.fd) return current.fd.get();
  // Every frame from firstOpen_ on was left, so the deepest open ancestor is the start folder.
  // Walk down by name, keeping the deepest budget-1 folders of the way open.
  const std::size_t last = frames_.size() - 1;
  const std::size_t keepFrom = last + 2 > budget_ ? last + 2 - budget_ : 1;
  UniqueFd passed;  // a folder on the way that is not kept open, held until the next is open
  int at = frames_.front().fd.get();
  for (std::size_t i = 1; i <= last; ++i) {
    UniqueFd next(::openat(at, frames_[i].name.c_str(), kFolderFlags));
    int err = errno;
    passed.reset();
    struct stat st {};
    if (next && (::fstat(next.get(), &st) != 0 || st.st_dev != frames_[i].dev || st.st_ino != frames_[i].ino)) {
      next.reset();
      err = ESTALE;
    }
    if (!next) {
      for (std::size_t j = keepFrom; j < i; ++j) frames_[j].fd.reset();
      errno = err;
      return -1;
    }
    at = next.get();
    if (i >= keepFrom) {
      frames_[i].fd = std::move(next);
    } else {
      passed = std::move(next);
    }
  }
  firstOpen_ = keepFrom;
  return current.fd.get();
}

}  // namespace pitkit
