#pragma once
// TForm5, the "Warning!" confirmation before a file of the levels file list is deleted. It does
// not name the file; "Yes" deletes the file selected in the list and re-reads the list.
#include <QDialog>

#include "ui_Unit5.h"

namespace pitkit {

class TForm1;

class TForm5 : public QDialog {
  Q_OBJECT
 public:
  explicit TForm5(TForm1* owner);

  Ui::Form5 ui;

  void OKBtnClick();
  void CancelBtnClick();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  TForm1* owner_;
};

}  // namespace pitkit
