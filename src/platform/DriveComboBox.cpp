#include "platform/DriveComboBox.h"

#include <QPainter>
#include <QPixmap>
#include <algorithm>
#include <set>
#include <sstream>

#include "platform/DirectoryListBox.h"
#include "platform/ErrorBox.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "platform/TextFile.h"
#include "platform/ThemeIcon.h"

namespace pitkit {
namespace {

// File systems that hold no user files.
const std::set<std::string> kPseudoFileSystems = {
    "proc",      "sysfs",     "cgroup",     "cgroup2",  "devpts",   "devtmpfs",   "mqueue",
    "securityfs", "debugfs",  "tracefs",    "pstore",   "bpf",      "configfs",   "fusectl",
    "hugetlbfs", "autofs",    "binfmt_misc", "rpc_pipefs", "nsfs",  "efivarfs",   "selinuxfs",
    "fuse.gvfsd-fuse", "fuse.portal"};

// Decodes the octal escapes the kernel writes for blanks, tabs, newlines and backslashes.
std::string unescapeMountField(const std::string& field) {
  std::string out;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size() &&
        field[i + 1] >= '0' && field[i + 1] <= '3' && field[i + 2] >= '0' && field[i + 2] <= '7' &&
        field[i + 3] >= '0' && field[i + 3] <= '7') {
      out += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0'));
      i += 3;
    } else {
      out += field[i];
    }
  }
  return out;
}

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

bool isBelow(const std::string& path, const std::string& root) {
  if (root == PathDelimStr) return !path.empty() && path.front() == PathDelim;
  return path == root || (path.size() > root.size() && path.compare(0, root.size(), root) == 0 &&
                          path[root.size()] == PathDelim);
}

bool isSystemTree(const std::string& mountPoint) {
  for (const char* tree : {"/proc", "/sys", "/dev", "/run"})
    if (isBelow(mountPoint, tree)) return true;
  return false;
}

}  // namespace

std::vector<std::string> parseMountRoots(const std::string& mountsTable) {
  std::vector<std::string> roots;
  std::istringstream lines(mountsTable);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string device, mountPoint, type;
    if (!(fields >> device >> mountPoint >> type)) continue;
    mountPoint = unescapeMountField(mountPoint);
    if (mountPoint.empty() || mountPoint.front() != PathDelim) continue;
    if (kPseudoFileSystems.count(type) != 0 || isSystemTree(mountPoint)) continue;
    if (std::find(roots.begin(), roots.end(), mountPoint) == roots.end()) roots.push_back(mountPoint);
  }
  return roots;
}

std::string holdingRoot(const std::vector<std::string>& roots, const std::string& folder) {
  std::string best = PathDelimStr;
  for (const std::string& root : roots)
    if (isBelow(folder, root) && root.size() > best.size()) best = root;
  return best;
}

TDriveComboBox::TDriveComboBox(QWidget* parent) : QComboBox(parent) {
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

void TDriveComboBox::refreshRoots() {
  std::vector<std::string> roots;
  try {
    roots = parseMountRoots(readWholeFile("/proc/self/mounts"));
  } catch (const std::exception&) {
    roots.clear();
  }
  // Mount points that are files (bind-mounted single files) or are gone are no drives.
  roots.erase(std::remove_if(roots.begin(), roots.end(),
                             [](const std::string& r) { return !directoryExists(r); }),
              roots.end());
  if (std::find(roots.begin(), roots.end(), PathDelimStr) == roots.end())
    roots.insert(roots.begin(), PathDelimStr);
  std::sort(roots.begin(), roots.end());
  roots_ = roots;
  const QSignalBlocker block(this);
  clear();
  for (const std::string& root : roots_) addItem(driveIcon(), QString::fromStdString(root));
  followDirList();
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
