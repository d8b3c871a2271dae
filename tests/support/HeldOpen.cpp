#include "support/HeldOpen.h"

#ifdef _WIN32
#include <windows.h>

#include "platform/win32/WideNames.h"
#endif

namespace pitkit::test {

#ifdef _WIN32
HeldOpen::HeldOpen(const std::string& path) {
  // Share mode 0: no one else may open, rename or delete the file while it is held.
  const HANDLE h = ::CreateFileW(win32::widePath(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h != INVALID_HANDLE_VALUE) handle_ = h;
}
void HeldOpen::release() {
  if (handle_ != nullptr) ::CloseHandle(static_cast<HANDLE>(handle_));
  handle_ = nullptr;
}
#else
HeldOpen::HeldOpen(const std::string&) {}
void HeldOpen::release() {}
#endif

HeldOpen::~HeldOpen() { release(); }

}  // namespace pitkit::test
