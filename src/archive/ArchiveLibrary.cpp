#include "archive/ArchiveLibrary.h"

#include "platform/Posix.h"

#include <string>

#include "platform/Errors.h"
#include "platform/LibraryNames.h"

namespace pitkit {

namespace {

// Null where the library or one of its functions is missing; `error` then says why.
const ArchiveLibrary* load(std::string& error) {
  void* handle = nullptr;
  const char* loadedName = nullptr;
  for (const char* name : kArchiveLibraryNames) {
    loadedName = name;
    handle = ::dlopen(name, RTLD_NOW | RTLD_LOCAL);
    if (handle != nullptr) break;
    // The first name's failure is the one told: it is the name this platform's library has.
    if (error.empty()) {
      const char* text = ::dlerror();
      error = text != nullptr ? text : name;
    }
  }
  if (handle == nullptr) return nullptr;
  error.clear();
  static ArchiveLibrary library;
#define PITKIT_ARCHIVE_RESOLVE(name)                                                   \
  library.name = reinterpret_cast<decltype(library.name)>(::dlsym(handle, #name));     \
  if (library.name == nullptr) {                                                       \
    error = std::string(loadedName) + " has no function " #name;                       \
    return nullptr;                                                                    \
  }
  PITKIT_ARCHIVE_FUNCTIONS(PITKIT_ARCHIVE_RESOLVE)
#undef PITKIT_ARCHIVE_RESOLVE
  // The library stays loaded until the program ends.
  return &library;
}

}  // namespace

const ArchiveLibrary& archiveLibrary() {
  static std::string error;
  static const ArchiveLibrary* library = load(error);
  if (library == nullptr) throw Exception("Cannot read archives: the archive library could not be loaded (" + error + ")");
  return *library;
}

}  // namespace pitkit
