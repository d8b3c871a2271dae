#include "shell/WindowPlace.h"

#include <QEvent>
#include <QGuiApplication>
#include <QMargins>
#include <QScreen>
#include <QWidget>
#include <optional>

namespace pitkit {

QPoint placeInside(const QRect& frame, const QRect& available) {
  QPoint corner = frame.topLeft();
  if (corner.x() + frame.width() > available.right() + 1) corner.setX(available.right() + 1 - frame.width());
  if (corner.y() + frame.height() > available.bottom() + 1) corner.setY(available.bottom() + 1 - frame.height());
  corner.setX(qMax(corner.x(), available.left()));
  corner.setY(qMax(corner.y(), available.top()));
  return corner;
}

namespace {

class WindowPlacer : public QObject {
 public:
  WindowPlacer(QWidget* window, QPoint place, QSize frameSize, const ScreenFit* fit)
      : QObject(window),
        window_(window),
        place_(place),
        frameSize_(frameSize),
        designSize_(window->size()),
        fit_(fit != nullptr ? std::optional<ScreenFit>(*fit) : std::nullopt) {
    apply();
    window->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    const QEvent::Type type = event->type();
    if (watched != window_ || (type != QEvent::Show && type != QEvent::Move && type != QEvent::Resize))
      return false;
    // A maximised window is the user's choice, and its frame may differ.
    if (window_->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)) return false;
    if (margins() != applied_) {
      apply();
      // Framed and placed: from now on the user moves and sizes the window.
      if (!applied_.isNull()) deleteLater();
    }
    return false;
  }

 private:
  QMargins margins() const {
    const QRect inner = window_->geometry();
    const QRect frame = window_->frameGeometry();
    return {inner.left() - frame.left(), inner.top() - frame.top(), frame.right() - inner.right(),
            frame.bottom() - inner.bottom()};
  }

  void apply() {
    const QMargins m = margins();
    applied_ = m;
    QScreen* screen = QGuiApplication::screenAt(place_);
    if (screen == nullptr) screen = window_->screen();
    if (frameSize_.isValid())
      window_->resize(frameSize_.width() - m.left() - m.right(), frameSize_.height() - m.top() - m.bottom());
    else if (fit_ && screen != nullptr)
      window_->resize(fitted(screen->availableGeometry().size().shrunkBy(m)));
    const QSize frame = window_->size().grownBy(m);
    const QRect available = screen != nullptr ? screen->availableGeometry() : QRect(place_, frame);
    window_->move(placeInside(QRect(place_, frame), available));
  }

  // The design size, or the narrow one, within `room`; a cut side adds a scroll bar's room to the
  // other.
  QSize fitted(const QSize& room) const {
    QSize size = designSize_;
    if (size.width() > room.width() && fit_->narrowSize.isValid()) size = fit_->narrowSize;
    if (size.width() > room.width()) size.rheight() += fit_->scrollBarExtent;
    if (size.height() > room.height()) size.rwidth() += fit_->scrollBarExtent;
    return size.boundedTo(room);
  }

  QWidget* window_;
  QPoint place_;
  QSize frameSize_;
  QSize designSize_;
  std::optional<ScreenFit> fit_;
  QMargins applied_;
};

}  // namespace

void placeWindow(QWidget* window, QPoint place, QSize frameSize, const ScreenFit* fit) {
  new WindowPlacer(window, place, frameSize, fit);
}

}  // namespace pitkit
