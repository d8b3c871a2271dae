// Times CopyFolder against `cp -a` and DeleteFolder against `rm -rf` on one level tree, in one
// run, interleaved, and prints both ratios.
// Usage: organizers_transfer_bench LEVEL_FOLDER WORK_FOLDER [RUNS]
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "organizers/FolderTransfer.h"

namespace {

double msSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// Runs a program and waits for it; exits when it fails.
void run(std::vector<std::string> args) {
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  const pid_t child = ::fork();
  if (child == 0) {
    ::execvp(argv[0], argv.data());
    ::_exit(127);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "%s failed\n", args[0].c_str());
    std::exit(1);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: organizers_transfer_bench LEVEL_FOLDER WORK_FOLDER [RUNS]\n");
    return 2;
  }
  const std::string level = argv[1];
  const std::string work = argv[2];
  const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;
  std::vector<double> copyOurs, copyCp, deleteOurs, deleteRm;
  // Warm the cache with one copy and delete of each kind, then interleave.
  run({"cp", "-a", level, work + "/warm"});
  run({"rm", "-rf", work + "/warm"});
  for (int i = 0; i < runs; ++i) {
    auto start = std::chrono::steady_clock::now();
    pitkit::CopyFolder(level, work + "/ours");
    copyOurs.push_back(msSince(start));
    start = std::chrono::steady_clock::now();
    run({"cp", "-a", level, work + "/theirs"});
    copyCp.push_back(msSince(start));
    start = std::chrono::steady_clock::now();
    pitkit::DeleteFolder(work + "/ours");
    deleteOurs.push_back(msSince(start));
    start = std::chrono::steady_clock::now();
    run({"rm", "-rf", work + "/theirs"});
    deleteRm.push_back(msSince(start));
  }
  const double co = median(copyOurs), cc = median(copyCp), dO = median(deleteOurs), dr = median(deleteRm);
  std::printf("CopyFolder: %.1f ms, cp -a: %.1f ms (medians of %d runs)\n", co, cc, runs);
  std::printf("ratio CopyFolder / cp -a: %.2f x (target <= 1.3 x)\n", co / cc);
  std::printf("DeleteFolder: %.1f ms, rm -rf: %.1f ms (medians of %d runs)\n", dO, dr, runs);
  std::printf("ratio DeleteFolder / rm -rf: %.2f x (target <= 1.3 x)\n", dO / dr);
  return 0;
}
