#include "organizers/OrganizerList.h"

#include <QEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTabWidget>
#include <QTreeWidget>
#include <algorithm>
#include <utility>

#include "organizers/OrganizerSearch.h"
#include "platform/ByteText.h"
#include "platform/Paths.h"

namespace pitkit {

namespace {

// Item data: the folder the search reported, the caption and the found file's name, as bytes.
constexpr int kFolderRole = Qt::UserRole;
constexpr int kCaptionRole = Qt::UserRole + 1;
constexpr int kFileNameRole = Qt::UserRole + 2;

std::string itemBytes(const QTreeWidgetItem* item, int role) {
  return item->data(0, role).toByteArray().toStdString();
}

}  // namespace

void addOrganizerItem(OrganizerSearch& search, QTreeWidget* list, const std::string& caption,
                      const std::string& folder, const std::string& fileName) {
  auto* item = new QTreeWidgetItem;
  item->setText(0, nameText(caption));
  item->setData(0, kFolderRole, QByteArray::fromStdString(folder));
  item->setData(0, kCaptionRole, QByteArray::fromStdString(caption));
  item->setData(0, kFileNameRole, QByteArray::fromStdString(fileName));
  search.addItem(list, item);
}

ListPlace placeOf(QTreeWidget* list) {
  QTreeWidgetItem* item = selectedItem(list);
  return {item == nullptr ? -1 : list->indexOfTopLevelItem(item), list->verticalScrollBar()->value()};
}

void returnTo(QTreeWidget* list, const ListPlace& place) {
  const int count = list->topLevelItemCount();
  if (place.row < 0 || count == 0) return;
  // The scroll range follows the new rows only once they are laid out.
  list->doItemsLayout();
  list->verticalScrollBar()->setValue(place.scroll);
  QTreeWidgetItem* item = list->topLevelItem(std::min(place.row, count - 1));
  list->setCurrentItem(item);
  list->scrollToItem(item);
}

QTreeWidgetItem* selectedItem(QTreeWidget* list) {
  const QList<QTreeWidgetItem*> items = list->selectedItems();
  if (items.size() <= 1) return items.isEmpty() ? nullptr : items.first();
  QTreeWidgetItem* current = list->currentItem();
  if (current != nullptr && current->isSelected()) return current;
  const std::vector<QTreeWidgetItem*> shown = selectedRows(list);
  return shown.empty() ? items.first() : shown.front();
}

std::vector<QTreeWidgetItem*> selectedRows(QTreeWidget* list) {
  // The items keep their own selected flag, so one pass over the rows is enough. A row the list
  // does not show (a filter hides it) is not acted on.
  std::vector<QTreeWidgetItem*> rows;
  for (int row = 0; row < list->topLevelItemCount(); ++row)
    if (QTreeWidgetItem* item = list->topLevelItem(row); item->isSelected() && !item->isHidden()) rows.push_back(item);
  return rows;
}

std::string itemCaption(const QTreeWidgetItem* item) { return itemBytes(item, kCaptionRole); }
std::string itemFolder(const QTreeWidgetItem* item) { return itemBytes(item, kFolderRole); }
std::string itemFileName(const QTreeWidgetItem* item) { return itemBytes(item, kFileNameRole); }

QTreeWidgetItem* itemWithFolder(QTreeWidget* list, const std::string& folder) {
  const std::string wanted = normalizePathLexically(folder);
  for (int row = 0; row < list->topLevelItemCount(); ++row)
    if (normalizePathLexically(itemFolder(list->topLevelItem(row))) == wanted) return list->topLevelItem(row);
  return nullptr;
}

void bringPageToFront(QWidget* widget) {
  // A tab control keeps its pages in a stack of its own.
  for (QWidget* page = widget; page != nullptr; page = page->parentWidget()) {
    QWidget* stack = page->parentWidget();
    auto* tabs = stack == nullptr ? nullptr : qobject_cast<QTabWidget*>(stack->parentWidget());
    if (tabs != nullptr && tabs->indexOf(page) >= 0) {
      tabs->setCurrentWidget(page);
      return;
    }
  }
}

void clearList(QTreeWidget* list) {
  list->setUpdatesEnabled(false);
  list->clear();
  list->setUpdatesEnabled(true);
}

QString countText(int count) { return QString::asprintf("%d  ", count); }

void showName(QLineEdit* box, const QString& name, int typingLimit) {
  if (typingLimit > 0) box->setMaxLength(std::max(typingLimit, static_cast<int>(name.size())));
  box->setText(name);
  // A long name shows its start; the tooltip has the rest.
  box->setCursorPosition(0);
}

ListDoubleClick::ListDoubleClick(QTreeWidget* list, std::function<void()> handler)
    : QObject(list), handler_(std::move(handler)) {
  list->viewport()->installEventFilter(this);
}

bool ListDoubleClick::eventFilter(QObject*, QEvent* event) {
  if (event->type() == QEvent::MouseButtonDblClick &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
    handler_();
  return false;
}

ListStretcher::ListStretcher(QWidget* page, std::vector<QWidget*> stretching, std::vector<QWidget*> bottomAnchored)
  : QObject(page), page_(page), designHeight_(page->height()) {
  for (QWidget* w : stretching) stretching_.push_back({w, w->geometry()});
  for (QWidget* w : bottomAnchored) bottom_.push_back({w, w->geometry()});
  page->installEventFilter(this);
}

bool ListStretcher::eventFilter(QObject* watched, QEvent* event) {
  if (watched == page_ && event->type() == QEvent::Resize) {
    // Never shrink the lists below a few rows.
    const int delta = std::max(page_->height() - designHeight_, -120);
    for (const auto& [w, r] : stretching_) w->setGeometry(r.x(), r.y(), r.width(), r.height() + delta);
    for (const auto& [w, r] : bottom_) w->move(r.x(), r.y() + delta);
  }
  return false;
  }

PictureStretcher::PictureStretcher(QWidget* page, std::vector<QWidget*> pictures, std::vector<QWidget*> beside,
                                   std::vector<QWidget*> below)
    : QObject(page), page_(page), layoutSize_(page->size()) {
  for (QWidget* w : pictures) pictures_.push_back({w, w->geometry()});
  for (QWidget* w : beside) beside_.push_back({w, w->geometry()});
  for (QWidget* w : below) below_.push_back({w, w->geometry()});
  page->installEventFilter(this);
}

bool PictureStretcher::eventFilter(QObject* watched, QEvent* event) {
  if (watched != page_ || (event->type() != QEvent::Resize && event->type() != QEvent::Show)) return false;
  // The page's size in the window's first size, which its frame and tabs make a little larger
  // than the layout's, is where the pictures have the layout's size.
  if (event->type() == QEvent::Show && !reference_.isValid())
    reference_ = page_->size().boundedTo(layoutSize_ * 1.1).expandedTo(layoutSize_);
  if (reference_.isValid()) arrange();
  return false;
}

void PictureStretcher::arrange() {
  const double scale = std::max(1.0, std::min(static_cast<double>(page_->width()) / reference_.width(),
                                              static_cast<double>(page_->height()) / reference_.height()));
  // How far a control whose left edge is at `x` moves right: by what the pictures left of it widened.
  const auto shift = [&](int x) {
    int dx = 0;
    for (const auto& [w, r] : pictures_)
      if (r.right() < x) dx += static_cast<int>(r.width() * scale + 0.5) - r.width();
    return dx;
  };
  std::vector<QRect> placed;
  for (const auto& [w, r] : pictures_) {
    const QRect grown(r.x() + shift(r.x()), r.y(), static_cast<int>(r.width() * scale + 0.5),
                      static_cast<int>(r.height() * scale + 0.5));
    w->setGeometry(grown);
    placed.push_back(grown);
  }
  for (const auto& [w, r] : beside_) w->move(r.x() + shift(r.x()), r.y());
  constexpr int kGap = 8;
  for (const auto& [w, r] : below_) {
    int y = r.y();
    for (const QRect& picture : placed)
      if (picture.left() <= r.right() && r.left() <= picture.right()) y = std::max(y, picture.bottom() + 1 + kGap);
    w->move(r.x(), y);
  }
}

}  // namespace pitkit
