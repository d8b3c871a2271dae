#pragma once
// The look of the window layouts: fonts asked for by their names (where the machine lacks one, the
// nearest font it has is used instead) and the colours of single controls.
#include <QColor>
#include <QFont>
#include <QPalette>
#include <QString>

class QWidget;

namespace pitkit {

// Registers the fallbacks for "MS Sans Serif", "Myriad Roman" and "Scratch" (once per process).
void registerFontFallbacks();

// The font `family` with a character height of `pixelSize` pixels.
QFont namedFont(const QString& family, int pixelSize, bool bold = false, bool italic = false);

// Sets `widget`'s font to namedFont(family, pixelSize, bold, italic).
void setNamedFont(QWidget* widget, const QString& family, int pixelSize, bool bold = false, bool italic = false);

// Sets one colour role of one control's palette.
void setColour(QWidget* widget, QPalette::ColorRole role, const QColor& colour);
// Sets a button's caption colour while it is enabled; disabled, it keeps the platform's greyed
// caption, so a coloured button still looks disabled.
void setCaptionColour(QWidget* button, const QColor& colour);

// The look of each "Selected Directory:" label: red, bold italic "Myriad Roman", 13 pixels high.
void applySelectedDirectoryLook(QWidget* label);

}  // namespace pitkit
