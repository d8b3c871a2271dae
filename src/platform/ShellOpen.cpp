#include "platform/ShellOpen.h"

#include <QApplication>
#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

#include "platform/ErrorBox.h"
#include "platform/Errors.h"
#include "platform/Paths.h"

namespace pitkit {

namespace {
ShellOpenHook& hook() {
  static ShellOpenHook instance;
  return instance;
}

// The file `fileName` names, relative to `workingFolder` unless it is absolute.
std::string openedPath(const std::string& fileName, const std::string& workingFolder) {
  if (!fileName.empty() && !isAbsolutePath(fileName) && !workingFolder.empty())
    return includeTrailingDelim(workingFolder) + fileName;
  return fileName;
}
}  // namespace

void setShellOpenHook(ShellOpenHook newHook) { hook() = std::move(newHook); }

std::string shellOpenUrl(const std::string& fileName, const std::string& workingFolder) {
  const std::string path = openedPath(fileName, workingFolder);
  // Percent-encoded from the path's bytes, so a name that is not UTF-8 still names its file.
  const QByteArray encoded = QByteArray::fromStdString(path).toPercentEncoding(QByteArrayLiteral("/"));
  return "file://" + (encoded.startsWith('/') ? encoded : "/" + encoded).toStdString();
}

std::string noProgramCouldOpen(const std::string& fileName, const std::string& workingFolder) {
  const std::string path = openedPath(fileName, workingFolder);
  return "No program could open " + path;
}

void shellOpen(const std::string& fileName, const std::string& workingFolder) {
  if (hook()) {
    hook()(fileName, workingFolder);
    return;
  }
  const std::string failure = noProgramCouldOpen(fileName, workingFolder);
#ifdef _WIN32
  // The shell opens the file with its associated program at once, and says when none can.
  const QString path = QString::fromStdString(openedPath(fileName, workingFolder));
  if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path))) throw Exception(failure);
#else
  const QString url = QString::fromStdString(shellOpenUrl(fileName, workingFolder));
  const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
  if (opener.isEmpty()) {
    // Without the desktop's opener Qt may still have another way (a portal); without any, say so.
    if (!QDesktopServices::openUrl(QUrl::fromEncoded(url.toLatin1()))) throw Exception(failure);
    return;
  }
  // The opener says only when it ends whether a program took the file (none for this kind of
  // file, none installed): its answer is awaited without holding the window.
  auto* process = new QProcess(qApp);
  const auto report = [process, failure] {
    showErrorBox(QApplication::activeWindow(), QString::fromStdString(failure));
    process->deleteLater();
  };
  QObject::connect(process, &QProcess::finished, process, [process, report](int exitCode, QProcess::ExitStatus status) {
    if (exitCode != 0 || status != QProcess::NormalExit) return report();
    process->deleteLater();
  });
  QObject::connect(process, &QProcess::errorOccurred, process, [report](QProcess::ProcessError error) {
    if (error == QProcess::FailedToStart) report();
  });
  process->start(opener, {url});
#endif
}

}  // namespace pitkit
