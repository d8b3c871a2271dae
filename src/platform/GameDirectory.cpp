#include "platform/GameDirectory.h"

#include <exception>

#include "platform/FileSystem.h"
#include "platform/NameCase.h"
#include "platform/Paths.h"

namespace pitkit {

std::string GameDirectory::sub(const char* name) const { return findIgnoringCase(path_, name); }

std::string GameDirectory::subWithDelim(const char* name) const { return sub(name) + PathDelim; }

bool GameDirectory::usable() const { return directoryExists(sub("levels")); }

void GameDirectory::change(const std::string& folder) {
  path_ = folder;
  // A listener may change the folder again; each of this round hears the folder of this change.
  const std::string announced = path_;
  std::exception_ptr firstFailure;
  for (const Listener& listener : listeners_) {
    try {
      listener(announced);
    } catch (...) {
      if (!firstFailure) firstFailure = std::current_exception();
    }
  }
  if (firstFailure) std::rethrow_exception(firstFailure);
}

}  // namespace pitkit
