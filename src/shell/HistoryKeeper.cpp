#include "shell/HistoryKeeper.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QThread>
#include <utility>
#include <QWidget>

#include "platform/ByteText.h"
#include "platform/ErrorBox.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"

namespace pitkit {

HistoryKeeper::HistoryKeeper(QWidget* window, const std::string& gameFolder, std::string path)
    : window_(window), gameFolder_(gameFolder), store_(std::move(path)) {}

namespace {

bool onWindowThread() { return QThread::currentThread() == QCoreApplication::instance()->thread(); }

}  // namespace

template <class T>
T HistoryKeeper::valueOr(const HistoryResult<T>& result, T fallback) {
  std::string failure;
  if (!result && result.error().first) failure = result.error().message;
  {
    std::lock_guard lock(pendingMutex_);
    if (!onWindowThread()) {
      if (!failure.empty()) pendingFailure_ = failure;
      return result ? result.value() : fallback;
    }
    if (failure.empty()) failure = std::exchange(pendingFailure_, {});
  }
  // Only the call that turned the store off shows why; the others go on quietly.
  if (!failure.empty()) showErrorBox(window_, nameText(failure));
  return result ? result.value() : fallback;
}

std::int64_t HistoryKeeper::record(const HistoryAction& action) {
  used_ = true;
  HistoryAction recorded = action;
  if (recorded.gameFolder.empty()) recorded.gameFolder = gameFolder_;
  const std::int64_t id = valueOr<std::int64_t>(store_.record(recorded), 0);
  if (changed_ && onWindowThread()) changed_();
  return id;
}

std::optional<HistoryAction> HistoryKeeper::lastUndoable() {
  if (gameFolder_.empty() || (!used_ && !fileExists(store_.path()))) return std::nullopt;
  used_ = true;
  return valueOr<std::optional<HistoryAction>>(store_.lastUndoable(gameFolder_), std::nullopt);
}

std::vector<HistoryAction> HistoryKeeper::actions() {
  if (gameFolder_.empty() || (!used_ && !fileExists(store_.path()))) return {};
  used_ = true;
  return valueOr<std::vector<HistoryAction>>(store_.actions(gameFolder_), {});
}

void HistoryKeeper::markUndone(std::int64_t id) {
  used_ = true;
  valueOr<bool>(store_.markUndone(id), false);
  if (changed_) changed_();
}

QString HistoryKeeper::originText(ItemKind kind, const std::string& name) {
  if (gameFolder_.empty() || name.empty() || (!used_ && !fileExists(store_.path()))) return {};
  used_ = true;
  const std::optional<ItemOrigin> origin =
      valueOr<std::optional<ItemOrigin>>(store_.originOf(gameFolder_, kind, name), std::nullopt);
  if (!origin) return {};
  return QStringLiteral("Installed %1 from %2")
      .arg(historyTimeText(origin->when), nameText(extractFileName(origin->archive.path)));
}

QString historyTimeText(std::chrono::sys_seconds when) {
  return QDateTime::fromSecsSinceEpoch(when.time_since_epoch().count())
      .toLocalTime()
      .toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

}  // namespace pitkit
