#pragma once
// What the level and car organizer pages share: their controls and searches as one description,
// the searching steps of Go, the list items and small helpers of the handlers.
#include <QObject>
#include <QString>
#include <functional>
#include <string>
#include <vector>

#include "shell/Unit1.h"

class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace pitkit {

// One organizer page as its shared steps see it.
struct OrganizerPage {
  TFindFile& installedSearch;
  TFindFile& uninstalledSearch;
  OrganizerSearch& search;
  QTreeWidget* installedList;
  QTreeWidget* uninstalledList;
  QPushButton* goButton;
  std::vector<QPushButton*> actions;  // Uninstall, Install and both Deletes
  const char* uninstalledFolder;      // "un_levels" or "garage"
  std::function<void()> go;           // the page's Go handler

  bool busy() const { return installedSearch.Busy() || uninstalledSearch.Busy(); }
};

OrganizerPage organizerPage(TForm1& form, TForm1::Organizer which);

// `gameDirectory` + separator + `folder` + separator.
std::string subFolder(const std::string& gameDirectory, const char* folder);

// Go from the creation of the uninstalled folder on: creates it when missing ("Cannot create
// <folder>" when that fails), clears both lists, disables Go and the actions (the actions until
// the searches end), and runs the installed search, then the uninstalled one unless the first
// became stale.
void runOrganizerSearches(TForm1& form, OrganizerPage& page);

// True when `folder` lies below `gameDirectory`/`parent` (compared after removing "." and "..").
// A search still reporting from an older game directory fails this and fills no list.
bool isBelowGameFolder(const std::string& folder, const std::string& gameDirectory,
                       const char* parent);

// Queues a list item: caption, the folder the search reported, and the name of the file found
// (each kept as raw bytes: file names need not be valid UTF-8).
void addOrganizerItem(OrganizerSearch& search, QTreeWidget* list, const std::string& caption,
                      const std::string& folder, const std::string& fileName);

QTreeWidgetItem* selectedItem(QTreeWidget* list);
std::string itemCaption(const QTreeWidgetItem* item);
std::string itemFolder(const QTreeWidgetItem* item);
std::string itemFileName(const QTreeWidgetItem* item);

// Clears a list in one update.
void clearList(QTreeWidget* list);

// A counter's text: the number and two blanks.
QString countText(int count);

// Shows a name whole even when it is longer than the box's typing limit; a limit of 0 means the
// box has none and is left as it is.
void showName(QLineEdit* box, const QString& name, int typingLimit);

// Runs a handler on every double click with the left button anywhere in a list, on an item or
// below the last one; the handler itself decides by the list's selection what to open.
class ListDoubleClick : public QObject {
 public:
  ListDoubleClick(QTreeWidget* list, std::function<void()> handler);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::function<void()> handler_;
};

}  // namespace pitkit
