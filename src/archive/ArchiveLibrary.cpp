#include "archive/ArchiveLibrary.h"

#include <dlfcn.h>

#include <string>

#include "platform/Errors.h"

namespace pitkit {

namespace {

constexpr const char* kLibraryName = "libarchive.so.13";

// Null where the library or one of its functions is missing; `error` then says why.
const ArchiveLibrary* load(std::string& error) {
  void* handle = ::dlopen(kLibraryName, RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* text = ::dlerror();
    error = text != nullptr ? text : kLibraryName;
    return nullptr;
  }
  static ArchiveLibrary library;
#define PITKIT_ARCHIVE_RESOLVE(name)                                                   \
  library.name = reinterpret_cast<decltype(library.name)>(::dlsym(handle, #name));     \
  if (library.name == nullptr) {                                                       \
    error = std::string(kLibraryName) + " has no function " #name;                     \
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
