#include "archive/ArchiveUnpack.h"

#include "platform/Posix.h"

#include <algorithm>
#include <cerrno>
#include <map>

#include "archive/ArchiveReader.h"
#include "transfer/FolderTransfer.h"
#include "transfer/PartialCopyName.h"
#include "platform/Paths.h"

namespace pitkit::archive_install {

namespace {

[[noreturn]] void failUnpack(int err, const std::string& path) { throw EOSError(err, "Cannot unpack " + path); }

// The folder `parts` below `rootFd`, created where missing; links are never followed.
Fd openFolders(int rootFd, const std::vector<std::string>& parts, std::size_t count, const std::string& shown) {
  Fd current(::fcntl(rootFd, F_DUPFD_CLOEXEC, 0));
  for (std::size_t i = 0; i < count; ++i) {
    if (::mkdirat(current.get(), parts[i].c_str(), 0777) != 0 && errno != EEXIST) failUnpack(errno, shown);
    Fd next(::openat(current.get(), parts[i].c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (next.get() < 0) failUnpack(errno, shown);
    current = std::move(next);
  }
  return current;
}

// Writes the current entry's data to a new file, never more bytes than the archive states and
// exactly that many.
void writeEntry(ArchiveReader& reader, int folderFd, const std::string& name, const Placement& p,
                const std::string& shown, std::vector<char>& buffer, TransferProgress* progress) {
  Fd out(::openat(folderFd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
  if (out.get() < 0) failUnpack(errno, shown);
  std::uint64_t written = 0;
  for (;;) {
    if (progress != nullptr && progress->cancelRequested.load(std::memory_order_relaxed))
      throw ETransferCancelled("Cancelled");
    const std::size_t n = reader.read(buffer.data(), buffer.size());
    if (n == 0) break;
    if (n > p.size - written)
      throw Exception("Cannot unpack " + shown + ": it holds more bytes than the archive states");
    for (std::size_t done = 0; done < n;) {
      const ssize_t w = ::write(out.get(), buffer.data() + done, n - done);
      if (w < 0 && errno == EINTR) continue;
      if (w < 0) failUnpack(errno, shown);
      done += static_cast<std::size_t>(w);
    }
    written += n;
    if (progress != nullptr) progress->bytes += n;
  }
  if (written != p.size) throw Exception("Cannot unpack " + shown + ": it holds fewer bytes than the archive states");
  if (p.mtimeSet) {
    const struct timespec times[2] = {{0, UTIME_OMIT}, p.mtime};
    ::futimens(out.get(), times);
  }
  if (progress != nullptr) ++progress->entries;
}

// Which job each item is.
using JobOfItem = std::map<std::size_t, std::size_t>;

// Makes a staging folder in `folder` and locks it in `lock` (where the file system keeps no locks,
// no sweep can take it either); `name` holds its name once it exists, for the caller to remove.
// A sweep that gets to the new folder before the lock takes it, and the install fails.
void makeLockedFolder(const std::string& folder, std::string& name, UniqueFd& lock) {
  const Fd parent(::openat(AT_FDCWD, folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (parent.get() < 0) throw EOSError(errno, "Cannot unpack into " + folder);
  for (int attempt = 0;; ++attempt) {
    name = stagingName();
    if (::mkdirat(parent.get(), name.c_str(), 0777) == 0) break;
    if (errno != EEXIST || attempt > 100) {
      name.clear();
      throw EOSError(errno, "Cannot unpack into " + folder);
    }
  }
  const int err = lockPartialCopy(parent.get(), name, lock);
  if (err != 0 && err != ENOLCK) {
    if (err == EWOULDBLOCK || err == ENOENT) name.clear();  // the sweep's now
    throw EOSError(err, "Cannot unpack into " + folder);
  }
}

// Staging folders beside the destinations, on their file systems, each locked in its job.
JobOfItem makeStagingFolders(std::vector<Job>& jobs) {
  JobOfItem jobOfItem;
  for (std::size_t j = 0; j < jobs.size(); ++j) {
    makeLockedFolder(jobs[j].folder, jobs[j].staging, jobs[j].lock);
    jobOfItem[jobs[j].item] = j;
  }
  return jobOfItem;
}

}  // namespace

std::string stagingName() { return newPartialCopyName(); }

void removePreview(const std::string& gfx, const Job& job) {
  if (!job.preview.empty()) ::unlink((gfx + "/" + job.preview).c_str());
  if (!job.previewFolder.empty()) ::rmdir((gfx + "/" + job.previewFolder).c_str());
}

void unpackJobs(const std::string& archivePath, const std::string& password, const ArchivePlan& plan,
                std::vector<Job>& jobs, const std::string& gfx, TransferProgress* progress) {
  const JobOfItem jobOfItem = makeStagingFolders(jobs);
  ArchiveReader reader(archivePath, password, kBlockSize, progress);
  ArchiveEntry entry;
  std::vector<char> buffer(kBlockSize);
  // The folder the last file went into: archives list a folder's files together, so it is
  // opened once for them all.
  const std::vector<std::string>* lastParts = nullptr;
  std::size_t lastJob = 0, lastCount = 0;
  Fd lastParent;
  for (std::size_t index = 0; reader.next(entry); ++index) {
    if (index >= plan.placements.size()) throw Exception("Cannot read " + extractFileName(archivePath) + ": it changed while it was read");
    const Placement& p = plan.placements[index];
    if (p.item < 0) continue;
    const auto found = jobOfItem.find(static_cast<std::size_t>(p.item));
    if (found == jobOfItem.end()) continue;
    Job& job = jobs[found->second];
    const std::string shown = entry.shownPath;
    if (p.preview) {
      // In a locked staging folder of its own in gfx, as the item's files are in theirs.
      makeLockedFolder(gfx, job.previewFolder, job.previewLock);
      job.preview = job.previewFolder + "/" + kPreviewFile;
      writeEntry(reader, job.previewLock.get(), kPreviewFile, p, shown, buffer, progress);
      continue;
    }
    const int root = job.lock.get();
    if (p.folder) {
      openFolders(root, p.path, p.path.size(), shown);
      continue;
    }
    const std::size_t count = p.path.size() - 1;
    if (lastParts == nullptr || lastJob != found->second || lastCount != count ||
        !std::equal(p.path.begin(), p.path.begin() + static_cast<long>(count), lastParts->begin())) {
      lastParent = openFolders(root, p.path, count, shown);
      lastParts = &p.path;
      lastJob = found->second;
      lastCount = count;
    }
    writeEntry(reader, lastParent.get(), p.path.back(), p, shown, buffer, progress);
  }
}

}  // namespace pitkit::archive_install
