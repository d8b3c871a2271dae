#include "platform/UiThread.h"

#include <mutex>

namespace pitkit {
namespace {
std::mutex defaultMutex;
std::shared_ptr<IUiThread> defaultInstance;
}  // namespace

void setDefaultUiThread(std::shared_ptr<IUiThread> uiThread) {
  std::lock_guard lock(defaultMutex);
  defaultInstance = std::move(uiThread);
}

std::shared_ptr<IUiThread> defaultUiThread() {
  std::lock_guard lock(defaultMutex);
  return defaultInstance;
}

}  // namespace pitkit
