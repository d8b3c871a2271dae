#pragma once
// The two organizer pages described side by side, so that one test can run over both: their
// folders, the object names of their controls, the working-state names they fill, and how an item
// of each is made.
#include <QLineEdit>
#include <QPushButton>
#include <QString>
#include <QTreeWidget>
#include <string>

#include "shell/Unit1.h"

namespace pitkit::test {

// An organizer page's controls in one window.
struct OrganizerControls {
  QWidget* page;
  QPushButton* go;
  QTreeWidget *installed, *uninstalled;
  QPushButton *uninstall, *install, *deleteInstalled, *deleteUninstalled;
  QLineEdit *installedCount, *totalCount, *uninstalledCount;  // custom installed, all installed, uninstalled
  QLineEdit *installedName, *uninstalledName;
};

struct OrganizerTab {
  const char* name;                          // "level" or "car"
  std::string installedTop, uninstalledTop;  // levels and un_levels, cars and garage
  QString page, go, installedList, uninstalledList;
  QString uninstall, install, deleteInstalled, deleteUninstalled;
  QString installedCount, totalCount, uninstalledCount, installedName, uninstalledName;
  std::string& (*uninstallFrom)(TForm1&);
  std::string& (*uninstallTo)(TForm1&);
  std::string& (*installFrom)(TForm1&);
  std::string& (*installTo)(TForm1&);
  int stockItems;  // the game's own levels or cars, counted in the total
  // Writes an item whose shown name is `shownName` into the folder `folder` (a full path).
  void (*writeItem)(const std::string& folder, const std::string& shownName);
  // The file the search finds for the item in `folderName` (what a double click opens).
  std::string (*foundFile)(const std::string& folderName);

  OrganizerControls controls(const TForm1& form) const;
};

const OrganizerTab& levelSide();
const OrganizerTab& carSide();
// "level" or "car": for the rows of a test over both pages.
const OrganizerTab& sideNamed(const QString& name);

// Clicks the page's Go, which must be enabled.
void clickGo(const OrganizerControls& page);
void clickGo(const TForm1& form, const OrganizerTab& side);

// QTest data rows "level" and "car", with one column "side" holding the name.
void addSideRows();

}  // namespace pitkit::test
