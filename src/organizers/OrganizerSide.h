#pragma once
// The description of one organizer page's side of the game (levels or cars): what an
// OrganizerPage needs to know to search, list, count, show and move that kind of content.
#include <functional>
#include <string>
#include <vector>

#include "history/History.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QWidget;

namespace pitkit {

class GameDirectory;
class TFindFile;

// Shows the item selected in either list of a page; made once per kind of content.
class OrganizerDetails {
 public:
  virtual ~OrganizerDetails() = default;
  // The lists were emptied (Go, another game folder): what acts on a listed item is withdrawn.
  virtual void withdraw() {}
  // Shows the item `caption` whose found file is `fileName`, from the installed list or, with
  // `uninstalled`, from the other one. Reads what it shows first, so that a read failure leaves
  // the details as they were.
  virtual void show(const std::string& caption, const std::string& fileName, bool uninstalled) = 0;
};

// The list caption of a file `fileName` that a search found in `folder`, or "" to leave it out.
using CaptionRule = std::function<std::string(const GameDirectory& game, const std::string& folder,
                                              const std::string& fileName)>;

struct OrganizerSide {
  // The game's folders of this content: installed (levels, cars) and uninstalled (un_levels,
  // garage).
  const char* installedFolder;
  const char* uninstalledFolder;
  // What the searches look for: the file name mask and the text that marks the file.
  const char* fileMask;
  const char* marker;
  TFindFile& installedSearch;
  TFindFile& uninstalledSearch;

  QTreeWidget* installedList;
  QTreeWidget* uninstalledList;
  QPushButton* goButton;
  QPushButton* uninstallButton;
  QPushButton* installButton;
  QPushButton* deleteInstalledButton;
  QPushButton* deleteUninstalledButton;
  // Counters: installed items, uninstalled items, and installed items + the game's own.
  QLineEdit* installedCount;
  QLineEdit* uninstalledCount;
  QLineEdit* totalCount;
  int stockCount;
  // The "Selected Directory:" display and its label; the boxes that show an item's name.
  QLabel* selectedDirectory;
  QWidget* selectedDirectoryLabel;
  std::vector<QWidget*> nameBoxes;

  CaptionRule installedCaption;
  CaptionRule uninstalledCaption;
  // True for an installed item that belongs to the game itself and is never listed.
  std::function<bool(const std::string& caption, const std::string& fileName)> isStock;
  OrganizerDetails& details;

  // Go refuses a game folder without the installed folder with this text (nullptr: no test).
  const char* missingInstalledFolderError;
  // Go points both searches at their folders again before it runs them.
  bool goSetsSearchFolders;
  // The filter box above the lists and the count of rows it shows beside it (none: no filter),
  // and the display name of an item whose found file is `path`, read for it on a worker.
  QLineEdit* filterBox = nullptr;
  QLabel* filterCount = nullptr;
  std::function<std::string(const std::string& path)> readDisplayName;
  // What one item is called where the page names it ("Level", "Car").
  const char* itemKind;
  // What the history calls this side's items.
  ItemKind historyKind = ItemKind::Level;
};

}  // namespace pitkit
