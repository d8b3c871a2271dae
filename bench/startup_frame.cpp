// A second yardstick for the start-up benchmark: the frame every tabbed main window shows and
// nothing else (a menu bar, six empty tab pages, a status bar), with the toolkit's own font.
// Laying out its texts makes the toolkit load the font configuration before the window is shown,
// and its tab bar starts the accessibility bridge; the empty minimal window does neither.
#include <QApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QStatusBar>
#include <QTabWidget>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QMainWindow window;
  auto* pages = new QTabWidget(&window);
  for (const char* title : {"Change Directory", "Level Renamer", "Level Organizer", "Car Organizer", "Program Info",
                            "Cover Display"})
    pages->addTab(new QWidget, QString::fromLatin1(title));
  window.setCentralWidget(pages);
  window.menuBar()->addMenu(QStringLiteral("&File"));
  window.menuBar()->addMenu(QStringLiteral("&Help"));
  window.statusBar();
  window.setWindowTitle(QStringLiteral("Frame Window"));
  window.resize(708, 460);
  window.show();
  return QApplication::exec();
}
