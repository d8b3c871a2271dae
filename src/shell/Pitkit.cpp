// Program start: the application object with its title, the windows, the message loop.
#include <QApplication>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/ErrorBox.h"
#include "platform/GameFinder.h"
#include "platform/QtUiThread.h"
#include "shell/AfterFirstPaint.h"
#include "shell/ArchiveOpen.h"
#include "shell/FontWarmUp.h"
#include "shell/Pictures.h"
#include "platform/Fonts.h"
#include "shell/Unit1.h"

namespace {

// pitkit --find-games: each game folder found in the compatibility prefixes on a line of its own;
// with none, where it looked (and a failure status).
int printGameFolders() {
  const pitkit::WineDrives drives = pitkit::findWineDrivesOfUser();
  const std::vector<std::string> games = pitkit::findGameFolders(drives.drives);
  for (const std::string& game : games) std::printf("%s\n", game.c_str());
  if (!games.empty()) return 0;
  std::fprintf(stderr, "No game folders found. Looked in:\n");
  for (const std::string& place : drives.places) std::fprintf(stderr, "  %s\n", place.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--find-games") == 0) return printGameFolders();
  // A write past the file-size limit fails with an error the program reports, instead of ending it.
  std::signal(SIGXFSZ, SIG_IGN);
  pitkit::FontConfigWarmUp fontWarmUp;
  // The menu bar stays in the window, as on the program's home platform. Asking the desktop
  // whether it shows the menu bar elsewhere is a message-bus round trip (and, without a session
  // bus, the start of one) before the window can be shown.
  QCoreApplication::setAttribute(Qt::AA_DontUseNativeMenuBar);
  QApplication app(argc, argv);
  // The application name is the title the task bar groups the windows under. No display name:
  // the platform would append it to every window's caption ("Help", ".INF Editor", ...).
  QApplication::setApplicationName(QString::fromUtf8(pitkit::kApplicationTitle));
  QApplication::setApplicationVersion(QStringLiteral(PITKIT_VERSION));
  // Window lists and docks find the installed menu entry, and with it the icon, by this name.
  QGuiApplication::setDesktopFileName(QStringLiteral(PITKIT_APP_ID));
  Q_INIT_RESOURCE(icons);
  // The window icon in the size the title bar and the task bar use decodes on a worker while the
  // window is built; the large one (for window switchers) is added once the window is on screen.
  std::future<QImage> icon = pitkit::decodeInBackground([] { return QImage(QStringLiteral(":/icons/pitkit-48.png")); });
  pitkit::installQtUiThread();
  // The steps above use no font: they run while the font configuration is still loading.
  fontWarmUp.wait();
  // Every window of the program, message boxes included, uses the same default font.
  pitkit::registerFontFallbacks();
  QApplication::setFont(pitkit::namedFont(QStringLiteral("MS Sans Serif"), 11));
  // The main window creates TForm2, TForm3, TForm5 and TForm6 once it is on screen.
  // Archives named on the command line (the desktop's "Open With") are taken against the start
  // folder, before the preset may change the working folder.
  const QStringList archives = pitkit::archiveArguments(QCoreApplication::arguments());
  pitkit::TForm1 form1(nullptr, pitkit::TForm1::StartUp::FirstPageFirst);
  QApplication::setWindowIcon(QIcon(QPixmap::fromImage(icon.get())));
  form1.show();
  pitkit::runAfterFirstPaint(&form1, [] {
    QIcon withLarge = QApplication::windowIcon();
    withLarge.addFile(QStringLiteral(":/icons/pitkit-256.png"), QSize(256, 256));
    QApplication::setWindowIcon(withLarge);
  });
  if (!archives.isEmpty()) QTimer::singleShot(0, &form1, [&form1, archives] { form1.openArchives(archives); });
  return QApplication::exec();
}
