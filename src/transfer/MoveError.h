#pragma once
// Why a folder move failed, kept as data (what failed, the paths it concerns, the system's
// reason) until moveErrorText words it: the one place where the move's sentences are made, for
// the transfer engine and for the pages that refuse a move before it starts.
#include <string>

#include "platform/Errors.h"

namespace pitkit {

struct MoveError {
  enum class Kind {
    NoSource,        // no source folder was given
    NoDestination,   // `item` (the source path) was given no destination
    NameTaken,       // `item` cannot go to the folder `destination`: `entry` is already there
    Changed,         // `item` changed while it was copied; `entry` is the first changed path
    CopyNotRemoved,  // as Changed, and its copy at `destination` could not be removed (`reason`)
    SourceLeft,      // `item` was copied whole to `destination`, but `source` could not be
                     // deleted: `entry` says what is left, `error` why
    System,          // the system refused (`error`) to move `item` (to `destination`, when named)
  };
  Kind kind = Kind::System;
  std::string item{};
  std::string destination{};
  std::string source{};
  std::string entry{};
  std::string reason{};
  int error = 0;  // errno; 0 when the system gave no reason
};

// The sentence the user reads for `error`.
std::string moveErrorText(const MoveError& error);

// A failed move: its record, and the record's sentence as the message. It is an EOSError with the
// system's code where the system gave one (0 otherwise).
class EMoveError : public EOSError {
 public:
  explicit EMoveError(MoveError error);
  MoveError error;
};

}  // namespace pitkit
