#include "shell/Fonts.h"

#include <QFontDatabase>
#include <QHash>
#include <QStringList>
#include <QWidget>

namespace pitkit {

namespace {

// The families tried, in order, for each font the windows ask for.
QStringList candidates(const QString& family) {
  if (family == QStringLiteral("MS Sans Serif"))
    return {family, QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Liberation Sans Narrow"),
            QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("DejaVu Sans")};
  if (family == QStringLiteral("Myriad Roman"))
    return {family, QStringLiteral("Myriad Pro"), QStringLiteral("Liberation Sans Narrow"),
            QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("DejaVu Sans")};
  if (family == QStringLiteral("Scratch"))
    return {family, QStringLiteral("Comic Neue"), QStringLiteral("DejaVu Serif")};
  return {family};
}

// The first candidate the machine has, looked up once per family: asking the font system for a
// family it lacks makes every font load search for a substitute.
QString resolvedFamily(const QString& family) {
  static QHash<QString, QString> cache;
  const auto found = cache.constFind(family);
  if (found != cache.constEnd()) return *found;
  // The installed families are listed once; hasFamily() would ask the font system to resolve
  // aliases for every name tried, which costs far more.
  static const QStringList installed = QFontDatabase::families();
  QString chosen;
  for (const QString& candidate : candidates(family)) {
    if (installed.contains(candidate, Qt::CaseInsensitive)) {
      chosen = candidate;
      break;
    }
  }
  cache.insert(family, chosen);
  return chosen;
}

}  // namespace

void registerFontFallbacks() {
  static const bool registered = [] {
    for (const QString& family :
         {QStringLiteral("MS Sans Serif"), QStringLiteral("Myriad Roman"), QStringLiteral("Scratch")})
      QFont::insertSubstitutions(family, candidates(family).mid(1));
    return true;
  }();
  (void)registered;
}

QFont namedFont(const QString& family, int pixelSize, bool bold, bool italic) {
  const QString resolved = resolvedFamily(family);
  // No family found: the toolkit's own matching (with the substitutions above) still applies.
  QFont font(resolved.isEmpty() ? family : resolved);
  font.setStyleHint(family == QStringLiteral("Scratch") ? QFont::Decorative : QFont::SansSerif);
  font.setPixelSize(pixelSize);
  font.setBold(bold);
  font.setItalic(italic);
  return font;
}

void setColour(QWidget* widget, QPalette::ColorRole role, const QColor& colour) {
  QPalette palette = widget->palette();
  palette.setColor(role, colour);
  widget->setPalette(palette);
}


void applyOrganizerPageLook(const OrganizerPageLook& look) {
  const QColor green(0, 128, 0);
  for (QWidget* box : look.greenBoxes) {
    setColour(box, QPalette::Base, green);
    setColour(box, QPalette::Text, Qt::white);
  }
  look.goButton->setFont(namedFont(QStringLiteral("Myriad Roman"), 16));
  setColour(look.goButton, QPalette::ButtonText, green);
  for (QWidget* button : look.transferButtons) setColour(button, QPalette::ButtonText, Qt::blue);
  for (QWidget* button : look.deleteButtons) setColour(button, QPalette::ButtonText, Qt::red);
  look.selectedDirectoryLabel->setFont(namedFont(QStringLiteral("Myriad Roman"), 13, true, true));
  setColour(look.selectedDirectoryLabel, QPalette::WindowText, Qt::red);
}

}  // namespace pitkit
