#include "organizers/TransferPath.h"

#include "platform/Errors.h"
#include "platform/Paths.h"

namespace pitkit {

void checkTransferPath(const std::string& gameDirectory, const std::string& path) {
  if (path.empty()) throw Exception("No folder given to move or delete");
  const std::string target = normalizePathLexically(path);
  const std::string game = normalizePathLexically(gameDirectory);
  auto refuse = [&] { throw Exception("Refusing to copy or delete the whole folder " + path); };
  // The game directory itself, or any folder above it.
  if (target == PathDelimStr || isPathInside(game, target, LetterCase::IgnoreAscii)) refuse();
  for (const char* folder : {"levels", "un_levels", "cars", "garage"}) {
    if (sameTextAscii(target, normalizePathLexically(game + PathDelim + folder))) refuse();
  }
}

void checkNotIntoItself(const std::string& verb, const std::string& source, const std::string& destination) {
  if (normalizePathLexically(source) == PathDelimStr || isPathInside(destination, source))
    throw Exception("Cannot " + verb + " " + source + " into itself");
}

}  // namespace pitkit
