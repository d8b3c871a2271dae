#include "archive/ArchiveCommit.h"

#include "platform/Posix.h"

#include <cerrno>
#include <cstdio>

#include "transfer/FolderTransfer.h"
#include "transfer/PartialCopyName.h"
#include "platform/FileSystem.h"

namespace pitkit::archive_install {

namespace {

// Puts a job whose name was free in place; false when the name was taken meanwhile (the job is
// then skipped and its unpacked files removed).
bool placeNew(Job& job, const std::string& name, const std::string& gfx, ArchiveInstallResult& result,
              UndoSteps& undo) {
  const int err = renameNoReplace(job.folder, job.staging, name);
  if (err == EEXIST || err == ENOTEMPTY) {
    removeQuietly(job.folder, job.staging);
    removePreview(gfx, job);
    job.staging.clear();
    job.preview.clear();
    job.previewFolder.clear();
    result.skipped.push_back(name);
    return false;
  }
  if (err != 0) throw EOSError(err, "Cannot install " + name + " into " + job.folder);
  const std::string staging = job.staging;
  undo.push_back([&job, name, staging] {
    if (renameNoReplace(job.folder, name, staging) == 0) removeQuietly(job.folder, staging);
  });
  return true;
}

// The new folder takes the old one's place in one step; the old one keeps the staging name until
// it is removed, after everything is in place.
void placeReplacing(Job& job, const std::string& name, UndoSteps& undo) {
  // Under the staging name the old folder is a leftover to a sweep: it is locked first, as the
  // staging folder is (a link or a file system without locks has nothing to lock).
  lockPartialCopy(AT_FDCWD, job.folder + "/" + job.oldName, job.oldLock);
  if (int err = exchange(job.folder, job.staging, job.oldName); err != 0)
    throw EOSError(err, "Cannot replace " + job.folder + "/" + job.oldName);
  const std::string oldName = job.oldName;
  undo.push_back([&job, oldName] { exchange(job.folder, job.staging, oldName); });
  // A clash in letter case only: the folder takes the archive's spelling, which its files use.
  if (job.oldName != name && renameNoReplace(job.folder, job.oldName, name) == 0) {
    undo.back() = [&job, oldName, name] {
      if (renameNoReplace(job.folder, name, oldName) == 0) exchange(job.folder, job.staging, oldName);
    };
  }
}

}  // namespace

int renameNoReplace(const std::string& folder, const std::string& from, const std::string& to) {
  return renameNoReplaceAt(AT_FDCWD, folder + "/" + from, AT_FDCWD, folder + "/" + to);
}

int exchange(const std::string& folder, const std::string& a, const std::string& b) {
  const int exchanged = renameExchangeAt(AT_FDCWD, folder + "/" + a, AT_FDCWD, folder + "/" + b);
  if (exchanged != EINVAL && exchanged != ENOSYS) return exchanged;
  // Three renames. `b` first goes aside under a name the leftover sweep never takes, then `a`
  // takes its name, and only then does `b` take `a`'s: should the program stop between two of
  // them, the item `b` held is whole aside, or `a`'s is in its place, whatever a sweep removes.
  const std::string aside = setAsideName();
  if (int err = renameNoReplace(folder, b, aside); err != 0) return err;
  if (int err = renameNoReplace(folder, a, b); err != 0) {
    renameNoReplace(folder, aside, b);
    return err;
  }
  if (int err = renameNoReplace(folder, aside, a); err != 0) {
    renameNoReplace(folder, b, a);
    renameNoReplace(folder, aside, b);
    return err;
  }
  return 0;
}

std::string setAsideName() {
  // A staging name with another prefix: the same pid and letters, which the sweep does not know.
  const std::string staging = stagingName();
  return ".pitkit-set-aside-" + staging.substr(staging.rfind('-', staging.rfind('-') - 1) + 1);
}

void removeQuietly(const std::string& folder, const std::string& name) {
  try {
    DeleteFolder(folder + "/" + name);
  } catch (...) {
    ::unlink((folder + "/" + name).c_str());
  }
}

void placeJobs(std::vector<Job>& jobs, const std::vector<ArchiveItem>& items, const std::string& gfx,
               ArchiveInstallResult& result, UndoSteps& undo) {
  for (Job& job : jobs) {
    const std::string& name = items[job.item].name;
    if (job.oldName.empty()) {
      if (!placeNew(job, name, gfx, result, undo)) continue;
    } else {
      placeReplacing(job, name, undo);
    }
    job.placed = true;
    result.installed.push_back(name);
  }
}

void trashReplaced(std::vector<Job>& jobs, UndoSteps& undo) {
  for (Job& job : jobs) {
    if (!job.placed || job.oldName.empty() || job.deleteOld) continue;
    job.trashed = moveToTrash(job.folder + "/" + job.staging, job.folder + "/" + job.oldName);
    undo.push_back([&job] { restoreFromTrash(job.trashed, job.folder + "/" + job.staging); });
  }
}

void finishPlacedJobs(const std::vector<Job>& jobs, const std::vector<ArchiveItem>& items, const std::string& gfx) {
  for (const Job& job : jobs) {
    if (!job.placed) continue;
    if (!job.preview.empty()) {
      const std::string preview = items[job.item].name + ".bmp";
      if (!takenNameIn(gfx, preview).empty() || renameNoReplace(gfx, job.preview, preview) != 0)
        ::unlink((gfx + "/" + job.preview).c_str());
      ::rmdir((gfx + "/" + job.previewFolder).c_str());
    }
    if (!job.oldName.empty() && job.deleteOld) removeQuietly(job.folder, job.staging);
  }
}

}  // namespace pitkit::archive_install
