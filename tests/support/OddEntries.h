#pragma once
// The unusual entries some tests put where a file is expected (symbolic links, FIFOs, Unix
// sockets, a tmpfs mounted on a folder) and the system's null device. Where the system cannot
// make one (Windows, or a mount without root) the maker says so by its result, and the case that
// needs it skips with PITKIT_LINUX_ONLY.
#include <cstdint>
#include <string>

namespace pitkit::test {

// A symbolic link at `path` to `target` (kept as written); false when it cannot be made.
bool makeSymlink(const std::string& target, const std::string& path);
// A FIFO at `path`; false when it cannot be made.
bool makeFifo(const std::string& path, unsigned mode = 0644);

// A Unix stream socket bound at a path, closed (its entry left) at the end.
class BoundSocket {
 public:
  explicit BoundSocket(const std::string& path);
  ~BoundSocket();
  BoundSocket(const BoundSocket&) = delete;
  BoundSocket& operator=(const BoundSocket&) = delete;
  // Whether the socket exists at the path.
  bool made() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

// Two connected Unix stream sockets; false (and both -1) when this system has none.
bool makeSocketPair(int ends[2]);

// Two connected ends of the system's local channel, as localPeerIsThisUser takes them: a Unix
// socket pair's descriptors on Linux, a named pipe's server and client handles on Windows.
bool makeLocalChannel(std::intptr_t ends[2]);
void closeLocalChannelEnd(std::intptr_t end);
// An anonymous pipe's two descriptors.
bool makePipe(int ends[2]);
// A descriptor as localPeerIsThisUser takes it (on Windows, its handle).
std::intptr_t channelHandleOf(int fd);

// A tmpfs mounted on `folder` (root alone may mount), detached at the end; made() tells.
class TmpfsMount {
 public:
  explicit TmpfsMount(const std::string& folder, const std::string& options = "");
  ~TmpfsMount();
  TmpfsMount(const TmpfsMount&) = delete;
  TmpfsMount& operator=(const TmpfsMount&) = delete;
  bool made() const { return made_; }
  // Why it could not be made ("" when it was).
  const std::string& why() const { return why_; }

 private:
  std::string folder_;
  bool made_ = false;
  std::string why_;
};

// Sets the size of the file at `path` (a longer file grows sparse where the file system allows);
// false when it cannot. (Windows' own truncate takes a 32-bit length.)
bool setFileSize(const std::string& path, long long size);

// Whether `fd` is an open descriptor of this process.
bool descriptorIsOpen(int fd);

// The path of the system's null device ("/dev/null", "NUL").
const char* nullDevice();

}  // namespace pitkit::test
