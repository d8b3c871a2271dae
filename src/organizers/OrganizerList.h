#pragma once
// The green lists of the organizer pages: their items, the selection, counters and name boxes.
#include <QObject>
#include <QString>
#include <functional>
#include <QRect>
#include <string>
#include <vector>

class QLineEdit;
class QTreeWidget;
class QTreeWidgetItem;

namespace pitkit {

class OrganizerSearch;

// Queues a list item: caption, the folder the search reported, and the name of the file found
// (each kept as raw bytes: file names need not be valid UTF-8).
void addOrganizerItem(OrganizerSearch& search, QTreeWidget* list, const std::string& caption,
                      const std::string& folder, const std::string& fileName);

// The row a list's details and remembered paths follow: the one selected row, or among several
// the current one (the row with the focus) when it is selected, else the first selected in list
// order. nullptr without a selection.
QTreeWidgetItem* selectedItem(QTreeWidget* list);
// Every selected row the list shows, in list order.
std::vector<QTreeWidgetItem*> selectedRows(QTreeWidget* list);
std::string itemCaption(const QTreeWidgetItem* item);
std::string itemFolder(const QTreeWidgetItem* item);
std::string itemFileName(const QTreeWidgetItem* item);

// The first item of `list` whose folder is `folder` (compared after normalizePathLexically), or
// nullptr.
QTreeWidgetItem* itemWithFolder(QTreeWidget* list, const std::string& folder);

// Brings the tab page that holds `widget` to the front of its tab control, when it is on one.
void bringPageToFront(QWidget* widget);

// Clears a list in one update.
void clearList(QTreeWidget* list);

// Where a list stood before an action that fills it again: the selected row and the scroll
// position.
struct ListPlace {
  int row = -1;
  int scroll = 0;
};
ListPlace placeOf(QTreeWidget* list);
// Scrolls the refilled list back and selects the row that now stands at the remembered one (the
// last row when the list got shorter). A list that had no selection gets none.
void returnTo(QTreeWidget* list, const ListPlace& place);

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

// Keeps a page's lists filling its height: the lists grow and shrink with the page (never below a
// few rows), the controls below them keep their distance to the bottom edge.
class ListStretcher : public QObject {
 public:
  ListStretcher(QWidget* page, std::vector<QWidget*> stretching, std::vector<QWidget*> bottomAnchored);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct Placed {
    QWidget* widget;
    QRect design;
  };
  QWidget* page_;
  int designHeight_;
  std::vector<Placed> stretching_;
  std::vector<Placed> bottom_;
};

// Lets a page's pictures grow with it, keeping their shape: each grows by the smaller of the ratios
// by which the page's width and height have grown since it was first shown (never below its size
// in the layout). A page first shown in a window already enlarged counts from a little above the
// layout's size.
// Controls right of a picture (`beside`, and the pictures themselves) move right by what it widened;
// controls under the pictures (`below`) keep their place until a picture reaches them, and then
// stay just below it.
class PictureStretcher : public QObject {
 public:
  PictureStretcher(QWidget* page, std::vector<QWidget*> pictures, std::vector<QWidget*> beside,
                   std::vector<QWidget*> below);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct Placed {
    QWidget* widget;
    QRect design;
  };
  void arrange();

  QWidget* page_;
  QSize layoutSize_;
  QSize reference_;  // the page's size at its first showing, once it has been shown
  std::vector<Placed> pictures_;
  std::vector<Placed> beside_;
  std::vector<Placed> below_;
};

}  // namespace pitkit
