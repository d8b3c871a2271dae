#pragma once
// Runs a piece of a test in a forked child whose limits or user differ from the test's own: a
// file-size limit that makes a write fail half-way, or an unprivileged user that permission bits
// stop (tests run as root). The child's verdict comes back through a pipe, its end is decoded.
// Free of Qt, so core tests use it too.
#include "platform/Posix.h"

#include <functional>
#include <ostream>
#include <string>

namespace pitkit::test {

// What the child is made before the work runs; a preparation that fails ends the child with
// kPreparationFailed.
struct ChildSetup {
  long long fileSizeLimit = -1;  // bytes; the file-size signal is ignored, so writes fail instead
  bool unprivileged = false;     // root switches to the user and group "nobody"; others stay as they are
};
ChildSetup withFileSizeLimit(long long bytes);
ChildSetup asUnprivilegedUser();

inline constexpr unsigned kNobody = 65534;

// How the child ended.
struct ChildOutcome {
  bool waited = false;  // the child was started and waited for
  bool exited = false;  // it ended by exiting (not by a signal)
  int exitCode = -1;
  int signal = 0;
  // The work's own account: empty when it saw what it expected, else what went wrong.
  std::string report;
  std::string describe() const;
};
std::ostream& operator<<(std::ostream& out, const ChildOutcome& outcome);

inline constexpr int kWorkFailed = 1;         // the work returned a report
inline constexpr int kWorkThrew = 3;          // the work let an exception out
inline constexpr int kPreparationFailed = 4;  // the limit or the user could not be set

// Runs `work` in a forked child after `setup`. The work returns "" when all was as expected, or
// what it saw instead. The child ends with 0, kWorkFailed, kWorkThrew or kPreparationFailed.
ChildOutcome runInChild(const ChildSetup& setup, const std::function<std::string()>& work);

// Makes `root` and everything below it (links themselves, never their targets) belong to `uid`
// and its group of the same number, so that a child switched to that user owns the tree. "" on
// success, else the path that could not be changed.
std::string giveTreeTo(const std::string& root, unsigned uid);

// The id of a process that has ended (no process of this id exists any more).
pid_t endedProcessId();

}  // namespace pitkit::test
