#include "support/DeepTree.h"

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <cstring>
#include <exception>
#include <fstream>
#include <stdexcept>

#include "support/TempDir.h"

namespace pitkit::test {

namespace {

int openFolderAt(int at, const char* name) { return ::openat(at, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC); }

}  // namespace

bool makeDeepChain(const std::string& top, int depth, const std::string& bottomFile) {
  makeDirs(top);
  int fd = openFolderAt(AT_FDCWD, top.c_str());
  for (int i = 0; i < depth && fd >= 0; ++i) {
    const int next = ::mkdirat(fd, "d", 0755) == 0 ? openFolderAt(fd, "d") : -1;
    ::close(fd);
    fd = next;
  }
  if (fd < 0) return false;
  bool ok = true;
  if (!bottomFile.empty()) {
    const int file = ::openat(fd, bottomFile.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    ok = file >= 0 && ::write(file, "bottom", 6) == 6;
    if (file >= 0) ::close(file);
  }
  ::close(fd);
  return ok;
}

int removeDeepChain(const std::string& top, const std::string& bottomFile) {
  int fd = openFolderAt(AT_FDCWD, top.c_str());
  int depth = 0;
  for (int next; fd >= 0 && (next = openFolderAt(fd, "d")) >= 0; ++depth) {
    ::close(fd);
    fd = next;
  }
  if (fd < 0) return depth;
  if (!bottomFile.empty()) ::unlinkat(fd, bottomFile.c_str(), 0);
  for (int i = 0; i < depth; ++i) {
    const int up = openFolderAt(fd, "..");
    ::close(fd);
    fd = up;
    ::unlinkat(fd, "d", AT_REMOVEDIR);
  }
  ::close(fd);
  return depth;
}

long peakMemoryKiB() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  return -1;
}

void resetPeakMemory() { std::ofstream("/proc/self/clear_refs") << "5"; }

namespace {

struct SmallStackRun {
  const std::function<void()>& work;
  std::exception_ptr failure;
};

void* runSmallStack(void* arg) {
  auto* run = static_cast<SmallStackRun*>(arg);
  try {
    run->work();
  } catch (...) {
    run->failure = std::current_exception();
  }
  return nullptr;
}

}  // namespace

void onSmallStack(const std::function<void()>& work, std::size_t stackBytes) {
  SmallStackRun run{work, nullptr};
  pthread_attr_t attr;
  ::pthread_attr_init(&attr);
  pthread_t thread;
  int made = ::pthread_attr_setstacksize(&attr, stackBytes);
  if (made == 0) made = ::pthread_create(&thread, &attr, runSmallStack, &run);
  ::pthread_attr_destroy(&attr);
  if (made != 0) throw std::runtime_error(std::string("no thread with a small stack: ") + std::strerror(made));
  ::pthread_join(thread, nullptr);
  if (run.failure) std::rethrow_exception(run.failure);
}

}  // namespace pitkit::test
