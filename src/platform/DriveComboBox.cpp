#include "platform/DriveComboBox.h"

#include <QFile>
#include <QPainter>
#include <QStorageInfo>
#include <QWheelEvent>
#include <QPixmap>
#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <set>
#include <string_view>
#include <thread>

#include "platform/ByteText.h"
#include "platform/DirectoryListBox.h"
#include "platform/ErrorBox.h"
#include "platform/FileSystem.h"
#include "platform/GameFinder.h"
#include "platform/Paths.h"
#include "platform/ThemeIcon.h"
#ifdef _WIN32
#include "platform/win32/KnownPlaces.h"
#endif

namespace pitkit {
namespace {

// File systems that hold no user files. A plain array: a worker reading the mounts may still use
// it while the program ends.
constexpr std::string_view kPseudoFileSystems[] = {
    "proc",     "sysfs",      "cgroup",    "cgroup2",         "devpts",      "devtmpfs",
    "mqueue",   "securityfs", "debugfs",   "tracefs",         "pstore",      "bpf",
    "configfs", "fusectl",    "hugetlbfs", "autofs",          "binfmt_misc", "rpc_pipefs",
    "nsfs",     "efivarfs",   "selinuxfs", "fuse.gvfsd-fuse", "fuse.portal", "rootfs"};

// The theme's drive icon, made once; a small disk picture where the theme has none.
const QIcon& driveIcon() {
  static const QIcon icon = themeIcon(QStringLiteral("drive-harddisk"), QSize(16, 16), [](QPainter& p) {
    p.setPen(QColor(70, 70, 70));
    p.setBrush(QColor(200, 200, 200));
    p.drawRect(1, 5, 13, 6);
    p.fillRect(10, 8, 2, 2, QColor(0, 160, 0));
  });
  return icon;
}

// How a folder's path is matched with a root: Windows' drive letters and names ignore case.
#ifdef _WIN32
constexpr LetterCase kRootLetterCase = LetterCase::IgnoreAscii;
#else
constexpr LetterCase kRootLetterCase = LetterCase::Exact;
#endif

bool isSystemTree(const std::string& mountPoint) {
  for (const char* tree : {"/proc", "/sys", "/dev", "/run"})
    if (isPathInside(mountPoint, tree)) return true;
  return false;
}

}  // namespace

std::vector<MountedVolume> mountedVolumes() {
  std::vector<MountedVolume> volumes;
  for (const QStorageInfo& info : QStorageInfo::mountedVolumes()) {
    if (!info.isValid()) continue;
    volumes.push_back({QFile::encodeName(info.rootPath()).toStdString(), info.device().toStdString(),
                       info.subvolume().toStdString(), info.fileSystemType().toStdString(),
                       info.isReadOnly()});
  }
  return volumes;
}

std::vector<std::string> volumeRoots(std::vector<MountedVolume> volumes) {
  // Shorter roots first, so the first mount of a file system is the one kept.
  std::stable_sort(volumes.begin(), volumes.end(),
                   [](const MountedVolume& a, const MountedVolume& b) { return a.root.size() < b.root.size(); });
  std::vector<std::string> roots;
  std::set<std::pair<std::string, std::string>> devicesSeen;
  for (const MountedVolume& v : volumes) {
    if (v.root.empty() || v.root.front() != PathDelim) continue;
    if (std::find(std::begin(kPseudoFileSystems), std::end(kPseudoFileSystems), v.type) !=
            std::end(kPseudoFileSystems) ||
        isSystemTree(v.root))
      continue;
    if (v.readOnly && (v.type == "squashfs" || isPathInside(v.root, "/snap"))) continue;
    // Only a device node names one file system; "tmpfs" or "overlay" may stand for many.
    if (!v.device.empty() && v.device.front() == PathDelim &&
        !devicesSeen.insert({v.device, v.subvolume}).second)
      continue;
    if (std::find(roots.begin(), roots.end(), v.root) == roots.end()) roots.push_back(v.root);
  }
  std::sort(roots.begin(), roots.end());
  return roots;
}

std::string holdingRoot(const std::vector<std::string>& roots, const std::string& folder) {
  std::string best = PathDelimStr;
  for (const std::string& root : roots)
    if (isPathInside(folder, root, kRootLetterCase) && root.size() > best.size()) best = root;
  return best;
}

// Where a worker delivers what it read: the selector while it exists.
struct TDriveComboBox::Mailbox {
  std::mutex mutex;
  TDriveComboBox* target = nullptr;
};

TDriveComboBox::TDriveComboBox(QWidget* parent)
    : QComboBox(parent), mailbox_(std::make_shared<Mailbox>()) {
  mailbox_->target = this;
  // A click or the Tab key gives the focus; the wheel does not.
  setFocusPolicy(Qt::StrongFocus);
  showRoots();
  refreshRoots();
  // The user's choice of a root opens it; a failure goes to the error box and the selector
  // goes back to the root of the folder still open.
  connect(this, &QComboBox::activated, this, [this](int index) {
    if (index < 0 || index >= static_cast<int>(roots_.size())) return;
    const std::string root = roots_[static_cast<std::size_t>(index)];
    runGuarded(this, [this, root] { setDrive(root); });
    followDirList();
  });
}

TDriveComboBox::~TDriveComboBox() {
  const std::lock_guard lock(mailbox_->mutex);
  mailbox_->target = nullptr;
}

template <class Found>
void TDriveComboBox::readOnWorker(std::function<Found()> read, void (TDriveComboBox::*take)(Found)) {
  std::thread([box = mailbox_, read = std::move(read), take] {
    Found found;
    try {
      found = read();
    } catch (const std::exception&) {  // out of memory or threads: nothing read this time
    }
    // Held while posting, so the selector cannot be destroyed in between; a call posted to it is
    // dropped with it.
    const std::lock_guard lock(box->mutex);
    if (box->target != nullptr)
      QMetaObject::invokeMethod(
          box->target,
          [target = box->target, take, found = std::move(found)]() mutable {
            (target->*take)(std::move(found));
          },
          Qt::QueuedConnection);
  }).detach();
}

#ifdef _WIN32
void TDriveComboBox::refreshRoots() {
  if (readingMounts_) return;
  readingMounts_ = true;
  readOnWorker<Captions>(
      [] {
        Captions captions;
        for (const win32::LogicalDrive& drive : win32::logicalDrives())
          captions[drive.root] = driveCaption(drive.root, drive.kind);
        return captions;
      },
      &TDriveComboBox::takeDriveCaptions);
}
#else
void TDriveComboBox::refreshRoots() {
  if (!readingMounts_) {
    readingMounts_ = true;
    readOnWorker<Roots>(
        [] {
          Roots roots = volumeRoots(mountedVolumes());
          // Mount points that are files (bind-mounted single files) or are gone are no drives.
          std::erase_if(roots, [](const std::string& r) { return !directoryExists(r); });
          return roots;
        },
        &TDriveComboBox::takeMountRoots);
  }
  if (!readingPrefixes_) {
    readingPrefixes_ = true;
    const char* home = std::getenv("HOME");
    const char* winePrefix = std::getenv("WINEPREFIX");
    readOnWorker<Roots>(
        [home = std::string(home != nullptr ? home : ""),
         winePrefix = std::string(winePrefix != nullptr ? winePrefix : "")] {
          return findWineDrives(home, winePrefix).drives;
        },
        &TDriveComboBox::takePrefixDrives);
  }
}
#endif

void TDriveComboBox::takeDriveCaptions(Captions captions) {
  readingMounts_ = false;
  captions_ = std::move(captions);
  mountRoots_.clear();
  for (const auto& [root, caption] : captions_) mountRoots_.push_back(root);
  showRoots();
}

void TDriveComboBox::takeMountRoots(Roots roots) {
  readingMounts_ = false;
  mountRoots_ = std::move(roots);
  showRoots();
}

void TDriveComboBox::takePrefixDrives(Roots drives) {
  readingPrefixes_ = false;
  prefixDrives_ = std::move(drives);
  showRoots();
}

void TDriveComboBox::showRoots() {
  Roots roots = mountRoots_;
#ifndef _WIN32
  if (std::find(roots.begin(), roots.end(), PathDelimStr) == roots.end())
    roots.insert(roots.begin(), PathDelimStr);
#endif
  // Each compatibility prefix's drive_c is a drive of its own, as the game sees it there; the
  // prefixes themselves are hidden folders the folder list does not show.
  for (const std::string& drive : prefixDrives_)
    if (std::find(roots.begin(), roots.end(), drive) == roots.end()) roots.push_back(drive);
  std::sort(roots.begin(), roots.end());
  if (roots != roots_) {
    roots_ = std::move(roots);
    const QSignalBlocker block(this);
    clear();
    for (const std::string& root : roots_) {
      const auto caption = captions_.find(root);
      addItem(driveIcon(), caption != captions_.end() ? QString::fromStdString(caption->second) : nameText(root));
    }
  }
  followDirList();
  if (!readingMounts_ && !readingPrefixes_) emit rootsRefreshed();
}

void TDriveComboBox::wheelEvent(QWheelEvent* event) {
  if (!hasFocus()) {
    event->ignore();
    return;
  }
  QComboBox::wheelEvent(event);
}

void TDriveComboBox::showPopup() {
  refreshRoots();
  QComboBox::showPopup();
}

void TDriveComboBox::setDirList(TDirectoryListBox* dirList) {
  if (dirList_ != nullptr) disconnect(dirList_, nullptr, this, nullptr);
  dirList_ = dirList;
  if (dirList_ != nullptr)
    connect(dirList_, &TDirectoryListBox::directoryChanged, this, &TDriveComboBox::followDirList);
  followDirList();
}

std::string TDriveComboBox::Drive() const {
  return dirList_ != nullptr ? holdingRoot(roots_, dirList_->Directory()) : holdingRoot(roots_, getCurrentDir());
}

void TDriveComboBox::setDrive(const std::string& root) {
  if (dirList_ == nullptr) return;
  std::string target = root;
  const auto last = lastFolder_.find(root);
  if (last != lastFolder_.end() && directoryExists(last->second)) target = last->second;
  dirList_->setDirectory(target);
}

void TDriveComboBox::followDirList() {
  const std::string folder = dirList_ != nullptr ? dirList_->Directory() : getCurrentDir();
  const std::string root = holdingRoot(roots_, folder);
  if (!folder.empty()) lastFolder_[root] = folder;
  const auto it = std::find(roots_.begin(), roots_.end(), root);
  const QSignalBlocker block(this);
  setCurrentIndex(it == roots_.end() ? -1 : static_cast<int>(it - roots_.begin()));
}

}  // namespace pitkit
