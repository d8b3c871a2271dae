#include "transfer/TransferRunner.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEvent>
#include <QEventLoop>
#include <QFutureWatcher>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPromise>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>
#include <QWindow>
#include <exception>
#include <thread>

#include "platform/ByteText.h"

namespace pitkit {

namespace {

// Swallows the user's input to every window while a transfer runs, except to the progress
// dialog (its Cancel, Escape and close button), so that nothing the user does meanwhile is queued
// up to start another action afterwards.
class InputBlocker : public QObject {
 public:
  InputBlocker() { QCoreApplication::instance()->installEventFilter(this); }
  ~InputBlocker() override { QCoreApplication::instance()->removeEventFilter(this); }
  void allow(QWidget* dialog) { allowed_ = dialog; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (isAllowed(watched)) return false;
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

// How wide the current entry's path may get before its middle is left out, in average characters.
constexpr int kCurrentItemChars = 60;

// The progress dialog: a bar that counts in percent once the work knows its totals (busy until
// then), and the entry being worked on. Cancel, Escape and the window's close button only ask the
// work to stop: the dialog stays until the work has removed its partial copy, and is never closed
// by them.
class TransferDialog : public QProgressDialog {
 public:
  TransferDialog(const QString& text, QWidget* owner, bool cancellable, TransferProgress& progress)
      : QProgressDialog(text, QString(), 0, 0, owner), progress_(progress), bar_(new QProgressBar(this)) {
    bar_->setObjectName(QStringLiteral("TransferBar"));
    bar_->setRange(0, 0);
    setBar(bar_);
    // Wide enough for the entry's line, so that the dialog does not grow with each longer one.
    setMinimumWidth(fontMetrics().averageCharWidth() * (kCurrentItemChars + 8));
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
  // The bar is set by hand, not through setValue, which would show the dialog before its delay.
  // Cancel is offered only while the work can still take it.
  void showProgress(const QString& text, int percent) {
    setLabelText(text);
    if (percent >= 0 && bar_->maximum() != 100) bar_->setRange(0, 100);
    if (percent >= 0) bar_->setValue(percent);
    if (cancel_ != nullptr) cancel_->setEnabled(progress_.cancelTakesEffect() && !progress_.cancelRequested);
  }

 protected:
  // The window's close button (or the window manager's close key) does what Escape does.
  void closeEvent(QCloseEvent* event) override {
    event->ignore();
    reject();
  }

 private:
  void requestCancel() {
    if (!progress_.cancelTakesEffect()) return;
    progress_.cancelRequested = true;
    cancel_->setEnabled(false);
    cancel_->setText(QStringLiteral("Cancelling"));
  }

  TransferProgress& progress_;
  QProgressBar* bar_;
  QPushButton* cancel_ = nullptr;
};

// The label: what is done, and below it the entry being worked on, or, while the totals are not
// known, how much has been done.
QString progressText(const QString& label, const TransferProgress& progress, const QFontMetrics& metrics) {
  if (progress.totalEntries != 0 || progress.totalBytes != 0) {
    const QString item = nameText(progress.currentItem());
    return label + QLatin1Char('\n') +
           metrics.elidedText(item, Qt::ElideMiddle, metrics.averageCharWidth() * kCurrentItemChars);
  }
  const auto items = static_cast<qulonglong>(progress.entries.load());
  const double megabytes = static_cast<double>(progress.bytes.load()) / (1024.0 * 1024.0);
  return QStringLiteral("%1\n%2 items, %3 MB").arg(label).arg(items).arg(megabytes, 0, 'f', 1);
}

}  // namespace

bool runTransfer(QWidget* owner, const QString& label, const std::function<void(TransferProgress&)>& work,
                 int dialogDelayMs, bool cancellable) {
  return runTransfer(owner, [&label] { return label; }, work, dialogDelayMs, cancellable);
}

bool runTransfer(QWidget* owner, const std::function<QString()>& label,
                 const std::function<void(TransferProgress&)>& work, int dialogDelayMs, bool cancellable) {
  TransferProgress progress;
  // The window takes no input while the work runs; only the dialog's Cancel gets through.
  InputBlocker blocker;
  // The dialog shows itself once the work has run for the delay (QProgressDialog's minimum
  // duration, started by the first setValue) and is never shown for quicker work.
  TransferDialog dialog(progressText(label(), progress, QFontMetrics(QApplication::font())), owner, cancellable,
                        progress);
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
    if (dialog.isVisible())
      dialog.showProgress(progressText(label(), progress, dialog.fontMetrics()), transferPercent(progress));
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
