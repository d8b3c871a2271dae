#pragma once
// TForm2, the "Help" window (provisional: its contents are being written).
#include <QDialog>

namespace pitkit {

class TForm2 : public QDialog {
  Q_OBJECT
 public:
  explicit TForm2(QWidget* parent = nullptr);
};

}  // namespace pitkit
