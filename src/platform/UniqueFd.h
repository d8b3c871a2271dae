#pragma once
// The one owner of an open file descriptor: whatever opens a file or folder by hand keeps the
// descriptor here, so that every way out of the code closes it exactly once.
#include "platform/Posix.h"

#include <utility>

namespace pitkit {

// Owns one file descriptor (or none, -1) and closes it on destruction; move-only.
class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  ~UniqueFd() { reset(); }
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  explicit operator bool() const { return valid(); }

  // Gives the descriptor up without closing it (to fdopen, fdopendir, a QFile, a FolderChain).
  int release() { return std::exchange(fd_, -1); }
  // Closes the descriptor held, if any, and takes `fd` instead. The result of that close is lost:
  // where it matters (after a write) call close() instead.
  void reset(int fd = -1) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }
  // Closes the descriptor now and returns close's result (0, or -1 with errno set); holds none
  // afterwards. For files written to, whose last write error close may report.
  int close() { return ::close(release()); }

 private:
  int fd_ = -1;
};

}  // namespace pitkit
