// Provisional minimal drive selector; the full widget is being written.
#include "platform/DriveComboBox.h"

namespace pitkit {

TDriveComboBox::TDriveComboBox(QWidget* parent) : QComboBox(parent) {}
void TDriveComboBox::setDirList(TDirectoryListBox* dirList) { dirList_ = dirList; }
std::string TDriveComboBox::Drive() const { return "/"; }

}  // namespace pitkit
