// Times Install and Uninstall's folder moves and the copy and delete under them against the
// system's tools, in one run, interleaved, and prints the ratios:
//   - MoveFolder on one file system against mv, on a level of 20,000 files;
//   - CopyFolder from the disk to another file system against cp -a, on the 20,000-file level and
//     on a level of a few big files;
//   - DeleteFolder against rm -rf, on the other file system and on the disk.
// Usage: organizers_transfer_bench DISK_FOLDER OTHER_FS_FOLDER BIG_LEVEL [RUNS]
// The 20,000-file level is written into DISK_FOLDER; BIG_LEVEL is an existing level on the disk.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "transfer/FolderTransfer.h"

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

double timed(const std::function<void()>& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return msSince(start);
}

// A level of `files` small files (100 bytes to 4 KiB) in 200 folders of two levels.
void writeManyFileLevel(const std::string& level, int files) {
  for (int i = 0; i < files; ++i) {
    const std::string folder = level + "/part" + std::to_string(i % 20) + "/set" + std::to_string(i % 200);
    if (i < 200) std::filesystem::create_directories(folder);
    std::ofstream out(folder + "/file" + std::to_string(i) + ".dat", std::ios::binary);
    out << std::string(100 + (i * 37) % 4000, static_cast<char>('a' + i % 26));
  }
}

void report(const char* what, const char* ours, const char* theirs, const std::vector<double>& a,
            const std::vector<double>& b, const char* target) {
  const double ma = median(a), mb = median(b);
  std::printf("%s: %s %.2f ms, %s %.2f ms (medians of %zu runs)\n", what, ours, ma, theirs, mb, a.size());
  std::printf("ratio %s / %s: %.2f x (target <= %s)\n", ours, theirs, ma / mb, target);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: organizers_transfer_bench DISK_FOLDER OTHER_FS_FOLDER BIG_LEVEL [RUNS]\n");
    return 2;
  }
  const std::string disk = argv[1];
  const std::string other = argv[2];
  const std::string big = argv[3];
  const int runs = argc > 4 ? std::max(1, std::atoi(argv[4])) : 5;
  struct stat a {}, b {};
  if (::stat(disk.c_str(), &a) != 0 || ::stat(other.c_str(), &b) != 0) return 2;
  if (a.st_dev == b.st_dev) std::printf("note: %s and %s are on one file system\n", disk.c_str(), other.c_str());

  const std::string many = disk + "/levels/many";
  writeManyFileLevel(many, 20000);
  std::filesystem::create_directories(disk + "/un_levels");
  const std::string moved = disk + "/un_levels/many";
  std::printf("levels: many = 20,000 files in 220 folders; big = %s\n", big.c_str());

  // Warm the cache with one copy and delete of each level.
  run({"cp", "-a", many, other + "/warm"});
  run({"rm", "-rf", other + "/warm"});
  run({"cp", "-a", big, other + "/warm"});
  run({"rm", "-rf", other + "/warm"});

  std::vector<double> moveOurs, moveMv, copyManyOurs, copyManyCp, copyBigOurs, copyBigCp, deleteOtherOurs,
      deleteOtherRm, deleteOurs, deleteRm;
  for (int i = 0; i < runs; ++i) {
    // One file system: out and back, each tool once per direction.
    moveOurs.push_back(timed([&] { pitkit::MoveFolder(many, moved); }));
    moveMv.push_back(timed([&] { run({"mv", "-T", moved, many}); }));
    moveMv.push_back(timed([&] { run({"mv", "-T", many, moved}); }));
    moveOurs.push_back(timed([&] { pitkit::MoveFolder(moved, many); }));

    copyManyOurs.push_back(timed([&] { pitkit::CopyFolder(many, other + "/ours"); }));
    copyManyCp.push_back(timed([&] { run({"cp", "-a", many, other + "/theirs"}); }));
    deleteOtherOurs.push_back(timed([&] { pitkit::DeleteFolder(other + "/ours"); }));
    deleteOtherRm.push_back(timed([&] { run({"rm", "-rf", other + "/theirs"}); }));
    copyBigOurs.push_back(timed([&] { pitkit::CopyFolder(big, other + "/ours"); }));
    copyBigCp.push_back(timed([&] { run({"cp", "-a", big, other + "/theirs"}); }));
    run({"rm", "-rf", other + "/ours", other + "/theirs"});

    run({"cp", "-a", many, disk + "/ours"});
    run({"cp", "-a", many, disk + "/theirs"});
    deleteOurs.push_back(timed([&] { pitkit::DeleteFolder(disk + "/ours"); }));
    deleteRm.push_back(timed([&] { run({"rm", "-rf", disk + "/theirs"}); }));
  }
  report("move on one disk, 20,000 files", "MoveFolder", "mv", moveOurs, moveMv, "1.2 x");
  report("copy to another file system, 20,000 files", "CopyFolder", "cp -a", copyManyOurs, copyManyCp, "1.0 x");
  report("copy to another file system, big files", "CopyFolder", "cp -a", copyBigOurs, copyBigCp, "1.0 x");
  report("delete on the other file system, 20,000 files", "DeleteFolder", "rm -rf", deleteOtherOurs, deleteOtherRm,
         "1.0 x");
  report("delete on the disk, 20,000 files", "DeleteFolder", "rm -rf", deleteOurs, deleteRm, "1.0 x");
  std::filesystem::remove_all(many);
  return 0;
}
