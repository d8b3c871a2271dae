#pragma once
// The filter box of an organizer page: keeps, in both lists, only the rows whose caption or
// display name holds the typed text, and says how many rows show of how many. The display names
// are read on a worker as the lists fill; a row whose name has not arrived yet is found by its
// caption and tested again when its name comes.
#include <QObject>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "organizers/RowFilter.h"

class QLabel;
class QLineEdit;
class QTreeWidget;

namespace pitkit {

class DisplayNameReader;
struct DisplayNameRead;

class OrganizerFilter : public QObject {
 public:
  // Reads the display name of the item whose found file is `path` (the name line of its info or
  // parameter file); it runs on the worker and may throw, which leaves the name empty.
  using NameReader = std::function<std::string(const std::string& path)>;

  // Ctrl+F in the window focuses `box` while it shows; Escape in it clears it. `count` shows
  // "shown of all" for `lists`.
  OrganizerFilter(QLineEdit* box, QLabel* count, std::vector<QTreeWidget*> lists,
                  NameReader readName);
  ~OrganizerFilter() override;

 private:
  struct Row {
    FilterKey key;
    bool hidden = false;
  };
  struct ListRows {
    QTreeWidget* list;
    std::vector<Row> rows;
    // Counts the times the list was read again: a name read for an earlier one is not its row's.
    unsigned generation = 0;
    int hidden = 0;
  };

  void watch(int index);
  // Rows `first`..`last` were added at the end of a list: they are tested and their names asked
  // for.
  void rowsAdded(int index, int first, int last);
  // Rows went or came elsewhere than at the end: the list is read again from its items.
  void reread(int index);
  void textChanged();
  void namesRead(const std::vector<DisplayNameRead>& names);
  // Shows or hides the rows of `list` whose state the text changes, from row `from` on, in one
  // layout of the list.
  void applyTo(ListRows& list, int from);
  void setHidden(ListRows& list, int row, bool hide);
  // A selected row that is hidden is deselected, so that no action acts on a row not shown.
  static void dropHiddenSelection(QTreeWidget* list);
  void showCount();

  QLineEdit* box_;
  QLabel* count_;
  std::vector<ListRows> lists_;
  FilterText text_;
  std::unique_ptr<DisplayNameReader> reader_;
};

}  // namespace pitkit
