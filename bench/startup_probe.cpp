// Start-up probe: launches a program on the current X display and measures the time from launch
// until its window named TITLE is mapped (shown), and the program's peak memory (VmHWM) once it is
// shown and has settled. Prints "startup_ms=<ms> peak_kib=<KiB>" and ends the program.
// Usage: startup_probe TITLE PROGRAM [ARGS...]
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

namespace {

long peakKib(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  return -1;
}

bool isNamed(Display* display, Window window, const char* title) {
  char* name = nullptr;
  if (XFetchName(display, window, &name) == 0 || name == nullptr) return false;
  const bool same = std::strcmp(name, title) == 0;
  XFree(name);
  return same;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: startup_probe TITLE PROGRAM [ARGS...]\n");
    return 2;
  }
  const char* title = argv[1];
  // A display that was started a moment ago may take a little while to accept clients.
  Display* display = nullptr;
  for (int attempt = 0; attempt < 50 && display == nullptr; ++attempt) {
    display = XOpenDisplay(nullptr);
    if (display == nullptr) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  if (display == nullptr) {
    std::fprintf(stderr, "startup_probe: cannot open the X display\n");
    return 2;
  }
  // Top-level windows are children of the root window; without a window manager their mapping
  // is reported to whoever watches the root's substructure.
  XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
  XSync(display, False);

  const auto launched = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child == 0) {
    execv(argv[2], argv + 2);
    std::perror("startup_probe: exec");
    _exit(127);
  }

  double startupMs = -1;
  const int fd = ConnectionNumber(display);
  while (startupMs < 0) {
    if (XPending(display) == 0) {
      fd_set set;
      FD_ZERO(&set);
      FD_SET(fd, &set);
      timeval timeout{30, 0};
      if (select(fd + 1, &set, nullptr, nullptr, &timeout) <= 0) break;
      continue;
    }
    XEvent event;
    XNextEvent(display, &event);
    if (event.type == MapNotify && isNamed(display, event.xmap.window, title))
      startupMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - launched).count();
  }

  long peak = -1;
  if (startupMs >= 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(500));  // first paint and idle
    peak = peakKib(child);
  }
  kill(child, SIGTERM);
  waitpid(child, nullptr, 0);
  XCloseDisplay(display);
  if (startupMs < 0) {
    std::fprintf(stderr, "startup_probe: no window named \"%s\" appeared\n", title);
    return 1;
  }
  std::printf("startup_ms=%.1f peak_kib=%ld\n", startupMs, peak);
  return 0;
}
