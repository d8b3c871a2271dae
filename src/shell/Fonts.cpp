#include "shell/Fonts.h"

#include <QStringList>

namespace pitkit {

void registerFontFallbacks() {
  static const bool registered = [] {
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                               {QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Liberation Sans Narrow"),
                                QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("Sans Serif")});
    QFont::insertSubstitutions(QStringLiteral("Myriad Roman"),
                               {QStringLiteral("Myriad Pro"), QStringLiteral("Liberation Sans Narrow"),
                                QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("Sans Serif")});
    QFont::insertSubstitutions(QStringLiteral("Scratch"),
                               {QStringLiteral("Comic Neue"), QStringLiteral("DejaVu Serif"),
                                QStringLiteral("Serif")});
    return true;
  }();
  (void)registered;
}

QFont namedFont(const QString& family, int pixelSize, bool bold, bool italic) {
  QFont font(family);
  font.setStyleHint(family == QStringLiteral("Scratch") ? QFont::Decorative : QFont::SansSerif);
  font.setPixelSize(pixelSize);
  font.setBold(bold);
  font.setItalic(italic);
  return font;
}

}  // namespace pitkit
