#include "transfer/PartialCopyName.h"

#include "platform/Posix.h"

#include <cerrno>
#include <random>

namespace pitkit {

namespace {
constexpr std::string_view kTempPrefix = ".pitkit-partial-copy-";
constexpr std::size_t kTempRandomLength = 10;
}  // namespace

std::string newPartialCopyName() {
  static thread_local std::mt19937_64 engine{std::random_device{}()};
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::string name(kTempPrefix);
  name += std::to_string(::getpid()) + "-";
  for (std::size_t i = 0; i < kTempRandomLength; ++i) name += kLetters[engine() % (sizeof kLetters - 1)];
  return name;
}

pid_t partialCopyOwner(std::string_view n) {
  if (n.substr(0, kTempPrefix.size()) != kTempPrefix) return 0;
  std::size_t i = kTempPrefix.size();
  long pid = 0;
  for (; i < n.size() && n[i] >= '0' && n[i] <= '9' && pid < 100000000; ++i) pid = pid * 10 + (n[i] - '0');
  if (pid <= 0 || i >= n.size() || n[i] != '-' || n.size() - i - 1 != kTempRandomLength) return 0;
  for (++i; i < n.size(); ++i)
    if (!((n[i] >= 'a' && n[i] <= 'z') || (n[i] >= '0' && n[i] <= '9'))) return 0;
  return static_cast<pid_t>(pid);
}

int lockPartialCopy(int parentFd, const std::string& name, UniqueFd& folder) {
  folder.reset(::openat(parentFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (!folder) return errno;
  int result = 0;
  if (::flock(folder.get(), LOCK_EX | LOCK_NB) != 0) {
    if (errno == EWOULDBLOCK || errno == EINTR) {
      folder.reset();
      return EWOULDBLOCK;
    }
    result = ENOLCK;  // EBADF, EINVAL, ENOLCK, EOPNOTSUPP: this file system keeps no such locks
  }
  // The name may have been given to another folder between the open and the lock.
  struct stat locked {}, named {};
  if (::fstat(folder.get(), &locked) != 0 || ::fstatat(parentFd, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0 ||
      locked.st_dev != named.st_dev || locked.st_ino != named.st_ino) {
    folder.reset();
    return ENOENT;
  }
  return result;
}

}  // namespace pitkit
