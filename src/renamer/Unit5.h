#pragma once
// TForm5, the "Warning!" window (provisional: its contents are being written).
#include <QDialog>

namespace pitkit {

class TForm5 : public QDialog {
  Q_OBJECT
 public:
  explicit TForm5(QWidget* parent = nullptr);
};

}  // namespace pitkit
