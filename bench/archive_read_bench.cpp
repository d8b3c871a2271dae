// Times ReadArchiveContents (what the install dialog shows) on archives of many tiny levels
// against bsdtar -tf of the same archives, best of the runs, and prints the time per level of each
// and how the per-level time grows from the first archive to the last: about 1 when reading is
// linear in the number of levels.
// Usage: archive_read_bench RUNS ARCHIVE LEVELS [ARCHIVE LEVELS]...
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "archive/ArchiveInstall.h"

namespace {

double bestMs(int runs, const std::function<void()>& work) {
  double best = 1e300;
  for (int i = 0; i < runs; ++i) {
    const auto start = std::chrono::steady_clock::now();
    work();
    best = std::min(best, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  }
  return best;
}

// bsdtar -tf ARCHIVE, its listing thrown away.
void list(const std::string& archive) {
  std::fflush(stdout);  // the child would write out what is buffered a second time
  const pid_t child = ::fork();
  if (child == 0) {
    if (std::freopen("/dev/null", "w", stdout) == nullptr) ::_exit(126);
    ::execlp("bsdtar", "bsdtar", "-tf", archive.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "bsdtar -tf %s failed\n", archive.c_str());
    std::exit(1);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4 || argc % 2 != 0) {
    std::fprintf(stderr, "usage: archive_read_bench RUNS ARCHIVE LEVELS [ARCHIVE LEVELS]...\n");
    return 2;
  }
  const int runs = std::max(1, std::atoi(argv[1]));
  std::vector<double> perLevel;
  for (int a = 2; a + 1 < argc; a += 2) {
    const std::string archive = argv[a];
    const double levels = std::atof(argv[a + 1]);
    std::size_t items = 0;
    const double ours = bestMs(runs, [&] { items = pitkit::ReadArchiveContents(archive).items.size(); });
    const double theirs = bestMs(runs, [&] { list(archive); });
    if (static_cast<double>(items) != levels) {
      std::fprintf(stderr, "%s: read %zu levels, not %.0f\n", archive.c_str(), items, levels);
      return 1;
    }
    perLevel.push_back(ours / levels);
    std::printf("%6.0f levels: ReadArchiveContents %.0f ms (%.1f us per level), bsdtar -tf %.0f ms; ratio %.2f x\n",
                levels, ours, ours * 1000 / levels, theirs, ours / theirs);
  }
  std::printf("time per level, last archive / first: %.2f x (linear: about 1 x)\n", perLevel.back() / perLevel.front());
  return 0;
}
