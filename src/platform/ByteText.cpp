#include "platform/ByteText.h"

#include <QLineEdit>
#include <QVariant>

#include "platform/Charset.h"
namespace pitkit {

namespace {
constexpr const char* kBytes = "pitkitBytes";
constexpr const char* kShown = "pitkitShownBytes";
}  // namespace

QString nameText(const std::string& bytes) { return QString::fromStdString(nameToUtf8(bytes)); }

void setByteText(QLineEdit* edit, const std::string& bytes) {
  const QString shown = nameText(bytes);
  // Kept before the text is set: the box's change handlers read the bytes back at once.
  edit->setProperty(kBytes, QByteArray::fromStdString(bytes));
  edit->setProperty(kShown, shown);
  edit->setText(shown);
}

std::string byteText(const QLineEdit* edit) {
  const QVariant shown = edit->property(kShown);
  if (shown.isValid() && shown.toString() == edit->text()) return edit->property(kBytes).toByteArray().toStdString();
  return edit->text().toStdString();
}

}  // namespace pitkit
