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

// Sets `widget`'s font to namedFont(family, pixelSize, bold, italic). While fonts are held back,
// the font is only noted and set by setHeldBackFonts(): measuring a stand-in font's width is a
// large part of the start-up, and controls that are not on screen yet can wait for it.
void setNamedFont(QWidget* widget, const QString& family, int pixelSize, bool bold = false, bool italic = false);
// From now on setNamedFont notes the fonts instead of setting them, until setHeldBackFonts().
void holdBackFonts();
// Sets every font noted since holdBackFonts() (of controls still alive), in the order they were
// asked for, and stops holding fonts back.
void setHeldBackFonts();

// Sets one colour role of one control's palette.
void setColour(QWidget* widget, QPalette::ColorRole role, const QColor& colour);
// Sets a button's caption colour while it is enabled; disabled, it keeps the platform's greyed
// caption, so a coloured button still looks disabled.
void setCaptionColour(QWidget* button, const QColor& colour);

// The look of each "Selected Directory:" label: red, bold italic "Myriad Roman", 13 pixels high.
void applySelectedDirectoryLook(QWidget* label);

}  // namespace pitkit
