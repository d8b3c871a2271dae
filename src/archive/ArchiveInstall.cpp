#include "archive/ArchiveInstall.h"

#include "platform/Posix.h"

#include <algorithm>
#include <cerrno>
#include <map>
#include <set>

#include "archive/ArchiveCommit.h"
#include "archive/ArchivePlan.h"
#include "archive/ArchiveUnpack.h"
#include "platform/Charset.h"
#include "platform/NameCase.h"
#include "platform/Paths.h"
#include "platform/Trash.h"

namespace pitkit {

namespace {

using archive_install::addSizes;
using archive_install::ArchivePlan;
using archive_install::Job;
using archive_install::Placement;

// More than any disk holds (8 EiB): sizes adding up to this are refused as they are.
constexpr std::uint64_t kPastAnyDisk = std::uint64_t{1} << 63;

// What the items need on one file system, measured in its first folder met.
struct SpaceNeed {
  std::string folder;
  std::uint64_t bytes = 0;
  std::uint64_t entries = 0;
};

std::string megabytes(std::uint64_t bytes) {
  return std::to_string((bytes >> 20) + ((bytes & ((1u << 20) - 1)) != 0)) + " MB";
}

// Refuses the install before anything is written when the unpacked items do not fit the free
// space (or the free file entries) of their file systems.
// A destination folder the game lacks yet is measured on the game folder, where it will be made.
void checkFreeSpace(const std::string& archivePath, const ArchivePlan& plan, const std::vector<Job>& jobs,
                    const std::string& game, const std::string& gfx) {
  std::map<dev_t, SpaceNeed> needs;
  std::map<std::string, struct statvfs> volumes;
  const auto need = [&](std::string folder, std::uint64_t size, std::uint64_t entries) {
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0 && errno == ENOENT) folder = game;
    if (::stat(folder.c_str(), &st) != 0) throw EOSError(errno, "Cannot install into " + folder);
    struct statvfs vfs {};
    if (::statvfs(folder.c_str(), &vfs) != 0) throw EOSError(errno, "Cannot install into " + folder);
    SpaceNeed& n = needs[st.st_dev];
    if (n.folder.empty()) {
      n.folder = folder;
      volumes[folder] = vfs;
    }
    const std::uint64_t block = std::max<std::uint64_t>(vfs.f_frsize, 512);
    // Rounded up to whole blocks, never past the largest size: a sum that overflowed would pass.
    n.bytes = addSizes(n.bytes, addSizes(size / block * block, size % block != 0 ? block : 0));
    n.entries = addSizes(n.entries, entries);
  };
  std::vector<const Job*> jobOfItem(plan.contents.items.size(), nullptr);
  for (const Job& job : jobs) {
    need(job.folder, 0, 1);
    jobOfItem[job.item] = &job;
  }
  for (const Placement& p : plan.placements) {
    const Job* job = p.item >= 0 ? jobOfItem[static_cast<std::size_t>(p.item)] : nullptr;
    if (job != nullptr) need(p.preview ? gfx : job->folder, p.size, 1);
  }
  for (const auto& [device, n] : needs) {
    const struct statvfs& vfs = volumes[n.folder];
    std::uint64_t free = 0;
    if (__builtin_mul_overflow(static_cast<std::uint64_t>(vfs.f_bavail), vfs.f_frsize, &free)) free = UINT64_MAX;
    const bool entriesShort = vfs.f_files != 0 && n.entries > vfs.f_favail;
    // A sum past any disk (what the saturated sums become) is refused whatever the disk reports.
    if (n.bytes > free || n.bytes >= kPastAnyDisk || entriesShort)
      throw Exception("There is not enough space to install from " + extractFileName(archivePath) + ": it needs " +
                      megabytes(n.bytes) + " in " + n.folder + ", where " + megabytes(free) + " are free");
  }
}

// The requested items as jobs; those whose name is taken and not to be replaced go to the result's
// skipped names. A replacing job goes where the name is taken. A requested name the archive lacks
// is refused, and so is a replaced item that no trash can take unless it may be deleted for good.
std::vector<Job> chooseJobs(const std::string& archivePath, const std::vector<ArchiveItem>& items,
                            const ArchiveInstallRequest& request, const std::string& game,
                            ArchiveInstallResult& result) {
  const std::set<std::string> names(request.names.begin(), request.names.end());
  const std::set<std::string> replaced(request.replace.begin(), request.replace.end());
  std::set<std::string> itemNames;
  std::vector<std::size_t> chosen;
  for (std::size_t k = 0; k < items.size(); ++k) {
    itemNames.insert(items[k].name);
    if (names.empty() || names.count(items[k].name) != 0) chosen.push_back(k);
  }
  for (const std::string& name : request.names)
    if (itemNames.count(name) == 0) throw Exception(extractFileName(archivePath) + " holds no level or car named " + name);

  std::vector<Job> jobs;
  for (std::size_t k : chosen) {
    const NameTaken taken = findTakenName(game, items[k].kind, items[k].name, request.place);
    Job job;
    job.item = k;
    job.folder = taken.name.empty() ? archiveDestination(game, items[k].kind, request.place) : taken.folder;
    job.oldName = taken.name;
    const bool replace = request.whenTaken == WhenTaken::Replace || replaced.count(items[k].name) != 0;
    if (!job.oldName.empty() && !replace) {
      result.skipped.push_back(items[k].name);
      continue;
    }
    if (!job.oldName.empty()) {
      job.elsewhere = taken.place != request.place;
      job.deleteOld = trashFolderFor(job.folder + "/" + job.oldName).empty();
      if (job.deleteOld && !request.deleteWithoutTrash)
        throw ETrashUnavailable("Cannot replace " + job.folder + "/" + job.oldName +
                                ": no trash on its file system can take it, and it may not be deleted for good");
    }
    jobs.push_back(std::move(job));
  }
  return jobs;
}

// Whether any of the jobs' items has a preview.
bool jobsHavePreview(const ArchivePlan& plan, const std::vector<Job>& jobs) {
  std::vector<bool> chosen(plan.contents.items.size(), false);
  for (const Job& job : jobs) chosen[job.item] = true;
  return std::any_of(plan.placements.begin(), plan.placements.end(),
                     [&](const Placement& p) { return p.preview && chosen[static_cast<std::size_t>(p.item)]; });
}

// Removes the folders `created` made, last first.
void removeCreated(const std::vector<std::string>& created) {
  for (auto it = created.rbegin(); it != created.rend(); ++it) ::rmdir(it->c_str());
}

// Makes the destination folders the game lacks; returns those it made (removed again should the
// install fail).
std::vector<std::string> createFolders(const std::set<std::string>& folders) {
  std::vector<std::string> created;
  for (const std::string& folder : folders) {
    if (::mkdir(folder.c_str(), 0777) == 0) created.push_back(folder);
    else if (errno != EEXIST) {
      const int err = errno;
      removeCreated(created);
      throw EOSError(err, "Cannot create " + folder);
    }
  }
  return created;
}

void checkGameFolder(const std::string& game) {
  struct stat gameStat {};
  if (::stat(game.c_str(), &gameStat) != 0) throw EOSError(errno, "Cannot install into " + game);
  if (!S_ISDIR(gameStat.st_mode)) throw EOSError(ENOTDIR, "Cannot install into " + game);
}

// On disk before anything moves into place (and before any old folder is removed).
void syncFolders(const std::set<std::string>& folders) {
  for (const std::string& folder : folders) {
    archive_install::Fd fd(::openat(AT_FDCWD, folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() >= 0) ::syncfs(fd.get());
  }
}

// Leaves the game as it was after a failure: placed items are undone, staged files and the made
// folders removed.
void rollBack(const archive_install::UndoSteps& undo, const std::vector<Job>& jobs, const std::string& gfx,
              const std::vector<std::string>& created) {
  for (auto it = undo.rbegin(); it != undo.rend(); ++it) (*it)();
  for (const Job& job : jobs) {
    if (!job.staging.empty()) archive_install::removeQuietly(job.folder, job.staging);
    archive_install::removePreview(gfx, job);
  }
  removeCreated(created);
}

// Unpacks the jobs and puts them in place, or rolls everything back and raises.
void unpackAndPlace(const std::string& archivePath, const ArchiveInstallRequest& request, const ArchivePlan& plan,
                    std::vector<Job>& jobs, const std::string& gfx, const std::set<std::string>& folders,
                    const std::vector<std::string>& created, bool anyPreview, ArchiveInstallResult& result,
                    TransferProgress* progress) {
  archive_install::UndoSteps undo;
  try {
    if (anyPreview) removeLeftoverCopies(gfx);
    archive_install::unpackJobs(archivePath, request.password, plan, jobs, gfx, progress);
    if (progress != nullptr && progress->cancelRequested) throw ETransferCancelled("Cancelled");
    syncFolders(folders);
    if (progress != nullptr) progress->committed = true;
    archive_install::placeJobs(jobs, plan.contents.items, gfx, result, undo);
    archive_install::trashReplaced(jobs, undo);
  } catch (...) {
    rollBack(undo, jobs, gfx, created);
    throw;
  }
}

}  // namespace

const char* archiveDestinationFolder(ContentKind kind, InstallPlace place) {
  if (kind == ContentKind::Level) return place == InstallPlace::Installed ? "levels" : "un_levels";
  return place == InstallPlace::Installed ? "cars" : "garage";
}

std::string archiveDestination(const std::string& gameDirectory, ContentKind kind, InstallPlace place) {
  return findIgnoringCase(gameDirectory, archiveDestinationFolder(kind, place), EntryKind::Folder);
}

NameTaken findTakenName(const std::string& gameDirectory, ContentKind kind, const std::string& name,
                        InstallPlace place) {
  const InstallPlace other = place == InstallPlace::Installed ? InstallPlace::Uninstalled : InstallPlace::Installed;
  for (const InstallPlace where : {place, other}) {
    const std::string folder = archiveDestination(gameDirectory, kind, where);
    if (std::string taken = takenNameIn(folder, name); !taken.empty()) return {std::move(taken), folder, where};
  }
  return {};
}

std::string takenNameIn(const std::string& folder, const std::string& name) {
  struct stat st {};
  if (::lstat((folder + "/" + name).c_str(), &st) == 0) return name;
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return {};
  std::string found;
  while (const dirent* entry = ::readdir(dir)) {
    if (sameTextAscii(entry->d_name, name)) {
      found = entry->d_name;
      break;
    }
  }
  ::closedir(dir);
  return found;
}

ArchiveInstallResult InstallFromArchive(const std::string& archivePath, const std::string& gameDirectory,
                                        const std::vector<std::string>& names, InstallPlace place,
                                        WhenTaken whenTaken, TransferProgress* progress) {
  ArchiveInstallRequest request;
  request.names = names;
  request.place = place;
  request.whenTaken = whenTaken;
  return InstallFromArchive(archivePath, gameDirectory, request, progress);
}

ArchiveInstallResult InstallFromArchive(const std::string& archivePath, const std::string& gameDirectory,
                                        const ArchiveInstallRequest& request, TransferProgress* progress) {
  if (gameDirectory.empty()) throw Exception("No game folder is chosen to install into");
  const ArchivePlan plan = archive_install::planArchive(archivePath, request.password, progress);
  if (progress != nullptr) progress->entries = 0;  // they count what is unpacked from here on
  const std::string game = gameDirectory.size() > 1 && gameDirectory.back() == PathDelim
                               ? gameDirectory.substr(0, gameDirectory.size() - 1)
                               : gameDirectory;
  const std::string gfx = findIgnoringCase(game, "gfx", EntryKind::Folder);

  ArchiveInstallResult result;
  std::vector<Job> jobs = chooseJobs(archivePath, plan.contents.items, request, game, result);
  if (jobs.empty()) return result;

  std::set<std::string> folders;
  for (const Job& job : jobs) folders.insert(job.folder);
  const bool anyPreview = jobsHavePreview(plan, jobs);
  if (anyPreview) folders.insert(gfx);
  checkGameFolder(game);
  checkFreeSpace(archivePath, plan, jobs, game, gfx);
  const std::vector<std::string> created = createFolders(folders);

  unpackAndPlace(archivePath, request, plan, jobs, gfx, folders, created, anyPreview, result, progress);
  archive_install::finishPlacedJobs(jobs, plan.contents.items, gfx);
  for (const Job& job : jobs) {
    if (!job.placed) continue;
    const ArchiveItem& item = plan.contents.items[job.item];
    // A replacing item keeps the replaced one's spelling when it could not take its own.
    const std::string placedName = takenNameIn(job.folder, item.name);
    result.placed.push_back(
        {item.kind, item.source, job.folder + "/" + (placedName.empty() ? item.name : placedName),
         job.deleteOld ? std::string() : job.trashed.file, !job.oldName.empty()});
    if (job.oldName.empty()) continue;
    const std::string& name = item.name;
    if (job.elsewhere) result.installedElsewhere.push_back(name);
    (job.deleteOld ? result.deleted : result.trashed).push_back(name);
  }
  return result;
}

}  // namespace pitkit
