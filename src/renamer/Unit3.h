#pragma once
// TForm3, the ".INF Editor" window (provisional: its contents are being written).
#include <QDialog>

namespace pitkit {

class TForm3 : public QDialog {
  Q_OBJECT
 public:
  explicit TForm3(QWidget* parent = nullptr);
};

}  // namespace pitkit
