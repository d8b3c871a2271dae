#include "organizers/TransferRunner.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>
#include <chrono>
#include <exception>
#include <future>
#include <thread>

namespace pitkit {

namespace {

// Swallows the user's input to every window while a transfer runs, except to the progress
// dialog's Cancel, so that nothing the user does meanwhile is queued up to start another action
// afterwards.
class InputBlocker : public QObject {
 public:
  InputBlocker() { QCoreApplication::instance()->installEventFilter(this); }
  ~InputBlocker() override { QCoreApplication::instance()->removeEventFilter(this); }
  void allow(QWidget* dialog) { allowed_ = dialog; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (allowed_ != nullptr && event->type() != QEvent::Close) {
      auto* widget = qobject_cast<QWidget*>(watched);
      if (widget != nullptr && (widget == allowed_ || allowed_->isAncestorOf(widget))) return false;
    }
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

 private:
  QWidget* allowed_ = nullptr;
};

// The progress dialog. Cancel and Escape only ask the work to stop: the dialog stays until the
// work has removed its partial copy, and is never closed by them.
class TransferDialog : public QProgressDialog {
 public:
  TransferDialog(const QString& text, QWidget* owner, bool cancellable, TransferProgress& progress)
      : QProgressDialog(text, QString(), 0, 0, owner), progress_(progress) {
    if (!cancellable) {
      setCancelButton(nullptr);
      return;
    }
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    cancel_->setObjectName(QStringLiteral("TransferCancel"));
    setCancelButton(cancel_);
    // The built-in cancel would hide the dialog and reset it; here it only sets the request.
    disconnect(this, &QProgressDialog::canceled, this, &QProgressDialog::cancel);
    connect(this, &QProgressDialog::canceled, this, [this] { requestCancel(); });
  }
  void reject() override {
    if (cancel_ != nullptr && cancel_->isEnabled()) requestCancel();
  }
  // Cancel is offered only while the work can still take it.
  void showProgress(const QString& text) {
    setLabelText(text);
    if (cancel_ != nullptr && progress_.committed) cancel_->setEnabled(false);
  }

 private:
  void requestCancel() {
    if (progress_.committed) return;
    progress_.cancelRequested = true;
    cancel_->setEnabled(false);
    cancel_->setText(QStringLiteral("Cancelling"));
  }

  TransferProgress& progress_;
  QPushButton* cancel_ = nullptr;
};

QString progressText(const QString& label, const TransferProgress& progress) {
  const auto items = static_cast<qulonglong>(progress.entries.load());
  const double megabytes = static_cast<double>(progress.bytes.load()) / (1024.0 * 1024.0);
  return QStringLiteral("%1\n%2 items, %3 MB").arg(label).arg(items).arg(megabytes, 0, 'f', 1);
}

}  // namespace

bool runTransfer(QWidget* owner, const QString& label, const std::function<void(TransferProgress&)>& work,
                 int dialogDelayMs, bool cancellable) {
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
    TransferDialog dialog(progressText(label, progress), owner, cancellable, progress);
    dialog.setObjectName(QStringLiteral("TransferProgress"));
    dialog.setWindowTitle(QStringLiteral("Please wait"));
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setMinimumDuration(0);
    blocker.allow(&dialog);
    dialog.setAutoClose(false);
    dialog.setAutoReset(false);
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
      if (finished.wait_for(std::chrono::seconds(0)) == std::future_status::ready) {
        loop.quit();
        return;
      }
      dialog.showProgress(progressText(label, progress));
    });
    poll.start(50);
    dialog.show();
    // The modal dialog keeps the user from starting anything else meanwhile.
    if (finished.wait_for(std::chrono::seconds(0)) != std::future_status::ready) loop.exec();
    poll.stop();
    blocker.allow(nullptr);
    dialog.hide();
  }
  worker.join();
  try {
    finished.get();
  } catch (const ETransferCancelled&) {
    return false;
  }
  return true;
}

}  // namespace pitkit
