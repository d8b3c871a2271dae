#include "support/OddEntries.h"

#include "platform/Posix.h"

namespace pitkit::test {

bool setFileSize(const std::string& path, long long size) {
  const int fd = ::openat(AT_FDCWD, path.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool done = ::ftruncate(fd, static_cast<off_t>(size)) == 0;
  return ::close(fd) == 0 && done;
}

}  // namespace pitkit::test

#ifdef _WIN32
#include <windows.h>

// Wine makes no symbolic links, FIFOs, Unix sockets or mounts: every maker says it cannot.
namespace pitkit::test {
bool makeSymlink(const std::string&, const std::string&) { return false; }
bool makeFifo(const std::string&, unsigned) { return false; }
BoundSocket::BoundSocket(const std::string&) {}
BoundSocket::~BoundSocket() = default;
bool makeSocketPair(int ends[2]) {
  ends[0] = ends[1] = -1;
  return false;
}
bool makeLocalChannel(std::intptr_t ends[2]) {
  ends[0] = ends[1] = -1;
  static int serial = 0;
  const std::wstring name = L"\\\\.\\pipe\\pitkit-test-" + std::to_wstring(::GetCurrentProcessId()) +
                            L"-" + std::to_wstring(++serial);
  const HANDLE server = ::CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE, 1, 4096,
                                           4096, 0, nullptr);
  if (server == INVALID_HANDLE_VALUE) return false;
  const HANDLE client = ::CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
  if (client == INVALID_HANDLE_VALUE) {
    ::CloseHandle(server);
    return false;
  }
  ends[0] = reinterpret_cast<std::intptr_t>(server);
  ends[1] = reinterpret_cast<std::intptr_t>(client);
  return true;
}
void closeLocalChannelEnd(std::intptr_t end) { ::CloseHandle(reinterpret_cast<HANDLE>(end)); }
bool makePipe(int ends[2]) { return ::_pipe(ends, 4096, _O_BINARY) == 0; }
std::intptr_t channelHandleOf(int fd) { return ::_get_osfhandle(fd); }
TmpfsMount::TmpfsMount(const std::string& folder, const std::string&)
    : folder_(folder), why_("no mounts on Windows") {}
TmpfsMount::~TmpfsMount() = default;
bool descriptorIsOpen(int fd) { return ::_get_osfhandle(fd) != -1; }
const char* nullDevice() { return "NUL"; }
}  // namespace pitkit::test

#else

#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <cerrno>
#include <cstring>

namespace pitkit::test {

bool makeSymlink(const std::string& target, const std::string& path) {
  return ::symlink(target.c_str(), path.c_str()) == 0;
}

bool makeFifo(const std::string& path, unsigned mode) {
  return ::mkfifo(path.c_str(), static_cast<mode_t>(mode)) == 0;
}

BoundSocket::BoundSocket(const std::string& path) {
  sockaddr_un address{};
  if (path.size() >= sizeof address.sun_path) return;
  fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd_ < 0) return;
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

BoundSocket::~BoundSocket() {
  if (fd_ >= 0) ::close(fd_);
}

bool makeSocketPair(int ends[2]) {
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) == 0) return true;
  ends[0] = ends[1] = -1;
  return false;
}

bool makeLocalChannel(std::intptr_t ends[2]) {
  int fds[2];
  ends[0] = ends[1] = -1;
  if (!makeSocketPair(fds)) return false;
  ends[0] = fds[0];
  ends[1] = fds[1];
  return true;
}
void closeLocalChannelEnd(std::intptr_t end) { ::close(static_cast<int>(end)); }
bool makePipe(int ends[2]) { return ::pipe2(ends, O_CLOEXEC) == 0; }
std::intptr_t channelHandleOf(int fd) { return fd; }

TmpfsMount::TmpfsMount(const std::string& folder, const std::string& options) : folder_(folder) {
  made_ = ::mount("pitkit-test", folder.c_str(), "tmpfs", 0,
                  options.empty() ? nullptr : options.c_str()) == 0;
  if (!made_) why_ = std::strerror(errno);
}

TmpfsMount::~TmpfsMount() {
  if (made_) ::umount2(folder_.c_str(), MNT_DETACH);
}

bool descriptorIsOpen(int fd) { return ::fcntl(fd, F_GETFD) != -1; }
const char* nullDevice() { return "/dev/null"; }

}  // namespace pitkit::test

#endif
