#include "shell/AfterFirstPaint.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

namespace pitkit {
namespace {

constexpr int kUnpaintedDelayMs = 1000;

bool isInput(QEvent::Type type) {
  switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::DragEnter:
    case QEvent::Drop:
    case QEvent::Close:
    case QEvent::TouchBegin:
      return true;
    default:
      return false;
  }
}

// Watches every event of the program until the step has run; owned by the window.
class FirstPaintWatch : public QObject {
 public:
  FirstPaintWatch(QWidget* window, std::function<void()> step)
      : QObject(window), window_(window), step_(std::move(step)) {
    QCoreApplication::instance()->installEventFilter(this);
    QTimer::singleShot(kUnpaintedDelayMs, this, [this] { run(); });
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (done_) return false;
    if (isInput(event->type())) {
      run();
    } else if (event->type() == QEvent::Paint && !queued_ && watched->isWidgetType() &&
               static_cast<QWidget*>(watched)->window() == window_) {
      // The paint reaches the screen when this pass of painting ends; the step comes after it.
      queued_ = true;
      QTimer::singleShot(0, this, [this] { run(); });
    }
    return false;
  }

 private:
  void run() {
    if (done_) return;
    done_ = true;
    QCoreApplication::instance()->removeEventFilter(this);
    step_();
    deleteLater();
  }

  QWidget* window_;
  std::function<void()> step_;
  bool queued_ = false;
  bool done_ = false;
};

}  // namespace

void runAfterFirstPaint(QWidget* window, std::function<void()> step) { new FirstPaintWatch(window, std::move(step)); }

}  // namespace pitkit
