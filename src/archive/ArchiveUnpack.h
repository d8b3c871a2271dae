#pragma once
// Unpacking the chosen items of an archive into hidden staging folders beside their destinations
// (and their previews into gfx), never writing outside the item an entry belongs to.
#include "platform/Posix.h"

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "archive/ArchivePlan.h"
#include "transfer/TransferProgress.h"
#include "platform/Trash.h"
#include "platform/UniqueFd.h"

namespace pitkit::archive_install {

// A file descriptor closed on scope exit.
class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(Fd&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  Fd& operator=(Fd&& other) noexcept {
    std::swap(fd_, other.fd_);
    return *this;
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

// One chosen item on its way into the game.
struct Job {
  std::size_t item = 0;
  std::string folder;      // the destination folder (levels, un_levels, cars or garage)
  std::string oldName;     // the taken name it replaces; "" for none
  std::string staging;     // its staging folder's name in `folder`
  std::string preview;     // its preview's staging path in gfx ("<previewFolder>/preview.bmp"); "" for none
  std::string previewFolder;  // the staging folder in gfx that holds the preview; "" for none
  bool placed = false;
  bool elsewhere = false;  // it replaces an item in the other place than the one asked for
  bool deleteOld = false;  // no trash can take the replaced item: it is deleted for good
  TrashedItem trashed;     // where the replaced item went in the trash
  // The staging folder, open and locked (lockPartialCopy) until the install ends, so that no
  // leftover sweep of another instance takes it; the replaced folder, locked the same way before
  // it takes the staging name.
  UniqueFd lock;
  UniqueFd oldLock;
  UniqueFd previewLock;
};

// The preview's name in its staging folder.
inline constexpr const char* kPreviewFile = "preview.bmp";

// The staging name the organizers' leftover sweep (removeLeftoverCopies) knows:
// ".pitkit-partial-copy-<pid>-<10 letters or digits>". Should the program die while it unpacks,
// the next Go of the page removes the half-made folder.
std::string stagingName();

// Removes what is left of a job's preview staging in gfx: the preview unless it went into place,
// and its folder.
void removePreview(const std::string& gfx, const Job& job);

// Makes each job's staging folder (locked in the job) and reads the archive a second time, unpacking the entries of
// the jobs' items into them and their previews into staging folders of `gfx`. What was made is
// named in the jobs, for the caller to remove on failure.
void unpackJobs(const std::string& archivePath, const std::string& password, const ArchivePlan& plan,
                std::vector<Job>& jobs, const std::string& gfx, TransferProgress* progress);

}  // namespace pitkit::archive_install
