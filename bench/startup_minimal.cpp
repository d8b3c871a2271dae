// The yardstick for the start-up benchmark: a minimal Qt Widgets program with one empty window.
#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QWidget window;
  window.setWindowTitle(QStringLiteral("Minimal Window"));
  window.resize(708, 460);
  window.show();
  return QApplication::exec();
}
