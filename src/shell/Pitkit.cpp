// Program start: the application object with its title, the windows, the message loop.
#include <QApplication>

#include "platform/ErrorBox.h"
#include "shell/Unit1.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QString::fromUtf8(pitkit::kApplicationTitle));
  QApplication::setApplicationDisplayName(QString::fromUtf8(pitkit::kApplicationTitle));
  pitkit::TForm1 form1;
  form1.show();
  return QApplication::exec();
}
