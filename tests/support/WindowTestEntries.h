#pragma once
// Entries only Linux can make for the window tests (FIFOs: OddEntries.h): the socket a crashed
// program leaves behind, the Path line of a freedesktop.org trash info file. On Windows each says
// it cannot (false, ""), so a test checks `== kOnLinux` and runs the rest of its case there.
#include <string>

#ifndef _WIN32
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

#include "platform/Trash.h"
#endif

#include "support/OddEntries.h"  // makeFifo

namespace pitkit::test {

// A Unix socket bound at `path` and closed, never removed: what a program that crashed leaves.
// False on Windows, where the name is a pipe that ends with its program.
inline bool leaveStaleSocket(const std::string& path) {
#ifdef _WIN32
  (void)path;
  return false;
#else
  sockaddr_un address{AF_UNIX, {}};
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  if (fd < 0) return false;
  const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return bound;
#endif
}

// The Path line's value a trash info file holds for `path`; "" on Windows (its recycle bin).
inline std::string trashInfoPathOf(const std::string& path) {
#ifdef _WIN32
  (void)path;
  return {};
#else
  return trashInfoPath(path);
#endif
}

}  // namespace pitkit::test
