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

void shellOpen(const std::string& fileName, const std::string& workingFolder) {
  if (hook()) {
    hook()(fileName, workingFolder);
    return;
  }
  std::string path = fileName;
  if (!path.empty() && path.front() != PathDelim && !workingFolder.empty())
    path = includeTrailingDelim(workingFolder) + path;
  (void)QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
}

}  // namespace pitkit
