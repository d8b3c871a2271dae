#include "organizers/OrganizerList.h"

#include <QEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTreeWidget>
#include <algorithm>

#include "organizers/FolderTransfer.h"
#include "organizers/OrganizerSearch.h"
#include "platform/ByteText.h"
#include "platform/NameCase.h"
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

bool isBelowGameFolder(const std::string& folder, const std::string& gameDirectory, const char* parent) {
  const std::string base = normalizePathLexically(findIgnoringCase(gameDirectory, parent)) + PathDelim;
  return includeTrailingDelim(normalizePathLexically(folder)).compare(0, base.size(), base) == 0;
}

void addOrganizerItem(OrganizerSearch& search, QTreeWidget* list, const std::string& caption,
                      const std::string& folder, const std::string& fileName) {
  auto* item = new QTreeWidgetItem;
  item->setText(0, nameText(caption));
  item->setData(0, kFolderRole, QByteArray::fromStdString(folder));
  item->setData(0, kCaptionRole, QByteArray::fromStdString(caption));
  item->setData(0, kFileNameRole, QByteArray::fromStdString(fileName));
  search.addItem(list, item);
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

}  // namespace pitkit
