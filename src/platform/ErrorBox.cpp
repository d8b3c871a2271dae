#include "platform/ErrorBox.h"

#include <QMessageBox>

#include "platform/ByteText.h"
#include "platform/Errors.h"

namespace pitkit {

void showErrorBox(QWidget* parent, const QString& message) {
  const std::string text = withFullStop(message.toStdString());
  QMessageBox box(QMessageBox::Critical, QString::fromUtf8(kApplicationTitle), QString::fromStdString(text),
                  QMessageBox::Ok, parent);
  box.setObjectName(QStringLiteral("ErrorBox"));
  box.exec();
}

void runGuarded(QWidget* parent, const std::function<void()>& handler) {
  try {
    handler();
  } catch (const std::exception& e) {
    showErrorBox(parent, nameText(e.what()));
  }
}

}  // namespace pitkit
