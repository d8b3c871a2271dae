// Times Go on the "Level Organizer" page of the real window (offscreen) against the two bare
// searches over the same folders, and prints the ratio.
// Usage: organizers_go_bench GAME_FOLDER [RUNS]
#include <QApplication>
#include <QElapsedTimer>
#include <QTreeWidget>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/FileSystem.h"
#include "search/FindFile.h"
#include "shell/Unit1.h"

namespace {

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// Both searches as Go runs them, with handlers that only count what they are given.
double bareSearches(const std::string& game, int& found) {
  pitkit::TFindFile installed;
  pitkit::TFindFile uninstalled;
  found = 0;
  for (pitkit::TFindFile* search : {&installed, &uninstalled}) {
    search->setFilename("*.inf");
    search->setContaining("Torvane .INF file structure");
    search->OnFound = [&found](pitkit::TFindFile*, const std::string&, pitkit::TSearchRec&) { ++found; };
  }
  installed.setLocation(game + "/levels/");
  uninstalled.setLocation(game + "/un_levels/");
  QElapsedTimer clock;
  clock.start();
  installed.Execute();
  uninstalled.Execute();
  return static_cast<double>(clock.nsecsElapsed()) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: organizers_go_bench GAME_FOLDER [RUNS]\n");
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const std::string game = argv[1];
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 7;
  if (!pitkit::setCurrentDir(game)) {
    std::fprintf(stderr, "cannot open %s\n", game.c_str());
    return 1;
  }
  pitkit::TForm1 form;
  form.ui.PageControl1->setCurrentWidget(form.ui.TabSheet2);
  form.show();
  QApplication::processEvents();

  std::vector<double> window, bare;
  int found = 0;
  // One warm-up of each so both read from a warm cache; then interleaved runs.
  bareSearches(game, found);
  form.FindButtonClick();
  for (int i = 0; i < runs; ++i) {
    bare.push_back(bareSearches(game, found));
    QElapsedTimer clock;
    clock.start();
    form.FindButtonClick();
    window.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
  }
  const int installed = form.levelOrganizerUi.FoundFiles->topLevelItemCount();
  const int uninstalled = form.levelOrganizerUi.FoundFiles2->topLevelItemCount();
  const double w = median(window), b = median(bare);
  std::printf("Go listed %d installed and %d uninstalled levels (%d marked info files found by the bare searches)\n",
              installed, uninstalled, found);
  std::printf("Go in the window: %.1f ms, two bare searches: %.1f ms (medians of %d runs)\n", w, b, runs);
  std::printf("ratio Go / bare searches: %.2f x (target <= 1.3 x)\n", w / b);
  return 0;
}
