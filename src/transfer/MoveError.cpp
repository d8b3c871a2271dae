#include "transfer/MoveError.h"

#include <cstring>
#include <utility>

namespace pitkit {

std::string moveErrorText(const MoveError& e) {
  const std::string head = "Cannot move " + e.item;
  switch (e.kind) {
    case MoveError::Kind::NoSource:
      return "Cannot move: no source folder given";
    case MoveError::Kind::NoDestination:
      return head + ": no destination given";
    case MoveError::Kind::NameTaken:
      return head + " to " + e.destination + ": an entry named " + e.entry + " is already there";
    case MoveError::Kind::Changed:
      return head + ": it changed while it was being copied (" + e.entry + "); nothing was deleted";
    case MoveError::Kind::CopyNotRemoved:
      return head + ": it changed while it was being copied (" + e.entry + "), and its copy at " +
             e.destination + " could not be removed (" + e.reason + "); nothing was deleted";
    case MoveError::Kind::SourceLeft:
      return head + ": it was copied whole to " + e.destination +
             ", but its source could not be deleted (left in " + e.source + ": " + e.entry +
             "): " + std::strerror(e.error);
    case MoveError::Kind::System:
      return "Cannot move" + (e.item.empty() ? std::string() : " " + e.item) +
             (e.destination.empty() ? std::string() : " to " + e.destination) + ": " +
             std::strerror(e.error);
  }
  return head;
}

EMoveError::EMoveError(MoveError record)
    : EOSError(record.error, moveErrorText(record), Worded{}), error(std::move(record)) {}

}  // namespace pitkit
