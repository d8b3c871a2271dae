#include "shell/FontWarmUp.h"

#include <system_error>

#include "platform/HostSystem.h"

namespace pitkit {

FontConfigWarmUp::FontConfigWarmUp() {
  std::function<void()> load = fontConfigLoader();
  if (!load) return;
  try {
    thread_ = std::thread(std::move(load));
  } catch (const std::system_error&) {
    // no thread: the toolkit loads the configuration itself
  }
}

FontConfigWarmUp::~FontConfigWarmUp() { wait(); }

void FontConfigWarmUp::wait() {
  if (thread_.joinable()) thread_.join();
}

}  // namespace pitkit
