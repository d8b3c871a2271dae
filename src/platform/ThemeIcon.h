#pragma once
// Icons that follow the desktop's icon theme, with a picture the program draws itself where the
// theme has none. Drawn pictures are made at the screen's device pixel ratio, so they stay sharp
// on scaled screens.
#include <QIcon>
#include <QPixmap>
#include <functional>

class QPainter;

namespace pitkit {

// Paints a picture into a square of the icon's logical size, in logical coordinates.
using IconPainter = std::function<void(QPainter&)>;

// A `logicalSize` pixmap holding `devicePixelRatio` device pixels per logical pixel, painted by
// `draw`.
QPixmap drawnPixmap(QSize logicalSize, qreal devicePixelRatio, const IconPainter& draw);

// The theme's icon `name`, or the picture `draw` paints when the theme has none. The theme is
// searched when the icon is first painted, not when it is made: a list built at start-up on a
// page nobody looks at costs no search through the icon folders.
QIcon themeIcon(const QString& name, QSize logicalSize, IconPainter draw);

}  // namespace pitkit
