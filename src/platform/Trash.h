#pragma once
// The desktop's trash (the freedesktop.org trash layout): an item goes by one rename into the
// trash of its own file system, with an info file that records where it was and when it left, so
// that a file manager lists it and can put it back. Nothing is ever copied into a trash.
// On Windows the trash is the recycle bin of the item's drive (win32/RecycleBin.cpp): the shell puts
// the item in, never deleting it for good, and TrashedItem names the bin's entry and its record
// (empty when the shell did not say). Under Wine no bin is offered: its shell cannot take items.
#include <string>

#include "platform/Errors.h"

namespace pitkit {

// Raised when no trash on an item's file system can take it (the item is left where it is).
class ETrashUnavailable : public Exception {
 public:
  using Exception::Exception;
};

// An item in a trash: its entry in the trash's files folder and its info file.
struct TrashedItem {
  std::string file;  // <trash>/files/<name>
  std::string info;  // <trash>/info/<name>.trashinfo
};

// The trash that takes items from `path`'s file system, made where it is missing: the home trash
// ($XDG_DATA_HOME/Trash, by default ~/.local/share/Trash) when it is on that file system, else
// the file system's own ($topdir/.Trash/$uid when $topdir/.Trash is a folder with the sticky bit
// and no link, otherwise $topdir/.Trash-$uid). "" when none can take it.
std::string trashFolderFor(const std::string& path);

// Moves the entry at `path` into its file system's trash under a free name, recorded as
// `recordedPath` (absolute; by default `path` itself, for an item that waits under another name).
// The info file is made first, exclusively, then the entry is renamed; a failed rename removes
// the info file again. Raises ETrashUnavailable when no trash there can take it, EOSError for
// other failures.
TrashedItem moveToTrash(const std::string& path, const std::string& recordedPath = {});

// The trashed entry at `file` (<trash>/files/<name>) with the info file the trash keeps for it.
TrashedItem trashedItemAt(const std::string& file);

// Puts a trashed entry back at `path` (which must be free) and removes its info file. Returns 0 or
// the error of the rename.
int restoreFromTrash(const TrashedItem& item, const std::string& path);

#ifndef _WIN32
// The path as a trash info file's Path line holds it: every byte but letters, digits, "-._~" and
// "/" percent-encoded.
std::string trashInfoPath(const std::string& path);
#endif

}  // namespace pitkit
