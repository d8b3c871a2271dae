#include "support/DeepTree.h"

#include "platform/Posix.h"
#ifdef _WIN32
#include <windows.h>
#include <tlhelp32.h>
#endif
#include <pthread.h>

#include <cstring>
#include <exception>
#include <fstream>
#include <stdexcept>

#include "platform/UniqueFd.h"
#include "support/TempDir.h"

namespace pitkit::test {

namespace {

UniqueFd openFolderAt(int at, const char* name) {
  return UniqueFd(::openat(at, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

}  // namespace

bool makeDeepChain(const std::string& top, int depth, const std::string& bottomFile) {
  makeDirs(top);
  UniqueFd fd = openFolderAt(AT_FDCWD, top.c_str());
  for (int i = 0; i < depth && fd; ++i)
    fd = ::mkdirat(fd.get(), "d", 0755) == 0 ? openFolderAt(fd.get(), "d") : UniqueFd();
  if (!fd || bottomFile.empty()) return fd.valid();
  const UniqueFd file(::openat(fd.get(), bottomFile.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
  return file && ::write(file.get(), "bottom", 6) == 6;
}

int removeDeepChain(const std::string& top, const std::string& bottomFile) {
  UniqueFd fd = openFolderAt(AT_FDCWD, top.c_str());
  int depth = 0;
  for (UniqueFd next; fd && (next = openFolderAt(fd.get(), "d")); ++depth) fd = std::move(next);
  if (!bottomFile.empty()) ::unlinkat(fd.get(), bottomFile.c_str(), 0);
  for (int i = 0; i < depth && fd; ++i) {
    fd = openFolderAt(fd.get(), "..");
    ::unlinkat(fd.get(), "d", AT_REMOVEDIR);
  }
  return depth;
}

#ifdef _WIN32

// Windows cannot set the peak back (the tests that measure a growth are Linux's alone).
long peakMemoryKiB() { return -1; }

void resetPeakMemory() {}

std::size_t openDescriptorCount() {
  DWORD handles = 0;
  GetProcessHandleCount(GetCurrentProcess(), &handles);
  return handles;
}

std::size_t threadCount() {
  std::size_t n = 0;
  const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return 0;
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
    n += entry.th32OwnerProcessID == GetCurrentProcessId();
  CloseHandle(snapshot);
  return n;
}

#else

long peakMemoryKiB() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  return -1;
}

void resetPeakMemory() { std::ofstream("/proc/self/clear_refs") << "5"; }

namespace {

// The entries of a folder of /proc/self, the listing's own descriptor left out.
std::size_t entriesIn(const char* folder) {
  std::size_t n = 0;
  if (DIR* d = ::opendir(folder)) {
    while (const dirent* e = ::readdir(d)) n += e->d_name[0] != '.';
    n -= std::string(folder) == "/proc/self/fd";
    ::closedir(d);
  }
  return n;
}

}  // namespace

std::size_t openDescriptorCount() { return entriesIn("/proc/self/fd"); }
std::size_t threadCount() { return entriesIn("/proc/self/task"); }

#endif

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
