#pragma once
// One organizer page (levels or cars): Go with its two searches, the lists and counters, the
// details of a selected item, and Install, Uninstall and Delete. Made once per side from that
// side's description.
#include <string>

#include "organizers/OrganizerSearch.h"
#include "organizers/OrganizerSide.h"

class QStatusBar;
class QWidget;

namespace pitkit {

struct TSearchRec;

// The paths of the item last selected in each list: source and destination of Uninstall (and of
// Delete on the installed side), of Install (and of Delete on the uninstalled side). The owner
// keeps them, so they can be read before the page's controls are made.
struct OrganizerPaths {
  std::string UninstallFrom;
  std::string UninstallTo;
  std::string InstallFrom;
  std::string InstallTo;
};

// The work of one organizer page; the main window's handlers forward to it.
class OrganizerPage {
 public:
  // `window` owns the dialogs and shows the errors; `statusBar` shows the folder being searched.
  OrganizerPage(QWidget* window, QStatusBar* statusBar, GameDirectory& gameDirectory, OrganizerSide side,
                OrganizerPaths& paths);

  // The fields of the paths given.
  std::string& UninstallFrom;
  std::string& UninstallTo;
  std::string& InstallFrom;
  std::string& InstallTo;

  // Go: empties both lists and fills them again from the two searches.
  void go();
  void newFolder(TFindFile* sender, const std::string& folder);
  void installedFound(TFindFile* sender, const std::string& folder, TSearchRec& fileInfo);
  void uninstalledFound(TFindFile* sender, const std::string& folder, TSearchRec& fileInfo);
  void installedComplete();
  void uninstalledComplete();
  // A selection in a list: remembers its paths and shows its details.
  void installedSelectionChange();
  void uninstalledSelectionChange();
  // Opens the found file of the selected item in the desktop's program for it.
  void installedDoubleClick();
  void uninstalledDoubleClick();
  void uninstall();
  void install();
  void deleteInstalled();
  void deleteUninstalled();
  // The window closes: the remembered paths and the lists are emptied.
  void forget();

 private:
  void connectControls(QWidget* window);
  void followGameFolder(const std::string& folder);
  void runSearches();
  void found(TFindFile* sender, QTreeWidget* list, const CaptionRule& rule, bool installed,
             const std::string& folder, const std::string& fileName);
  void selectionChange(QTreeWidget* list, bool uninstalled);
  void moveFolder(QTreeWidget* list, std::string from, std::string to, const char* verb);
  std::string destinationIgnoringCase(const std::string& to) const;
  void deleteFolder(QTreeWidget* list, std::string folder);
  bool busy() const;

  QWidget* window_;
  QStatusBar* statusBar_;
  GameDirectory& game_;
  OrganizerSide side_;
  // The running search, with its stale-search state and event pump.
  OrganizerSearch search_;
};

}  // namespace pitkit
