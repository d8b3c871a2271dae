#include "platform/FolderChain.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace pitkit {

namespace {
constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
}

FolderChain::FolderChain(std::size_t budget) : budget_(std::max<std::size_t>(budget, 2)) {}

FolderChain::~FolderChain() {
  for (Frame& f : frames_)
    if (f.fd >= 0) ::close(f.fd);
}

void FolderChain::start(int fd) {
  for (Frame& f : frames_)
    if (f.fd >= 0) ::close(f.fd);
  frames_.clear();
  frames_.push_back({std::string(), fd});
  firstOpen_ = 1;
}

std::size_t FolderChain::openCount() const {
  return frames_.empty() ? 0 : 1 + (frames_.size() - std::min(firstOpen_, frames_.size()));
}

bool FolderChain::enter(const char* name) {
  const int parent = fd();
  if (parent < 0) return false;
  const int child = ::openat(parent, name, kFolderFlags);
  if (child < 0) return false;
  frames_.push_back({name, child});
  trim();
  return true;
}

void FolderChain::leave() {
  if (frames_.size() <= 1) return;
  if (frames_.back().fd >= 0) ::close(frames_.back().fd);
  frames_.pop_back();
  firstOpen_ = std::min(firstOpen_, frames_.size());
}

// Closes the shallowest open frames below the start until the budget holds; each remembers which
// folder it was, so that a reopen can tell when its name has come to mean another folder.
void FolderChain::trim() {
  while (openCount() > budget_ && firstOpen_ + 1 < frames_.size()) {
    Frame& f = frames_[firstOpen_];
    struct stat st {};
    if (::fstat(f.fd, &st) == 0) {
      f.dev = st.st_dev;
      f.ino = st.st_ino;
    }
    ::close(f.fd);
    f.fd = -1;
    ++firstOpen_;
  }
}

int FolderChain::fd() {
  if (frames_.empty()) {
    errno = EBADF;
    return -1;
  }
  Frame& current = frames_.back();
  if (current.fd >= 0) return current.fd;
  // Every frame from firstOpen_ on was left, so the deepest open ancestor is the start folder.
  // Walk down by name, keeping the deepest budget-1 folders of the way open.
  const std::size_t last = frames_.size() - 1;
  const std::size_t keepFrom = last + 2 > budget_ ? last + 2 - budget_ : 1;
  int at = frames_.front().fd;
  for (std::size_t i = 1; i <= last; ++i) {
    int next = ::openat(at, frames_[i].name.c_str(), kFolderFlags);
    int err = errno;
    if (at != frames_.front().fd && i - 1 < keepFrom) ::close(at);
    struct stat st {};
    if (next >= 0 && (::fstat(next, &st) != 0 || st.st_dev != frames_[i].dev || st.st_ino != frames_[i].ino)) {
      ::close(next);
      next = -1;
      err = ESTALE;
    }
    if (next < 0) {
      for (std::size_t j = keepFrom; j < i; ++j) {
        ::close(frames_[j].fd);
        frames_[j].fd = -1;
      }
      errno = err;
      return -1;
    }
    if (i >= keepFrom) frames_[i].fd = next;
    at = next;
  }
  firstOpen_ = keepFrom;
  return current.fd;
}

}  // namespace pitkit
