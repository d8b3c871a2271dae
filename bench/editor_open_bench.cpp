// Times opening the info-file editor (load, show, first paint, offscreen) on a 1 MiB file that is
// one single line against a 1 MiB file of 100-character lines, and prints the ratio. A third row
// times the largest text the editor takes: one 8 MiB line without a blank to wrap at.
// Usage: editor_open_bench WORK_FOLDER [RUNS]
#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "renamer/Unit3.h"
#include "renamer/InfoText.h"

namespace {

// Text-like bytes: words of letters with blanks between them, a CR LF after every `lineLength`
// characters (none when 0).
std::string makeText(std::size_t size, std::size_t lineLength, bool blanks) {
  std::string text;
  text.reserve(size);
  for (std::size_t i = 0; text.size() < size; ++i) {
    if (lineLength != 0 && text.size() % (lineLength + 2) == lineLength) {
      text += "\r\n";
      continue;
    }
    text += blanks && i % 7 == 6 ? ' ' : static_cast<char>('a' + i % 26);
  }
  text.resize(size);
  return text;
}

std::string writeText(const std::string& folder, const char* name, const std::string& text) {
  const std::string path = folder + "/" + name;
  std::ofstream(path, std::ios::binary) << text;
  return path;
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// One open as the user sees it: the file loaded into the editor and the editor painted.
double openMs(pitkit::TForm3& editor, const std::string& path) {
  QElapsedTimer clock;
  clock.start();
  editor.loadFile(path);
  editor.show();
  editor.repaint();
  QApplication::processEvents();
  const double ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
  editor.hide();
  return ms;
}

double medianOpenMs(pitkit::TForm3& editor, const std::string& path, int runs) {
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) times.push_back(openMs(editor, path));
  return median(times);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: editor_open_bench WORK_FOLDER [RUNS]\n");
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const std::string folder = argv[1];
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  constexpr std::size_t kMiB = 1024 * 1024;
  const std::string oneLine = writeText(folder, "one-line.inf", makeText(kMiB, 0, true));
  const std::string lines = writeText(folder, "lines.inf", makeText(kMiB, 100, true));
  const std::string largest =
      writeText(folder, "largest.inf", makeText(pitkit::kEditorTextCapacity, 0, false));

  pitkit::TForm3 editor(nullptr);
  openMs(editor, lines);  // warm-up: fonts and the window's first showing
  const double single = medianOpenMs(editor, oneLine, runs);
  const double many = medianOpenMs(editor, lines, runs);
  const double biggest = medianOpenMs(editor, largest, std::max(1, runs / 2));
  std::printf("open 1 MiB as one line: %.1f ms, 1 MiB of 100-character lines: %.1f ms (medians of %d runs)\n",
              single, many, runs);
  std::printf("ratio one line / lines: %.2f x\n", single / many);
  std::printf("open 8 MiB as one line without blanks: %.1f ms (target well under 1000 ms)\n", biggest);
  return 0;
}
