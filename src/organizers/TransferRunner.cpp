#include "organizers/TransferRunner.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QProgressDialog>
#include <QTimer>
#include <chrono>
#include <exception>
#include <future>
#include <thread>

namespace pitkit {

namespace {

// Swallows the user's input to every window while a transfer runs (the progress dialog has nothing
// to press and cannot be closed), so that nothing the user does meanwhile is queued up to start
// another action afterwards.
class InputBlocker : public QObject {
 public:
  InputBlocker() { QCoreApplication::instance()->installEventFilter(this); }
  ~InputBlocker() override { QCoreApplication::instance()->removeEventFilter(this); }

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    switch (event->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick:
      case QEvent::KeyPress:
      case QEvent::KeyRelease:
      case QEvent::Wheel:
      case QEvent::Shortcut:
      case QEvent::ShortcutOverride:
      case QEvent::Close:
        event->ignore();
        return true;
      default:
        return false;
    }
  }
};

QString progressText(const QString& label, const TransferProgress& progress) {
  const auto items = static_cast<qulonglong>(progress.entries.load());
  const double megabytes = static_cast<double>(progress.bytes.load()) / (1024.0 * 1024.0);
  return QStringLiteral("%1\n%2 items, %3 MB").arg(label).arg(items).arg(megabytes, 0, 'f', 1);
}

}  // namespace

void runTransfer(QWidget* owner, const QString& label, const std::function<void(TransferProgress&)>& work,
                 int dialogDelayMs) {
  TransferProgress progress;
  std::promise<void> done;
  std::future<void> finished = done.get_future();
  std::thread worker([&] {
    try {
      work(progress);
      done.set_value();
    } catch (...) {
      done.set_exception(std::current_exception());
    }
  });

  // Until the delay has passed the window only repaints; the user's input is dropped.
  InputBlocker blocker;
  QElapsedTimer clock;
  clock.start();
  while (finished.wait_for(std::chrono::milliseconds(15)) != std::future_status::ready &&
         clock.elapsed() < dialogDelayMs) {
    QCoreApplication::processEvents();
  }

  if (finished.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
    QProgressDialog dialog(progressText(label, progress), QString(), 0, 0, owner);
    dialog.setObjectName(QStringLiteral("TransferProgress"));
    dialog.setWindowTitle(QStringLiteral("Please wait"));
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setCancelButton(nullptr);
    dialog.setMinimumDuration(0);
    dialog.setAutoClose(false);
    dialog.setAutoReset(false);
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
      if (finished.wait_for(std::chrono::seconds(0)) == std::future_status::ready) {
        loop.quit();
        return;
      }
      dialog.setLabelText(progressText(label, progress));
    });
    poll.start(50);
    dialog.show();
    // The modal dialog keeps the user from starting anything else meanwhile.
    if (finished.wait_for(std::chrono::seconds(0)) != std::future_status::ready) loop.exec();
    poll.stop();
    dialog.hide();
  }
  worker.join();
  finished.get();
}

}  // namespace pitkit
