#pragma once
// Ends the test program with a message when a piece of work that must end quickly is still
// running after a generous time, so a test of it fails instead of hanging. Free of Qt.
#include <signal.h>
#include <unistd.h>

#include <cstring>

namespace pitkit::test {

class Watchdog {
 public:
  // `what` must outlive the watchdog (a string literal).
  Watchdog(unsigned seconds, const char* what) {
    what_ = what;
    struct sigaction action {};
    action.sa_handler = &Watchdog::bark;
    ::sigaction(SIGALRM, &action, &previous_);
    ::alarm(seconds);
  }
  ~Watchdog() {
    ::alarm(0);
    ::sigaction(SIGALRM, &previous_, nullptr);
  }
  Watchdog(const Watchdog&) = delete;
  Watchdog& operator=(const Watchdog&) = delete;

 private:
  static void bark(int) {
    static const char prefix[] = "watchdog: still running: ";
    (void)!::write(STDERR_FILENO, prefix, sizeof prefix - 1);
    (void)!::write(STDERR_FILENO, what_, std::strlen(what_));
    (void)!::write(STDERR_FILENO, "\n", 1);
    ::_exit(1);
  }
  static inline const char* what_ = "";
  struct sigaction previous_ {};
};

}  // namespace pitkit::test
