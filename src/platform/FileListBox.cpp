// Provisional minimal file list; the full widget is being written.
#include "platform/FileListBox.h"

namespace pitkit {

TFileListBox::TFileListBox(QWidget* parent) : QListWidget(parent) {}
void TFileListBox::setDirectory(const std::string& path) {
  if (path == directory_) return;
  directory_ = path;
  Update();
}
void TFileListBox::Update() {}
std::string TFileListBox::FileName() const { return std::string(); }

}  // namespace pitkit
