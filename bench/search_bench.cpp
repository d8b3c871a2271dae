// search_bench: runs the search component over a folder the way the level organizer does (mask,
// marker text, case ignored, subfolders) and prints what it found, the wall time and the peak
// memory. bench/search.sh runs it side by side with other tools.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "search/FindFile.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: search_bench FOLDER [--mask M] [--text T] [--repeat N] [--list]\n"
                         "                    [--read-ahead WORKERS] [--read-ahead-always]\n");
    return 2;
  }
  std::string folder = argv[1], mask = "*.inf", text = "Torvane .INF file structure";
  int repeat = 1;
  long readAhead = -1;  // the component's default
  bool always = false;
  bool list = false;
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--mask" && i + 1 < argc) mask = argv[++i];
    else if (arg == "--text" && i + 1 < argc) text = argv[++i];
    else if (arg == "--repeat" && i + 1 < argc) repeat = std::max(1, std::atoi(argv[++i]));
    else if (arg == "--list") list = true;
    else if (arg == "--read-ahead-always") always = true;
    else if (arg == "--read-ahead" && i + 1 < argc) readAhead = std::atol(argv[++i]);
    else {
      std::fprintf(stderr, "search_bench: unknown argument %s\n", arg.c_str());
      return 2;
    }
  }

  pitkit::TFindFile find;
  find.setFilename(mask);
  find.setContaining(text);
  find.setLocation(folder);
  find.setReadAheadAlways(always);
  if (readAhead >= 0) find.setReadAheadWorkers(static_cast<std::size_t>(readAhead));
  long found = 0;
  find.OnFound = [&](pitkit::TFindFile*, const std::string& dir, pitkit::TSearchRec& rec) {
    ++found;
    if (list) std::printf("%s/%s\n", dir.c_str(), rec.Name.c_str());
  };
  std::vector<double> ms;
  for (int r = 0; r < repeat; ++r) {
    found = 0;
    const auto start = std::chrono::steady_clock::now();
    find.Execute();
    ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  }
  std::sort(ms.begin(), ms.end());
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  if (!list)
    std::printf("found %ld  median %.2f ms  max RSS %ld KiB\n", found, ms[ms.size() / 2], usage.ru_maxrss);
  return 0;
}
