// Provisional minimal folder list; the full widget is being written.
#include "platform/DirectoryListBox.h"

#include <QKeyEvent>

#include "platform/Errors.h"
#include "platform/FileListBox.h"
#include "platform/FileSystem.h"

namespace pitkit {

TDirectoryListBox::TDirectoryListBox(QWidget* parent) : QListWidget(parent) {
  directory_ = getCurrentDir();
}

void TDirectoryListBox::setDirectory(const std::string& path) {
  if (path.empty() || path == directory_) return;
  if (!directoryExists(path)) throw EInOutError(2);
  setCurrentDir(path);
  directory_ = path;
  if (fileList_ != nullptr) fileList_->setDirectory(directory_);
  emit directoryChanged();
}

void TDirectoryListBox::Update() { emit directoryChanged(); }
void TDirectoryListBox::setFileList(TFileListBox* fileList) { fileList_ = fileList; }
void TDirectoryListBox::keyPressEvent(QKeyEvent* event) { QListWidget::keyPressEvent(event); }
void TDirectoryListBox::openEntry(QListWidgetItem*) {}
void TDirectoryListBox::rebuild() {}

}  // namespace pitkit
