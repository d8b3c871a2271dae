#pragma once
// "Pack as Zip..." in the context menu of an organizer page's two lists: the level or car of the
// selected row written to a zip the user names, in the progress window with Cancel.
#include <QString>
#include <functional>

class QStatusBar;
class QTreeWidget;
class QWidget;

namespace pitkit {

class GameDirectory;
struct OrganizerSide;

// The pack entry of one organizer page.
class OrganizerPack {
 public:
  // Adds the entry (a QAction named "PackAsZip") to both lists of `side`. `busy` tells when the
  // page's search is filling the lists, which the pack then leaves alone.
  OrganizerPack(QWidget* window, QStatusBar* statusBar, GameDirectory& gameDirectory, const OrganizerSide& side,
                std::function<bool()> busy);

  // Asks where to write the zip of the row selected in `list` (the installed list, or the
  // uninstalled one) and writes it; the status bar says what was done.
  void pack(QTreeWidget* list, bool installed);

 private:
  QWidget* window_;
  QStatusBar* statusBar_;
  GameDirectory& game_;
  bool cars_;
  std::function<bool()> busy_;
};

}  // namespace pitkit
