#include "platform/Fonts.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QHash>
#include <QtMath>
#include <QStringList>
#include <QWidget>
#include <optional>

#include "platform/FontStretchTable.h"

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

// The installed families are listed once; hasFamily() would ask the font system to resolve
// aliases for every name tried, which costs far more.
const QStringList& installedFamilies() {
  static const QStringList installed = QFontDatabase::families();
  return installed;
}

// The first candidate the machine has, looked up once per family: asking the font system for a
// family it lacks makes every font load search for a substitute.
QString resolvedFamily(const QString& family) {
  static QHash<QString, QString> cache;
  const auto found = cache.constFind(family);
  if (found != cache.constEnd()) return *found;
  const QStringList& installed = installedFamilies();
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

// The window layouts are measured for "MS Sans Serif", whose captions are on average about half
// as wide per character as the font is high (0.46 of its pixel size, 0.53 in bold). A wider
// sans-serif stand-in is narrowed to that width (a condensed face where the machine has one, else
// drawn condensed), so every caption fits its place. Stretch values are absolute (100 is a
// normal-width face), so the search starts from there whatever the family's own width.
int measureNarrowingStretch(const QString& resolved, int pixelSize, bool bold, bool italic) {
  static const QString sample = QStringLiteral("Enter the level you want to rename: Installed Levels 0123456789 VIEW");
  // Made as namedFont() makes it, so the font measured last is the one drawn with, loaded once.
  auto widthPerCharacter = [&](int stretch) {
    QFont font(resolved);
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    font.setItalic(italic);
    font.setStretch(stretch);
    return QFontMetricsF(font).horizontalAdvance(sample) / sample.size();
  };
  const qreal wanted = pixelSize * (bold ? 0.53 : 0.46);
  int stretch = 100;
  qreal width = widthPerCharacter(stretch);
  while (width > wanted && stretch > 75) {
    stretch = qMax(75, qMin(stretch - 1, qFloor(stretch * wanted / width)));
    width = widthPerCharacter(stretch);
  }
  return stretch;
}

int narrowingStretch(const QString& resolved, int pixelSize, bool bold, bool italic) {
  static FontStretchTable table(FontStretchTable::fingerprintOf(installedFamilies()),
                                FontStretchTable::userCacheFile());
  const QString key = QStringLiteral("%1/%2/%3%4").arg(resolved).arg(pixelSize).arg(int(bold)).arg(int(italic));
  if (const std::optional<int> known = table.find(key)) return *known;
  const int stretch = measureNarrowingStretch(resolved, pixelSize, bold, italic);
  table.insert(key, stretch);
  return stretch;
}

}  // namespace

void setNamedFont(QWidget* widget, const QString& family, int pixelSize, bool bold, bool italic) {
  widget->setFont(namedFont(family, pixelSize, bold, italic));
}

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
  const bool decorative = family == QStringLiteral("Scratch");
  font.setStyleHint(decorative ? QFont::Decorative : QFont::SansSerif);
  if (!decorative && !resolved.isEmpty() && resolved != family)
    font.setStretch(narrowingStretch(resolved, pixelSize, bold, italic));
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

void setCaptionColour(QWidget* button, const QColor& colour) {
  QPalette palette = button->palette();
  palette.setColor(QPalette::Active, QPalette::ButtonText, colour);
  palette.setColor(QPalette::Inactive, QPalette::ButtonText, colour);
  button->setPalette(palette);
}

void applySelectedDirectoryLook(QWidget* label) {
  setNamedFont(label, QStringLiteral("Myriad Roman"), 13, true, true);
  setColour(label, QPalette::WindowText, Qt::red);
}

}  // namespace pitkit
