#pragma once
// What only Linux lets a test make: mounts, chattr flags, extended attributes, symbolic links,
// Unix sockets, FIFOs, a look through /proc, and forked children that crash or hold a lock. On
// Windows each says it cannot (false, -1 or ""), so the case that needs it skips.
#include <functional>
#include <string>

#include "support/OddEntries.h"  // links and FIFOs

namespace pitkit::test {

// A mount made by the test (a tmpfs, or with kBindMount a folder mounted on itself), undone
// however the test ends. `ok` says whether it was made.
extern const unsigned long kBindMount;
struct Mounted {
  std::string at;
  bool ok = false;
  Mounted(const char* source, const std::string& target, const char* type, unsigned long flags,
          const char* options = nullptr);
  ~Mounted();
  Mounted(const Mounted&) = delete;
  Mounted& operator=(const Mounted&) = delete;
};

// Sets or clears chattr flags (FS_IMMUTABLE_FL, FS_APPEND_FL) through an open descriptor, so
// also after a rename; false where the file system refuses them.
bool setFileFlags(int fd, int flags, bool set);

// Extended attributes by path: set (false when refused) and read ("" when missing).
bool setXattr(const std::string& path, const char* name, const std::string& value);
std::string xattrOf(const std::string& path, const char* name);

// Makes `path` (not a link's target) belong to `uid` and its group of the same number.
bool changeOwner(const std::string& path, unsigned uid);

// The path as the freedesktop.org trash records it in an info file ("" where there is no such
// trash: Windows' recycle bin).
std::string trashRecordOf(const std::string& path);

// A Unix socket bound at `path`: its descriptor, -1 when it cannot be made. Close it with
// closeSocket.
int makeUnixSocket(const std::string& path);
void closeSocket(int fd);

// The path an open descriptor names, through /proc ("" where there is none).
std::string descriptorPath(int fd);
// The resident memory of this process in pages and the page size (0 where unknown).
long residentPages();
long pageSize();
// This process's largest resident memory so far, in KiB (-1 where unknown).
long maxResidentKiB();
// Limits this process's address space (false where it cannot).
bool limitAddressSpace(unsigned long long bytes);
// Ends this process with SIGALRM after `seconds` (does nothing where there is no such signal).
void alarmAfter(unsigned seconds);

// Runs `work` in a forked child with a file-size limit of `bytes` and no core file, the file-size
// signal at its default (so a write past the limit kills the child, as a crash would). Its process
// id, or -1 where children cannot be forked; `killedByLimit` says whether that signal ended it.
int crashAtFileSize(long long bytes, const std::function<void()>& work, bool* killedByLimit);

// A forked child that runs `work`, hands back its one-letter verdict and then waits until ended.
class WaitingChild {
 public:
  // `started` is false where children cannot be forked.
  explicit WaitingChild(const std::function<char()>& work);
  ~WaitingChild();
  WaitingChild(const WaitingChild&) = delete;
  WaitingChild& operator=(const WaitingChild&) = delete;
  bool started() const { return pid_ > 0; }
  char verdict() const { return verdict_; }
  void end();

 private:
  int pid_ = -1;
  char verdict_ = 0;
};

}  // namespace pitkit::test
