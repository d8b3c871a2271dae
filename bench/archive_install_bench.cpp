// Times InstallFromArchive against bsdtar -xf of the same archive followed by sync (the install
// flushes what it writes, so the other side does too), interleaved, and prints the best of the
// runs of each and their ratio. Each run starts from a new, empty folder with the dirty pages of
// earlier runs flushed.
// Usage: archive_install_bench ARCHIVE WORK_FOLDER [RUNS]
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "archive/ArchiveInstall.h"

namespace {

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

double timedMs(const std::function<void()>& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// A new, empty folder, with everything written before it on disk. Nothing is removed between
// runs: a file system that looks for recently freed inodes would slow whichever side came after
// a removal.
std::string fresh(const std::string& folder) {
  std::filesystem::create_directories(folder);
  ::sync();
  return folder;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: archive_install_bench ARCHIVE WORK_FOLDER [RUNS]\n");
    return 2;
  }
  const std::string archive = argv[1];
  const std::string work = argv[2];
  const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;

  std::vector<double> ours, theirs;
  std::size_t installed = 0;
  const auto install = [&](int i) {
    const std::string game = work + "/game" + std::to_string(i);
    fresh(game + "/levels");
    ours.push_back(timedMs([&] {
      installed = pitkit::InstallFromArchive(archive, game, {}, pitkit::InstallPlace::Installed, pitkit::WhenTaken::Skip)
                      .installed.size();
    }));
  };
  const auto unpack = [&](int i) {
    const std::string out = fresh(work + "/bsdtar" + std::to_string(i));
    theirs.push_back(timedMs([&] {
      run({"bsdtar", "-xf", archive, "-C", out});
      run({"sync"});
    }));
  };
  // Each side goes first in every other run.
  for (int i = 0; i < runs; ++i) {
    if (i % 2 == 0) {
      install(i);
      unpack(i);
    } else {
      unpack(i);
      install(i);
    }
  }
  for (int i = 0; i < runs; ++i) {
    std::filesystem::remove_all(work + "/game" + std::to_string(i));
    std::filesystem::remove_all(work + "/bsdtar" + std::to_string(i));
  }
  const double a = *std::min_element(ours.begin(), ours.end()), b = *std::min_element(theirs.begin(), theirs.end());
  std::printf("installed %zu levels; best of %d runs: InstallFromArchive %.0f ms, bsdtar -xf + sync %.0f ms\n",
              installed, runs, a, b);
  std::printf("ratio InstallFromArchive / (bsdtar -xf + sync): %.2f x (target <= 1.2 x)\n", a / b);
  return 0;
}
