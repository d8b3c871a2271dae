#pragma once
// TForm2, the renamer's "Help" window: a numbered picture of the renamer's controls and the
// fifteen explanations. Created once, shown modally, hidden (not destroyed) when closed.
#include <QDialog>

#include "ui_unit2.h"

namespace pitkit {

class TForm2 : public QDialog {
  Q_OBJECT
 public:
  explicit TForm2(QWidget* parent = nullptr);
  Ui::Form2 ui;

  void Button1Click();

 protected:
  // The picture is loaded the first time the window is shown, not at start-up.
  void showEvent(QShowEvent* event) override;
};

}  // namespace pitkit
