// Times the level filter in the real window (offscreen): each keystroke of a query typed into
// "LevelFilter" and erased again, on a game of SMALL and one of LARGE levels (a tenth of them
// uninstalled), against a plain case-blind substring scan of the same captions and names, and
// prints the times per keystroke and their ratios.
// Usage: filter_bench WORK_FOLDER SMALL LARGE [RUNS]
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTreeWidget>
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "game/InfoFile.h"
#include "organizers/RowFilter.h"
#include "platform/FileSystem.h"
#include "shell/Unit1.h"

namespace {

const char* const kWords[] = {"harbor", "Meadow", "quarry",  "Summit",
                              "canyon", "Dune",   "glacier", "Orchard"};

std::string levelName(int i) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%05d", i);
  return kWords[i % 8] + std::string(digits);
}

// levels/<name>/<name>.inf and un_levels/..., each with the marker and a NAME line.
void writeGame(const std::string& game, int levels) {
  namespace fs = std::filesystem;
  fs::remove_all(game);
  for (int i = 0; i < levels; ++i) {
    const std::string name = levelName(i);
    const std::string folder = game + (i % 10 == 9 ? "/un_levels/" : "/levels/") + name;
    fs::create_directories(folder);
    std::ofstream(folder + "/" + name + ".inf", std::ios::binary)
        << "; Torvane .INF file structure\r\nNAME '" << name << " Circuit Nr. " << i % 97
        << "'\r\nSKY 3\r\n";
  }
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

double msSince(const QElapsedTimer& clock) {
  return static_cast<double>(clock.nsecsElapsed()) / 1e6;
}

// A plain case-blind substring test, as a reference.
bool holdsIgnoringCase(const std::string& text, const std::string& part) {
  return std::search(text.begin(), text.end(), part.begin(), part.end(), [](char a, char b) {
           return std::tolower(static_cast<unsigned char>(a)) ==
                  std::tolower(static_cast<unsigned char>(b));
         }) != text.end();
}

void settle() {
  QCoreApplication::sendPostedEvents();
  QApplication::processEvents();
}

// One game open in its own window, its names read, ready to be typed into.
class OpenGame {
 public:
  explicit OpenGame(const std::string& game) {
    if (!pitkit::setCurrentDir(game)) {
      std::fprintf(stderr, "cannot open %s\n", game.c_str());
      std::exit(1);
    }
    form_ = std::make_unique<pitkit::TForm1>();
    auto& u = form_->levelOrganizerUi;
    form_->ui.PageControl1->setCurrentWidget(form_->ui.TabSheet2);
    form_->show();
    settle();
    form_->FindButtonClick();
    // The rows and their display names as the filter sees them, read here for the scan.
    for (QTreeWidget* list : {u.FoundFiles, u.FoundFiles2})
      for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const std::string caption = list->topLevelItem(i)->text(0).toStdString();
        const std::string top = list == u.FoundFiles ? "/levels/" : "/un_levels/";
        rows_.emplace_back(
            caption, pitkit::readLevelDisplayName(game + top + caption + "/" + caption + ".inf"));
      }
    // Every name has arrived once a query held by names only shows every row.
    u.LevelFilter->setText(QStringLiteral("circuit"));
    const QString all = QString::fromStdString(pitkit::filterCountText(rows(), rows()));
    QElapsedTimer wait;
    wait.start();
    while (u.LevelFilterCount->text() != all && wait.elapsed() < 60000) QTest::qWait(5);
    if (u.LevelFilterCount->text() != all) {
      std::fprintf(stderr, "the display names did not arrive: %s\n",
                   qPrintable(u.LevelFilterCount->text()));
      std::exit(1);
    }
    u.LevelFilter->clear();
    u.LevelFilter->setFocus();
    settle();
  }

  int rows() const { return static_cast<int>(rows_.size()); }

  // Types `query` key by key into the filter and erases it again; the time per keystroke, with
  // what the window does before the next key.
  double typeInWindow(const std::string& query) {
    QWindow* window = form_->windowHandle();
    QElapsedTimer clock;
    clock.start();
    for (char c : query) {
      QTest::keyClick(window, static_cast<Qt::Key>(std::toupper(static_cast<unsigned char>(c))),
                      Qt::NoModifier);
      settle();
    }
    for (size_t i = 0; i < query.size(); ++i) {
      QTest::keyClick(window, Qt::Key_Backspace);
      settle();
    }
    const double ms = msSince(clock) / (2.0 * query.size());
    if (!form_->levelOrganizerUi.LevelFilter->text().isEmpty()) {
      std::fprintf(stderr, "the filter box did not get the keys\n");
      std::exit(1);
    }
    return ms;
  }

  // The same texts, each tested against every row by a plain scan.
  double scan(const std::string& query) {
    QElapsedTimer clock;
    clock.start();
    long long matches = 0;
    const auto count = [&](const std::string& part) {
      for (const auto& [caption, name] : rows_)
        matches +=
            part.empty() || holdsIgnoringCase(caption, part) || holdsIgnoringCase(name, part);
    };
    for (size_t len = 1; len <= query.size(); ++len) count(query.substr(0, len));
    for (size_t len = query.size(); len-- > 0;) count(query.substr(0, len));
    // The result is used, so that the scan is not optimised away.
    volatile long long sink = matches;
    (void)sink;
    return msSince(clock) / (2.0 * query.size());
  }

 private:
  std::unique_ptr<pitkit::TForm1> form_;
  std::vector<std::pair<std::string, std::string>> rows_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: filter_bench WORK_FOLDER SMALL LARGE [RUNS]\n");
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const std::string work = argv[1];
  const int small = std::atoi(argv[2]), large = std::atoi(argv[3]);
  const int runs = argc > 4 ? std::max(1, std::atoi(argv[4])) : 5;
  writeGame(work + "/small", small);
  writeGame(work + "/large", large);
  OpenGame games[] = {OpenGame(work + "/small"), OpenGame(work + "/large")};
  // A middle row's caption, in other letter case than the rows have it.
  const std::string query = "QUARRY0" + std::to_string(games[0].rows() / 2 % 10);
  // The sizes and the two ways take turns, so that a change in the machine's load meets all four.
  std::vector<double> window[2], scanned[2];
  for (int run = 0; run < runs; ++run)
    for (int g = 0; g < 2; ++g) {
      window[g].push_back(games[g].typeInWindow(query));
      scanned[g].push_back(games[g].scan(query));
    }
  double w[2], p[2];
  for (int g = 0; g < 2; ++g) {
    w[g] = median(window[g]);
    p[g] = median(scanned[g]);
    std::printf(
        "%6d rows: %.3f ms per keystroke in the window, %.3f ms for a plain case-blind scan (ratio "
        "%.1f x)\n",
        games[g].rows(), w[g], p[g], w[g] / p[g]);
  }
  std::printf(
      "ratio %d / %d rows per keystroke: %.1f x in the window (rows: %.1f x; target <= that), %.1f "
      "x for the scan "
      "(medians of %d runs)\n",
      games[1].rows(), games[0].rows(), w[1] / w[0],
      static_cast<double>(games[1].rows()) / games[0].rows(), p[1] / p[0], runs);
  return 0;
}
