#include "organizers/OrganizerList.h"

#include <QEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTreeWidget>
#include <algorithm>
#include <utility>

#include "organizers/OrganizerSearch.h"
#include "platform/ByteText.h"

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
  return items.isEmpty() ? nullptr : items.first();
}

std::string itemCaption(const QTreeWidgetItem* item) { return itemBytes(item, kCaptionRole); }
std::string itemFolder(const QTreeWidgetItem* item) { return itemBytes(item, kFolderRole); }
std::string itemFileName(const QTreeWidgetItem* item) { return itemBytes(item, kFileNameRole); }

void clearList(QTreeWidget* list) {
  list->setUpdatesEnabled(false);
  list->clear();
  list->setUpdatesEnabled(true);
}

QString countText(int count) { return QString::asprintf("%d  ", count); }

void showName(QLineEdit* box, const QString& name, int typingLimit) {
  if (typingLimit > 0) box->setMaxLength(std::max(typingLimit, static_cast<int>(name.size())));
  box->setText(name);
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

}  // namespace pitkit
