#include "platform/FileListBox.h"

#include <QLineEdit>
#include <QMouseEvent>
#include <algorithm>

#include "platform/ByteText.h"
#include "platform/CutTextTip.h"
#include "platform/DirectoryList.h"
#include "platform/FocusFrame.h"
#include "platform/Mask.h"
#include "platform/Paths.h"

namespace pitkit {

std::vector<std::string> listMatchingFiles(const std::string& folder, const std::string& mask) {
  // Each name with its sort key (ASCII upper case), so the key is made once per name.
  std::vector<std::pair<std::string, std::string>> keyed;
  if (!folder.empty()) {
    try {
      for (DirectoryEntry& entry : listDirectory(folder)) {
        if (!entry.isRegularFile || entry.isHidden || !matchesMask(entry.name, mask)) continue;
        std::string key = upperAscii(entry.name);
        keyed.emplace_back(std::move(key), std::move(entry.name));
      }
    } catch (const std::exception&) {
      // A folder that vanished or cannot be read shows as empty: the list shows what is there.
      keyed.clear();
    }
  }
  std::sort(keyed.begin(), keyed.end());
  std::vector<std::string> names;
  names.reserve(keyed.size());
  for (auto& [key, name] : keyed) names.push_back(std::move(name));
  return names;
}

TFileListBox::TFileListBox(QWidget* parent) : QListWidget(parent) {
  setSelectionMode(QAbstractItemView::SingleSelection);
  // Every row is one line of text; equal heights keep a folder of many files quick to show.
  setUniformItemSizes(true);
  showFocusedRow(this);
  showCutTextAsTooltip(this);
  // The name box follows the selected file. Keyboard focus alone marks a row as current without
  // selecting it, and a click makes the row current before it selects it: both signals are
  // watched, and only a selected current row is shown. A click beside the files clears the
  // selection, and the box shows the mask again.
  connect(this, &QListWidget::currentRowChanged, this, &TFileListBox::showSelected);
  connect(this, &QListWidget::itemSelectionChanged, this, [this] {
    if (fileEdit_ != nullptr && selectedItems().isEmpty())
      fileEdit_->setText(QString::fromStdString(mask_));
    else
      showSelected(currentRow());
  });
}

void TFileListBox::setDirectory(const std::string& path) {
  if (path == directory_) return;
  directory_ = path;
  Update();
}

void TFileListBox::Update() {
  const QSignalBlocker blocker(this);
  clear();
  names_ = listMatchingFiles(directory_, mask_);
  QStringList captions;
  captions.reserve(static_cast<qsizetype>(names_.size()));
  for (const std::string& name : names_) captions << nameText(name);
  addItems(captions);
  setCurrentRow(-1);
  clearSelection();
  if (fileEdit_ != nullptr) fileEdit_->setText(QString::fromStdString(mask_));
}

std::string TFileListBox::FileName() const {
  const int row = currentRow();
  if (row < 0 || static_cast<std::size_t>(row) >= names_.size() || !item(row)->isSelected() ||
      directory_.empty())
    return std::string();
  return includeTrailingDelim(directory_) + names_[static_cast<std::size_t>(row)];
}

void TFileListBox::setFileEdit(QLineEdit* edit) {
  fileEdit_ = edit;
  if (fileEdit_ != nullptr) fileEdit_->setText(QString::fromStdString(mask_));
}

void TFileListBox::showSelected(int row) {
  if (fileEdit_ == nullptr || row < 0 || item(row) == nullptr || !item(row)->isSelected()) return;
  fileEdit_->setText(item(row)->text());
}

void TFileListBox::mouseDoubleClickEvent(QMouseEvent* event) {
  QListWidget::mouseDoubleClickEvent(event);
  emit dblClick();
}

}  // namespace pitkit
