#include "shell/Unit6.h"

#include "platform/ErrorBox.h"
#include "platform/Fonts.h"
#include "shell/HelpTexts.h"
#include "shell/WindowPlace.h"

namespace pitkit {

TForm6::TForm6(QWidget* parent) : QDialog(parent) {
  ui.setupUi(this);
  setUpHelpWindow(this, QStringLiteral("Form6"));
  connect(ui.Button1, &QPushButton::clicked, this, guarded(this, [this] { Button1Click(); }));
  fitHelpWindow(this, QPoint(444, 317));
}

void TForm6::Button1Click() { close(); }

void TForm6::showEvent(QShowEvent* event) {
  if (!filled_) {
    filled_ = true;
    ui.Memo1->setPlainText(organizerHelpLines().join(QLatin1Char('\n')));
  }
  QDialog::showEvent(event);
}

}  // namespace pitkit
