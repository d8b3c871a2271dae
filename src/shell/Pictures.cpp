#include "shell/Pictures.h"

#include <QGuiApplication>
#include <QImageReader>
#include <system_error>

namespace pitkit {

QImage readPicture(const QString& path, QSize box, qreal devicePixelRatio) {
  QImageReader reader(path);
  reader.setScaledSize(box * devicePixelRatio);
  QImage image = reader.read();
  image.setDevicePixelRatio(devicePixelRatio);
  return image;
}

std::future<MainWindowPictures> decodeMainWindowPictures() {
  // Decoded at the screen's device pixels, so that a scaled screen shows them sharp.
  const qreal ratio = qGuiApp != nullptr ? qGuiApp->devicePixelRatio() : 1.0;
  auto decode = [ratio] {
    MainWindowPictures pictures;
    pictures.toolChest = readPicture(QStringLiteral(":/images/toolchest.jpg"), kToolChestBox, ratio);
    pictures.spanners = readPicture(QStringLiteral(":/images/spanners.jpg"), kSpannersBox, ratio);
    pictures.renamerLogo = readPicture(QStringLiteral(":/images/logo-banner.png"), kRenamerLogoBox, ratio);
    pictures.coverLogo = readPicture(QStringLiteral(":/images/logo-banner.png"), kCoverLogoBox, ratio);
    return pictures;
  };
  try {
    return std::async(std::launch::async, decode);
  } catch (const std::system_error&) {
    return std::async(std::launch::deferred, decode);
  }
}

}  // namespace pitkit
