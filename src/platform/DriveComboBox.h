#pragma once
// The drive selector. On Linux the "drives" are the mounted file systems' roots; choosing one opens
// it in the attached folder list, and the selector always shows the one holding the open folder.
#include <QComboBox>
#include <string>

namespace pitkit {

class TDirectoryListBox;

class TDriveComboBox : public QComboBox {
  Q_OBJECT
 public:
  explicit TDriveComboBox(QWidget* parent = nullptr);
  void setDirList(TDirectoryListBox* dirList);
  // The mount root holding the list's open folder.
  std::string Drive() const;

 private:
  TDirectoryListBox* dirList_ = nullptr;
};

}  // namespace pitkit
