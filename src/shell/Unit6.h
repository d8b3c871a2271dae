#pragma once
// TForm6, the "Orginizer Help" window: one editable text and a Close button. Created once, shown
// modally, hidden (not destroyed) when closed, so typed text stays for the rest of the run.
#include <QDialog>

#include "ui_Unit6.h"

namespace pitkit {

class TForm6 : public QDialog {
  Q_OBJECT
 public:
  explicit TForm6(QWidget* parent = nullptr);
  Ui::Form6 ui;

  void Button1Click();

 protected:
  // The text is put in the first time the window is shown; after that it keeps what was typed.
  void showEvent(QShowEvent* event) override;

 private:
  bool filled_ = false;
};

}  // namespace pitkit
