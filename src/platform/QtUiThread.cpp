#include "platform/QtUiThread.h"

#include <QMetaObject>
#include <QThread>
#include <exception>

namespace pitkit {

QtUiThread::QtUiThread() : receiver_(std::make_unique<QObject>()) {}

QtUiThread::~QtUiThread() = default;

void QtUiThread::invokeAndWait(const std::function<void()>& call) {
  if (QThread::currentThread() == receiver_->thread()) {
    call();
    return;
  }
  std::exception_ptr failure;
  QMetaObject::invokeMethod(
      receiver_.get(),
      [&call, &failure] {
        try {
          call();
        } catch (...) {
          failure = std::current_exception();
        }
      },
      Qt::BlockingQueuedConnection);
  if (failure) std::rethrow_exception(failure);
}

void QtUiThread::post(std::function<void()> call) {
  QMetaObject::invokeMethod(receiver_.get(), [call = std::move(call)] { call(); }, Qt::QueuedConnection);
}

void installQtUiThread() { setDefaultUiThread(std::make_shared<QtUiThread>()); }

}  // namespace pitkit
