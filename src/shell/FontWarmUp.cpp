#include "shell/FontWarmUp.h"

#include <dlfcn.h>

#include <system_error>

namespace pitkit {

FontConfigWarmUp::FontConfigWarmUp() {
  // The toolkit links the font library already; it is looked up, never loaded, so nothing new
  // enters the process. Its initialisation may run concurrently with the toolkit's own.
  void* library = ::dlopen("libfontconfig.so.1", RTLD_LAZY | RTLD_NOLOAD);
  if (library == nullptr) return;
  using InitFunction = int (*)();
  auto init = reinterpret_cast<InitFunction>(::dlsym(library, "FcInit"));
  if (init == nullptr) {
    ::dlclose(library);
    return;
  }
  try {
    thread_ = std::thread([library, init] {
      init();
      ::dlclose(library);
    });
  } catch (const std::system_error&) {
    ::dlclose(library);  // no thread: the toolkit loads the configuration itself
  }
}

FontConfigWarmUp::~FontConfigWarmUp() { wait(); }

void FontConfigWarmUp::wait() {
  if (thread_.joinable()) thread_.join();
}

}  // namespace pitkit
