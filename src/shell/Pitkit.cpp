// Program start: the command line, the application object with its title, the windows, the
// message loop.
#include <QApplication>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/ErrorBox.h"
#include "platform/GameFinder.h"
#include "platform/HostSystem.h"
#include "platform/QtUiThread.h"
#include "shell/AfterFirstPaint.h"
#include "shell/ArchiveHandOver.h"
#include "shell/ArchiveOpen.h"
#include "shell/CommandLine.h"
#include "shell/FontWarmUp.h"
#include "shell/Pictures.h"
#include "platform/Fonts.h"
#include "shell/Unit1.h"
#include "shell/CheckWindow.h"
#include "tools/GameTools.h"

namespace {

// pitkit --find-games: each game folder found in the compatibility prefixes and the Steam
// libraries on a line of its own; with none, where it looked (and a failure status).
// The finder may leave a worker blocked in a stopped mount: the program ends without waiting
// for it and without running the destructors of what it may still use.
[[noreturn]] void printGameFolders() {
  const pitkit::WineDrives drives = pitkit::findWineDrivesOfUser();
  const std::vector<std::string> games = pitkit::findGameFolders(drives.gameRoots());
  for (const std::string& game : games) std::printf("%s\n", game.c_str());
  if (games.empty()) {
    std::fprintf(stderr, "No game folders found. Looked in:\n");
    for (const std::string& place : drives.places) std::fprintf(stderr, "  %s\n", place.c_str());
  }
  const bool written = std::fflush(stdout) == 0 && std::ferror(stdout) == 0;
  std::fflush(stderr);
  std::_Exit(games.empty() || !written ? 1 : 0);
}

// A game tool's status, or 2 when its output could not be written whole (a full disk, a closed
// pipe): a list cut short must not pass for a whole one.
int endTool(int status) {
  if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
    std::fputs("pitkit: the output could not be written\n", stderr);
    return 2;
  }
  return status;
}

// The toolkit gives up on a display it cannot open with a fatal message, which aborts the
// program (and leaves a core dump). While the application object is made, that message ends the
// program with a status instead, after the toolkit's own explanation.
QtMessageHandler toolkitHandler = nullptr;
void endWithoutDisplay(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (toolkitHandler != nullptr) toolkitHandler(type, context, message);
  if (type != QtFatalMsg) return;
  std::fputs(pitkit::kNoDisplayOpened, stderr);
  std::fflush(stderr);
  std::_Exit(1);
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  switch (pitkit::commandAction(arguments)) {
    case pitkit::CommandAction::Help:
      std::fputs(pitkit::usageText().c_str(), stdout);
      return 0;
    case pitkit::CommandAction::Version:
      std::fputs(pitkit::versionText(PITKIT_VERSION).c_str(), stdout);
      return 0;
    case pitkit::CommandAction::FindGames:
      printGameFolders();
    case pitkit::CommandAction::Check:
      return endTool(pitkit::runCheckTool(pitkit::commandOperands(arguments), stdout, stderr,
                                                  pitkit::checkPictureDecoders()));
    case pitkit::CommandAction::ExportList:
      return endTool(pitkit::runExportListTool(pitkit::commandOperands(arguments), stdout, stderr));
    case pitkit::CommandAction::CompareList:
      return endTool(pitkit::runCompareListTool(pitkit::commandOperands(arguments), stdout, stderr));
    case pitkit::CommandAction::Pack:
      return endTool(pitkit::runPackTool(pitkit::commandOperands(arguments), stdout, stderr));
    case pitkit::CommandAction::Window:
      break;
  }
  if (!pitkit::displayIsImplicit() &&
      !pitkit::displayNamed(arguments, [](const char* name) { return std::getenv(name); })) {
    std::fputs(pitkit::kNoDisplayNamed, stderr);
    return 1;
  }
  // A write past the file-size limit fails with an error the program reports, instead of ending it.
  pitkit::ignoreFileSizeSignal();
  pitkit::FontConfigWarmUp fontWarmUp;
  // The menu bar stays in the window, as on the program's home platform. Asking the desktop
  // whether it shows the menu bar elsewhere is a message-bus round trip (and, without a session
  // bus, the start of one) before the window can be shown.
  QCoreApplication::setAttribute(Qt::AA_DontUseNativeMenuBar);
  toolkitHandler = qInstallMessageHandler(endWithoutDisplay);
  QApplication app(argc, argv);
  qInstallMessageHandler(toolkitHandler);
  // The toolkit has taken its own options out of the arguments; another of the program's form
  // (a mistyped --find-games) would otherwise open the window unasked.
  std::vector<std::string> left;
  for (const QString& argument : QCoreApplication::arguments().mid(1))
    left.push_back(argument.toStdString());
  if (const std::string unknown = pitkit::unknownOption(left); !unknown.empty()) {
    std::fprintf(stderr, "pitkit: unknown option %s (pitkit --help lists the options)\n",
                 unknown.c_str());
    return 2;
  }
  // Archives named on the command line (the desktop's "Open With") are taken against the start
  // folder, before the preset may change the working folder. While the program runs already, its
  // window takes them.
  const QStringList archives = pitkit::archiveArguments(QCoreApplication::arguments());
  const QString handOverName = pitkit::handOverServerName();
  if (!archives.isEmpty()) {
    QString error;
    switch (pitkit::handArchivesOver(handOverName, archives, &error)) {
      case pitkit::HandOver::Done: return 0;
      case pitkit::HandOver::Failed:
        std::fprintf(stderr, "pitkit: the archives could not be handed to the running window: %s\n",
                     qPrintable(error));
        return 1;
      case pitkit::HandOver::NoWindow: break;
    }
  }
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
  pitkit::TForm1 form1(nullptr, pitkit::TForm1::StartUp::FirstPageFirst);
  QApplication::setWindowIcon(QIcon(QPixmap::fromImage(icon.get())));
  form1.show();
  pitkit::runAfterFirstPaint(&form1, [&form1, handOverName] {
    QIcon withLarge = QApplication::windowIcon();
    withLarge.addFile(QStringLiteral(":/icons/pitkit-256.png"), QSize(256, 256));
    QApplication::setWindowIcon(withLarge);
    // From now on a later `pitkit FILE` hands its archives to this window.
    new pitkit::ArchiveHandOverServer(form1, handOverName);
  });
  if (!archives.isEmpty()) QTimer::singleShot(0, &form1, [&form1, archives] { form1.openArchives(archives); });
  return QApplication::exec();
}
