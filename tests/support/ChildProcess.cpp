#include "support/ChildProcess.h"

#include "platform/Posix.h"
#ifndef _WIN32
#include <sys/wait.h>
#endif

#include <csignal>
#include <cstring>
#include <exception>
#include <filesystem>

#ifdef _WIN32
// Windows has no fork and no other user to switch to: the cases that need a child are marked Linux
// only, and one that is not fails here rather than passing unchecked.
namespace pitkit::test {
ChildSetup withFileSizeLimit(long long bytes) { return ChildSetup{bytes, false}; }
ChildSetup asUnprivilegedUser() { return ChildSetup{-1, true}; }
std::string ChildOutcome::describe() const { return "no child on Windows"; }
std::ostream& operator<<(std::ostream& out, const ChildOutcome& outcome) { return out << outcome.describe(); }
ChildOutcome runInChild(const ChildSetup&, const std::function<std::string()>&) {
  throw std::logic_error("runInChild needs fork: mark the test Linux only");
}
std::string giveTreeTo(const std::string& root, unsigned) { return root; }
pid_t endedProcessId() { throw std::logic_error("endedProcessId needs Linux: mark the test Linux only"); }
}  // namespace pitkit::test
#else
namespace pitkit::test {

ChildSetup withFileSizeLimit(long long bytes) {
  ChildSetup setup;
  setup.fileSizeLimit = bytes;
  return setup;
}

ChildSetup asUnprivilegedUser() {
  ChildSetup setup;
  setup.unprivileged = true;
  return setup;
}

namespace {

bool prepare(const ChildSetup& setup) {
  if (setup.fileSizeLimit >= 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{static_cast<rlim_t>(setup.fileSizeLimit), static_cast<rlim_t>(setup.fileSizeLimit)};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return false;
  }
  if (setup.unprivileged && ::geteuid() == 0 && (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) return false;
  return true;
}

void writeAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n <= 0) return;
    done += static_cast<std::size_t>(n);
  }
}

[[noreturn]] void childMain(int reportFd, const ChildSetup& setup, const std::function<std::string()>& work) {
  if (!prepare(setup)) {
    writeAll(reportFd, std::string("could not prepare the child: ") + std::strerror(errno));
    ::_exit(kPreparationFailed);
  }
  int code = 0;
  try {
    const std::string report = work();
    writeAll(reportFd, report);
    code = report.empty() ? 0 : kWorkFailed;
  } catch (const std::exception& e) {
    writeAll(reportFd, std::string("unexpected exception: ") + e.what());
    code = kWorkThrew;
  } catch (...) {
    writeAll(reportFd, "unexpected exception");
    code = kWorkThrew;
  }
  // _exit: the child must not run the parent's exit handlers or flush its buffers twice.
  ::_exit(code);
}

}  // namespace

ChildOutcome runInChild(const ChildSetup& setup, const std::function<std::string()>& work) {
  ChildOutcome outcome;
  int fds[2];
  if (::pipe(fds) != 0) return outcome;
  const pid_t child = ::fork();
  if (child < 0) {
    ::close(fds[0]);
    ::close(fds[1]);
    return outcome;
  }
  if (child == 0) {
    ::close(fds[0]);
    childMain(fds[1], setup, work);
  }
  ::close(fds[1]);
  char buffer[512];
  for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) != 0;) {
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) break;
    outcome.report.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fds[0]);
  int status = 0;
  pid_t waited;
  while ((waited = ::waitpid(child, &status, 0)) < 0 && errno == EINTR) {
  }
  if (waited != child) return outcome;
  outcome.waited = true;
  outcome.exited = WIFEXITED(status);
  if (outcome.exited) outcome.exitCode = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) outcome.signal = WTERMSIG(status);
  return outcome;
}

std::string ChildOutcome::describe() const {
  if (!waited) return "the child could not be started or waited for";
  std::string out = exited ? "the child exited with " + std::to_string(exitCode)
                           : "the child was ended by signal " + std::to_string(signal);
  if (!report.empty()) out += ": " + report;
  return out;
}

std::ostream& operator<<(std::ostream& out, const ChildOutcome& outcome) { return out << outcome.describe(); }

std::string giveTreeTo(const std::string& root, unsigned uid) {
  if (::lchown(root.c_str(), uid, uid) != 0) return root;
  std::error_code ec;
  for (auto it = std::filesystem::recursive_directory_iterator(root, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
    if (::lchown(it->path().c_str(), uid, uid) != 0) return it->path().string();
  return ec ? root + ": " + ec.message() : "";
}

pid_t endedProcessId() {
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  if (child > 0) ::waitpid(child, nullptr, 0);
  return child;
}

}  // namespace pitkit::test
#endif
