#pragma once
// TForm6, the "Orginizer Help" window (provisional: its contents are being written).
#include <QDialog>

namespace pitkit {

class TForm6 : public QDialog {
  Q_OBJECT
 public:
  explicit TForm6(QWidget* parent = nullptr);
};

}  // namespace pitkit
