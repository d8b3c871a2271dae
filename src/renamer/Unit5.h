#pragma once
// TForm5, the "Warning!" confirmation before a file of the levels file list is deleted. It does
// not name the file; "Yes" deletes the file selected in the list and re-reads the list.
#include <QDialog>

#include "ui_Unit5.h"

namespace pitkit {

class TFileListBox;

// The delete confirmation window.
class TForm5 : public QDialog {
  Q_OBJECT
 public:
  // Yes deletes the file selected in `fileList`.
  explicit TForm5(QWidget* owner, TFileListBox* fileList = nullptr);

  Ui::Form5 ui;

  void OKBtnClick();
  void CancelBtnClick();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  TFileListBox* fileList_;
};

}  // namespace pitkit
