#include "organizers/TransferRunner.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QFutureWatcher>
#include <QProgressDialog>
#include <QPromise>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>
#include <QWindow>
#include <exception>
#include <thread>

namespace pitkit {

namespace {

// Swallows the user's input to every window while a transfer runs, except to the progress
// dialog (its Cancel and Escape), so that nothing the user does meanwhile is queued up to start another action
// afterwards.
class InputBlocker : public QObject {
 public:
  InputBlocker() { QCoreApplication::instance()->installEventFilter(this); }
  ~InputBlocker() override { QCoreApplication::instance()->removeEventFilter(this); }
  void allow(QWidget* dialog) { allowed_ = dialog; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::Close && isAllowed(watched)) return false;
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
  // The dialog, its widgets, and its window, which a click reaches before the widget under it.
  bool isAllowed(QObject* watched) const {
    if (allowed_ == nullptr) return false;
    if (auto* widget = qobject_cast<QWidget*>(watched)) return widget == allowed_ || allowed_->isAncestorOf(widget);
    if (auto* window = qobject_cast<QWindow*>(watched)) return window == allowed_->windowHandle();
    return false;
  }

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
    // Its Escape shortcut would cancel and hide the dialog: Escape goes to reject() instead.
    const auto shortcuts = findChildren<QShortcut*>();
    for (QShortcut* shortcut : shortcuts) shortcut->setEnabled(false);
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
  // The window takes no input while the work runs; only the dialog's Cancel gets through.
  InputBlocker blocker;
  // The dialog shows itself once the work has run for the delay (QProgressDialog's minimum
  // duration, started by the first setValue) and is never shown for quicker work.
  TransferDialog dialog(progressText(label, progress), owner, cancellable, progress);
  dialog.setObjectName(QStringLiteral("TransferProgress"));
  dialog.setWindowTitle(QStringLiteral("Please wait"));
  dialog.setWindowModality(Qt::ApplicationModal);
  dialog.setAutoClose(false);
  dialog.setAutoReset(false);
  dialog.setMinimumDuration(dialogDelayMs);
  dialog.setValue(0);
  blocker.allow(&dialog);

  QPromise<void> promise;
  QFutureWatcher<void> watcher;
  QEventLoop loop;
  QObject::connect(&watcher, &QFutureWatcher<void>::finished, &loop, &QEventLoop::quit);
  watcher.setFuture(promise.future());
  QTimer refresh;
  QObject::connect(&refresh, &QTimer::timeout, &dialog, [&] {
    if (dialog.isVisible()) dialog.showProgress(progressText(label, progress));
  });
  refresh.start(50);

  promise.start();
  std::thread worker([&work, &progress, promise = std::move(promise)]() mutable {
    try {
      work(progress);
    } catch (...) {
      promise.setException(std::current_exception());
    }
    promise.finish();
  });
  // Until the work is done the window only repaints and the dialog answers; the watcher's finished
  // signal ends the loop.
  loop.exec();
  worker.join();
  refresh.stop();
  blocker.allow(nullptr);
  dialog.hide();
  try {
    watcher.future().waitForFinished();
  } catch (const ETransferCancelled&) {
    return false;
  }
  return true;
}

}  // namespace pitkit
