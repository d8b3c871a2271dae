#include "platform/ThemeIcon.h"

#include <QGuiApplication>
#include <QIconEngine>
#include <QPainter>
#include <cmath>
#include <optional>

namespace pitkit {
namespace {

class ThemeIconEngine : public QIconEngine {
 public:
  ThemeIconEngine(QString name, QSize logicalSize, IconPainter draw)
      : name_(std::move(name)), size_(logicalSize), draw_(std::move(draw)) {}

  void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
    resolved().paint(painter, rect, Qt::AlignCenter, mode, state);
  }
  QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    return resolved().pixmap(size, mode, state);
  }
  QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal scale) override {
    return resolved().pixmap(size, scale, mode, state);
  }
  QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    return resolved().actualSize(size, mode, state);
  }
  QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override {
    return resolved().availableSizes(mode, state);
  }
  QString iconName() override { return name_; }
  bool isNull() override { return false; }
  QString key() const override { return QStringLiteral("pitkit.themeicon"); }
  QIconEngine* clone() const override { return new ThemeIconEngine(name_, size_, draw_); }

 private:
  // Looked up again when the desktop's icon theme changes.
  const QIcon& resolved() {
    const QString themeName = QIcon::themeName();
    if (!resolved_ || themeName != themeName_) {
      themeName_ = themeName;
      QIcon theme = QIcon::fromTheme(name_);
      resolved_ = theme.isNull() ? drawn() : theme;
    }
    return *resolved_;
  }

  // The drawn picture at the usual ratios and at the screen's own one.
  QIcon drawn() const {
    QIcon icon;
    qreal ratios[] = {1.0, 2.0, qGuiApp != nullptr ? qGuiApp->devicePixelRatio() : 1.0};
    for (qreal ratio : ratios) icon.addPixmap(drawnPixmap(size_, ratio, draw_));
    return icon;
  }

  QString name_;
  QSize size_;
  IconPainter draw_;
  std::optional<QIcon> resolved_;
  QString themeName_;
};

}  // namespace

QPixmap drawnPixmap(QSize logicalSize, qreal devicePixelRatio, const IconPainter& draw) {
  const qreal ratio = devicePixelRatio > 0 ? devicePixelRatio : 1.0;
  QPixmap pixmap(std::lround(logicalSize.width() * ratio), std::lround(logicalSize.height() * ratio));
  pixmap.setDevicePixelRatio(ratio);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  draw(painter);
  return pixmap;
}

QIcon themeIcon(const QString& name, QSize logicalSize, IconPainter draw) {
  return QIcon(new ThemeIconEngine(name, logicalSize, std::move(draw)));
}

}  // namespace pitkit
