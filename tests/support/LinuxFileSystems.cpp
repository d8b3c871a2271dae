#include "support/LinuxFileSystems.h"

#include "platform/Posix.h"
#include "platform/Trash.h"

#ifndef _WIN32
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>

#include <csignal>
#include <cstring>
#include <fstream>
#endif

#include <filesystem>

namespace pitkit::test {

#ifndef _WIN32

const unsigned long kBindMount = MS_BIND;

Mounted::Mounted(const char* source, const std::string& target, const char* type, unsigned long flags,
                 const char* options)
    : at(target), ok(::mount(source, target.c_str(), type, flags, options) == 0) {}
Mounted::~Mounted() {
  if (ok) ::umount2(at.c_str(), MNT_DETACH);
}

bool setFileFlags(int fd, int flags, bool set) {
  int now = 0;
  if (::ioctl(fd, FS_IOC_GETFLAGS, &now) != 0) return false;
  now = set ? now | flags : now & ~flags;
  return ::ioctl(fd, FS_IOC_SETFLAGS, &now) == 0;
}

bool setXattr(const std::string& path, const char* name, const std::string& value) {
  return ::setxattr(path.c_str(), name, value.data(), value.size(), 0) == 0;
}
std::string xattrOf(const std::string& path, const char* name) {
  char value[256];
  const ssize_t n = ::getxattr(path.c_str(), name, value, sizeof value);
  return n < 0 ? std::string() : std::string(value, static_cast<std::size_t>(n));
}

bool changeOwner(const std::string& path, unsigned uid) { return ::lchown(path.c_str(), uid, uid) == 0; }

std::string trashRecordOf(const std::string& path) { return trashInfoPath(path); }

int makeUnixSocket(const std::string& path) {
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  if (path.size() >= sizeof addr.sun_path) return -1;
  std::strcpy(addr.sun_path, path.c_str());
  const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
  if (s < 0) return -1;
  if (::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    ::close(s);
    return -1;
  }
  return s;
}
void closeSocket(int fd) {
  if (fd >= 0) ::close(fd);
}

std::string descriptorPath(int fd) {
  std::error_code ec;
  return std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(fd), ec).string();
}
long residentPages() {
  long pages = 0;
  std::ifstream("/proc/self/statm") >> pages;
  return pages;
}
long pageSize() { return ::sysconf(_SC_PAGESIZE); }
long maxResidentKiB() {
  struct rusage usage {};
  return ::getrusage(RUSAGE_SELF, &usage) == 0 ? usage.ru_maxrss : -1;
}
bool limitAddressSpace(unsigned long long bytes) {
  const struct rlimit space {bytes, bytes};
  return ::setrlimit(RLIMIT_AS, &space) == 0;
}
void alarmAfter(unsigned seconds) { ::alarm(seconds); }

int crashAtFileSize(long long bytes, const std::function<void()>& work, bool* killedByLimit) {
  *killedByLimit = false;
  const pid_t child = ::fork();
  if (child < 0) return -1;
  if (child == 0) {
    const struct rlimit noCore {0, 0}, small {static_cast<rlim_t>(bytes), static_cast<rlim_t>(bytes)};
    ::setrlimit(RLIMIT_CORE, &noCore);
    ::signal(SIGXFSZ, SIG_DFL);
    ::setrlimit(RLIMIT_FSIZE, &small);
    try {
      work();
    } catch (...) {
    }
    ::_exit(0);
  }
  int status = 0;
  if (::waitpid(child, &status, 0) != child) return -1;
  *killedByLimit = WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ;
  return child;
}

WaitingChild::WaitingChild(const std::function<char()>& work) {
  int ready[2];
  if (::pipe(ready) != 0) return;
  pid_ = ::fork();
  if (pid_ == 0) {
    const char verdict = work();
    if (::write(ready[1], &verdict, 1) == 1) ::pause();
    ::_exit(2);
  }
  if (pid_ > 0 && ::read(ready[0], &verdict_, 1) != 1) verdict_ = 0;
  ::close(ready[0]);
  ::close(ready[1]);
}
void WaitingChild::end() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGKILL);
  ::waitpid(pid_, nullptr, 0);
  pid_ = -1;
}
WaitingChild::~WaitingChild() { end(); }

#else  // Windows has none of these; each says so.

const unsigned long kBindMount = 0;

Mounted::Mounted(const char*, const std::string& target, const char*, unsigned long, const char*) : at(target) {}
Mounted::~Mounted() = default;
bool setFileFlags(int, int, bool) { return false; }
bool setXattr(const std::string&, const char*, const std::string&) { return false; }
std::string xattrOf(const std::string&, const char*) { return {}; }
bool changeOwner(const std::string&, unsigned) { return false; }
std::string trashRecordOf(const std::string&) { return {}; }
int makeUnixSocket(const std::string&) { return -1; }
void closeSocket(int) {}
std::string descriptorPath(int) { return {}; }
long residentPages() { return 0; }
long pageSize() { return 0; }
long maxResidentKiB() { return -1; }
bool limitAddressSpace(unsigned long long) { return false; }
void alarmAfter(unsigned) {}
int crashAtFileSize(long long, const std::function<void()>&, bool* killedByLimit) {
  *killedByLimit = false;
  return -1;
}
WaitingChild::WaitingChild(const std::function<char()>&) {}
void WaitingChild::end() {}
WaitingChild::~WaitingChild() = default;

#endif

}  // namespace pitkit::test
