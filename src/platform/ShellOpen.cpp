#include "platform/ShellOpen.h"

#include <QDesktopServices>
#include <QUrl>

#include "platform/Paths.h"

namespace pitkit {

namespace {
ShellOpenHook& hook() {
  static ShellOpenHook instance;
  return instance;
}
}  // namespace

void setShellOpenHook(ShellOpenHook newHook) { hook() = std::move(newHook); }

std::string shellOpenUrl(const std::string& fileName, const std::string& workingFolder) {
  std::string path = fileName;
  if (!path.empty() && path.front() != PathDelim && !workingFolder.empty())
    path = includeTrailingDelim(workingFolder) + path;
  // Percent-encoded from the path's bytes, so a name that is not UTF-8 still names its file.
  const QByteArray encoded = QByteArray::fromStdString(path).toPercentEncoding(QByteArrayLiteral("/"));
  return "file://" + (encoded.startsWith('/') ? encoded : "/" + encoded).toStdString();
}

void shellOpen(const std::string& fileName, const std::string& workingFolder) {
  if (hook()) {
    hook()(fileName, workingFolder);
    return;
  }
  (void)QDesktopServices::openUrl(QUrl::fromEncoded(QByteArray::fromStdString(shellOpenUrl(fileName, workingFolder))));
}

}  // namespace pitkit
