#pragma once
// Putting unpacked items in place: a new name is taken without replacing anything, a taken one by
// exchanging the staging folder with the old folder in one step; each step can be undone until
// everything is in place.
#include <functional>
#include <string>
#include <vector>

#include "archive/ArchiveUnpack.h"

namespace pitkit::archive_install {

// The undo steps of the items already in place, in the order they were placed.
using UndoSteps = std::vector<std::function<void()>>;

// Renames `from` to `to` in `folder` unless `to` exists. Returns 0 or the error.
int renameNoReplace(const std::string& folder, const std::string& from, const std::string& to);

// Exchanges the entries `a` and `b` of `folder` in one step; on a file system without that call,
// in three renames that never replace anything and never leave `b`'s item under a name the
// leftover sweep takes while `a`'s is not in its place. Returns 0 or the error.
int exchange(const std::string& folder, const std::string& a, const std::string& b);

// A hidden name for an item set aside while a Replace without the exchange call runs:
// ".pitkit-set-aside-<pid>-<10 letters or digits>". The leftover sweep leaves it alone, so an item
// found under it after a crash is the only copy of a replaced one.
std::string setAsideName();

// Removes an entry of `folder` quietly (a staging folder or file of ours).
void removeQuietly(const std::string& folder, const std::string& name);

// Moves the unpacked jobs into place under their items' names, adding to `undo` as it goes. A
// name taken since it was looked at is skipped, as a taken name is.
void placeJobs(std::vector<Job>& jobs, const std::vector<ArchiveItem>& items, const std::string& gfx,
               ArchiveInstallResult& result, UndoSteps& undo);

// Once every new item is in place: the replaced items, each still under its job's staging name,
// go to the trash (recorded under their old names), adding to `undo` as they go. Those no trash
// can take (deleteOld) stay for finishPlacedJobs.
void trashReplaced(std::vector<Job>& jobs, UndoSteps& undo);

// Once everything is in place: the previews go to gfx unless one is there, the replaced items no
// trash could take are deleted.
void finishPlacedJobs(const std::vector<Job>& jobs, const std::vector<ArchiveItem>& items, const std::string& gfx);

}  // namespace pitkit::archive_install
