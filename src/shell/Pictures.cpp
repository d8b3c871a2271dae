#include "shell/Pictures.h"

#include <QImageReader>
#include <system_error>

namespace pitkit {

QImage readPicture(const QString& path, QSize box) {
  QImageReader reader(path);
  reader.setScaledSize(box);
  return reader.read();
}

std::future<MainWindowPictures> decodeMainWindowPictures() {
  auto decode = [] {
    MainWindowPictures pictures;
    pictures.toolChest = readPicture(QStringLiteral(":/images/toolchest.jpg"), kToolChestBox);
    pictures.spanners = readPicture(QStringLiteral(":/images/spanners.jpg"), kSpannersBox);
    pictures.renamerLogo = readPicture(QStringLiteral(":/images/logo-banner.png"), kRenamerLogoBox);
    pictures.coverLogo = readPicture(QStringLiteral(":/images/logo-banner.png"), kCoverLogoBox);
    return pictures;
  };
  try {
    return std::async(std::launch::async, decode);
  } catch (const std::system_error&) {
    return std::async(std::launch::deferred, decode);
  }
}

}  // namespace pitkit
