#pragma once
// The drive selector. On Linux the "drives" are the mounted file systems' roots and the drive_c
// folders of the Wine, Proton, Lutris and Bottles prefixes; choosing one opens it in the attached
// folder list, and the selector always shows the one holding the open folder.
#include <QComboBox>
#include <map>
#include <string>
#include <vector>

namespace pitkit {

class TDirectoryListBox;

// One mounted file system, as the platform library reports it.
struct MountedVolume {
  std::string root;
  std::string device;
  std::string subvolume;
  std::string type;
  bool readOnly = false;
};
// The mounted file systems the system reports.
std::vector<MountedVolume> mountedVolumes();
// The roots a user would pick among `volumes`, each once, sorted: pseudo file systems (proc,
// sysfs, cgroup, ...), the system's own trees below /proc, /sys, /dev and /run, read-only images
// (squashfs, snap packages) and second mounts of one file system (bind mounts: the same device and
// subvolume as a shorter root) are left out.
std::vector<std::string> volumeRoots(std::vector<MountedVolume> volumes);
// The longest of `roots` that holds `folder` ("/" when none does).
std::string holdingRoot(const std::vector<std::string>& roots, const std::string& folder);

class TDriveComboBox : public QComboBox {
  Q_OBJECT
 public:
  explicit TDriveComboBox(QWidget* parent = nullptr);
  // Attaches the folder list: the selector follows its open folder from now on.
  void setDirList(TDirectoryListBox* dirList);
  // The mount root holding the list's open folder.
  std::string Drive() const;
  // Opens `root` in the folder list: the folder last open on that root if it still exists, else
  // the root itself. Errors of the folder list propagate.
  void setDrive(const std::string& root);
  // Re-reads the mounted file systems.
  void refreshRoots();

 protected:
  // The mounted file systems are read again each time the list opens, so a newly mounted one
  // can be chosen.
  void showPopup() override;
  // The wheel turns through the drives only while the selector has the focus: a wheel passing
  // over it must not change the game folder.
  void wheelEvent(QWheelEvent* event) override;

 private:
  void followDirList();

  TDirectoryListBox* dirList_ = nullptr;
  std::vector<std::string> roots_;
  // The folder last open on each root, as the home platform keeps one current folder per drive.
  std::map<std::string, std::string> lastFolder_;
};

}  // namespace pitkit
