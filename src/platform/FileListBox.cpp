#include "platform/FileListBox.h"

#include <QLineEdit>
#include <QMouseEvent>
#include <algorithm>

#include "platform/DirectoryList.h"
#include "platform/Mask.h"
#include "platform/Paths.h"

namespace pitkit {

namespace {
// The exact bytes of a listed name; the shown text is only its UTF-8 reading.
constexpr int kNameRole = Qt::UserRole;
}  // namespace

std::vector<std::string> listMatchingFiles(const std::string& folder, const std::string& mask) {
  std::vector<std::string> names;
  if (folder.empty()) return names;
  try {
    for (const DirectoryEntry& entry : listDirectory(folder)) {
      if (!entry.isRegularFile || entry.isHidden) continue;
      if (matchesMask(entry.name, mask)) names.push_back(entry.name);
    }
  } catch (const std::exception&) {
    // A folder that vanished or cannot be read shows as empty: the list shows what is there.
    names.clear();
  }
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    const std::string ua = upperAscii(a);
    const std::string ub = upperAscii(b);
    return ua != ub ? ua < ub : a < b;
  });
  return names;
}

TFileListBox::TFileListBox(QWidget* parent) : QListWidget(parent) {
  setSelectionMode(QAbstractItemView::SingleSelection);
  connect(this, &QListWidget::currentRowChanged, this, &TFileListBox::showSelected);
}

void TFileListBox::setDirectory(const std::string& path) {
  if (path == directory_) return;
  directory_ = path;
  Update();
}

void TFileListBox::Update() {
  const QSignalBlocker blocker(this);
  clear();
  for (const std::string& name : listMatchingFiles(directory_, mask_)) {
    auto* item = new QListWidgetItem(QString::fromStdString(name), this);
    item->setData(kNameRole, QByteArray::fromStdString(name));
  }
  setCurrentRow(-1);
  clearSelection();
  if (fileEdit_ != nullptr) fileEdit_->setText(QString::fromStdString(mask_));
}

std::string TFileListBox::FileName() const {
  const QListWidgetItem* item = currentItem();
  if (item == nullptr || !item->isSelected() || directory_.empty()) return std::string();
  const std::string name = item->data(kNameRole).toByteArray().toStdString();
  return includeTrailingDelim(directory_) + name;
}

void TFileListBox::setFileEdit(QLineEdit* edit) {
  fileEdit_ = edit;
  if (fileEdit_ != nullptr) fileEdit_->setText(QString::fromStdString(mask_));
}

void TFileListBox::showSelected(int row) {
  if (fileEdit_ == nullptr || row < 0) return;
  fileEdit_->setText(item(row)->text());
}

void TFileListBox::mouseDoubleClickEvent(QMouseEvent* event) {
  QListWidget::mouseDoubleClickEvent(event);
  emit dblClick();
}

}  // namespace pitkit
