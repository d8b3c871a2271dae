#pragma once
// The organizers' Install and Uninstall: a folder moved to another name, and the sweep of the
// temporary folders that interrupted copies left behind.
#include <string>

#include "transfer/MoveError.h"
#include "transfer/TransferProgress.h"

namespace pitkit {

// Moves the folder `source` to `destination`, a name that must not exist yet: when it does, the
// move is refused before anything is touched, with an error naming the entry and the folder. On
// one file system the move is one rename that never replaces anything; across file systems it is
// a copy without rename on collision, flushed to disk, and only then the delete of the source.
// Missing parents of the destination are created (and removed again when the move fails).
// Across file systems, what was copied is recorded (each entry's type, inode, size and change
// time) and the source is compared with it before the copy is renamed into place and again just
// before the delete: a source that changed meanwhile is kept, the copy removed, and the move fails
// with "Cannot move <name>: it changed while it was being copied (<first changed path>); nothing
// was deleted". A delete that fails after that says the copy is whole and lists what is left.
// Every failure of the move itself is an EMoveError, its record worded by moveErrorText.
void MoveFolder(const std::string& source, const std::string& destination, TransferProgress* progress = nullptr);

// Removes the temporary folders that interrupted copies of this program (killed, crashed, cut off
// by a power loss) left directly in `folder`; nothing else, and never those of a copy still
// running in a live process. Returns how many were removed. Never raises.
int removeLeftoverCopies(const std::string& folder);

}  // namespace pitkit
