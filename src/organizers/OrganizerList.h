#pragma once
// The green lists of the organizer pages: their items, the selection, counters and name boxes.
#include <QObject>
#include <QString>
#include <functional>
#include <string>

class QLineEdit;
class QTreeWidget;
class QTreeWidgetItem;

namespace pitkit {

class OrganizerSearch;

// True when `folder` lies below `gameDirectory`/`parent`, `parent` in whatever letter case the game
// has it (compared after removing "." and "..").
// A search still reporting from an older game directory fails this and fills no list.
bool isBelowGameFolder(const std::string& folder, const std::string& gameDirectory, const char* parent);

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
