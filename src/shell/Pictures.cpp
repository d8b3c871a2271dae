#include "shell/Pictures.h"

#include <QFile>
#include <QGuiApplication>
#include <QImageReader>

namespace pitkit {

namespace {

// The picture drawn at twice the size ("name@2x.png") where there is one and the screen is scaled.
QString sourceFor(const QString& path, qreal devicePixelRatio) {
  if (devicePixelRatio <= 1.0) return path;
  const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
  const QString doubled = path.left(dot) + QStringLiteral("@2x") + path.mid(dot);
  return QFile::exists(doubled) ? doubled : path;
}

}  // namespace

QPixmap screenPixmap(const QString& path) {
  const qreal ratio = qGuiApp != nullptr ? qGuiApp->devicePixelRatio() : 1.0;
  const QString source = sourceFor(path, ratio);
  QPixmap pixmap(source);
  if (source != path) pixmap.setDevicePixelRatio(2.0);
  return pixmap;
}

QImage readPicture(const QString& path, QSize box, qreal devicePixelRatio) {
  QImageReader reader(sourceFor(path, devicePixelRatio));
  reader.setScaledSize(box * devicePixelRatio);
  QImage image = reader.read();
  image.setDevicePixelRatio(devicePixelRatio);
  return image;
}

namespace {

// Decoded at the screen's device pixels, so that a scaled screen shows them sharp.
qreal screenRatio() { return qGuiApp != nullptr ? qGuiApp->devicePixelRatio() : 1.0; }

}  // namespace

QImage decodeRenamerLogo() {
  return readPicture(QStringLiteral(":/images/logo-banner.png"), kRenamerLogoBox, screenRatio());
}

std::future<CoverPictures> decodeCoverPictures() {
  const qreal ratio = screenRatio();
  auto decode = [ratio] {
    CoverPictures pictures;
    pictures.toolChest = readPicture(QStringLiteral(":/images/toolchest.png"), kToolChestBox, ratio);
    pictures.spanners = readPicture(QStringLiteral(":/images/spanners.png"), kSpannersBox, ratio);
    pictures.coverLogo = readPicture(QStringLiteral(":/images/logo-banner.png"), kCoverLogoBox, ratio);
    return pictures;
  };
  return decodeInBackground(decode);
}

}  // namespace pitkit
