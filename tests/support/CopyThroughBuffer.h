#pragma once
// A stand-in for the kernel's in-file copy call (see setCopyRangeCall) that copies at most 64 KiB
// through a buffer per call, so that a test's own copy call can pause, count or stop a copy
// across file systems between its calls.
#include "platform/Posix.h"

#include <algorithm>
#include <cstddef>

namespace pitkit::test {

inline ssize_t copyThroughBuffer(int in, off_t* inOff, int out, off_t* outOff, std::size_t len) {
  char buffer[65536];
  const ssize_t n = ::pread(in, buffer, std::min(len, sizeof buffer), *inOff);
  if (n <= 0) return n;
  if (::pwrite(out, buffer, static_cast<std::size_t>(n), *outOff) != n) return -1;
  *inOff += n;
  *outOff += n;
  return n;
}

}  // namespace pitkit::test
