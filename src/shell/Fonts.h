#pragma once
// The window fonts are asked for by their names; where the machine lacks one, the nearest font it
// has is used instead.
#include <QFont>
#include <QString>

namespace pitkit {

// Registers the fallbacks for "MS Sans Serif", "Myriad Roman" and "Scratch" (once per process).
void registerFontFallbacks();

// The font `family` with a character height of `pixelSize` pixels.
QFont namedFont(const QString& family, int pixelSize, bool bold = false, bool italic = false);

}  // namespace pitkit
