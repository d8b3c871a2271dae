#pragma once
// The drive selector. On Linux the "drives" are the mounted file systems' roots and the drive_c
// folders of the Wine, Proton, Lutris and Bottles prefixes; on Windows they are the logical drives
// ("C: (local disk)"). Choosing one opens it in the attached folder list, and the selector always
// shows the one holding the open folder. They are read on workers (a stopped network or FUSE
// mount can hold whoever looks at it) and shown once read.
#include <QComboBox>
#include <functional>
#include <map>
#include <memory>
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
// The longest of `roots` that holds `folder` ("/" when none does); on Windows letter case is
// ignored.
std::string holdingRoot(const std::vector<std::string>& roots, const std::string& folder);

class TDriveComboBox : public QComboBox {
  Q_OBJECT
 public:
  explicit TDriveComboBox(QWidget* parent = nullptr);
  ~TDriveComboBox() override;
  // Attaches the folder list: the selector follows its open folder from now on.
  void setDirList(TDirectoryListBox* dirList);
  // The mount root holding the list's open folder.
  std::string Drive() const;
  // Opens `root` in the folder list: the folder last open on that root if it still exists, else
  // the root itself. Errors of the folder list propagate.
  void setDrive(const std::string& root);
  // Reads the mounted file systems and the prefixes' drives again, each on a worker; the entries
  // change as they arrive. A reading still under way is not started twice.
  void refreshRoots();

 signals:
  // Both readings have arrived and are shown.
  void rootsRefreshed();

 protected:
  // The mounted file systems are read again each time the list opens, so a newly mounted one
  // can be chosen.
  void showPopup() override;
  // The wheel turns through the drives only while the selector has the focus: a wheel passing
  // over it must not change the game folder.
  void wheelEvent(QWheelEvent* event) override;

 private:
  struct Mailbox;
  using Roots = std::vector<std::string>;
  // Each drive's caption by its root (Windows).
  using Captions = std::map<std::string, std::string>;
  // Runs `read` on a thread of its own and hands its result to `take` on this selector's thread,
  // unless the selector is gone by then. A reading held in a stopped mount is left there.
  template <class Found>
  void readOnWorker(std::function<Found()> read, void (TDriveComboBox::*take)(Found));
  void takeMountRoots(Roots roots);
  void takeDriveCaptions(Captions captions);
  void takePrefixDrives(Roots drives);
  void showRoots();
  void followDirList();

  TDirectoryListBox* dirList_ = nullptr;
  std::shared_ptr<Mailbox> mailbox_;
  Roots mountRoots_;
  Roots prefixDrives_;
  bool readingMounts_ = false;
  bool readingPrefixes_ = false;
  Captions captions_;
  std::vector<std::string> roots_;
  // The folder last open on each root, as the home platform keeps one current folder per drive.
  std::map<std::string, std::string> lastFolder_;
};

}  // namespace pitkit
