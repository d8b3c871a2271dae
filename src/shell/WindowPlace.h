#pragma once
// Places top-level windows as the window layouts give them: by the frame (title bar and borders
// included), not by the inner area, and always on the screen.
#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

namespace pitkit {

// Where a frame of `frame`'s size goes when it should sit at `frame`'s corner: moved up and left
// as far as needed to lie inside `available`, but never beyond its top left corner.
QPoint placeInside(const QRect& frame, const QRect& available);

// Puts `window`'s frame corner at `place` (moved onto its screen as above) and, when `frameSize`
// is valid, gives the frame that size. The frame's margins are known only once the window manager
// has framed the window, so this is done again when they first become known; after that the user
// moves and sizes the window. With `scrollBarExtent` of 0 or more the window is also made no larger
// than its screen's available area (its contents then scroll): a side cut down by that gains the
// extent on the other side where there is room, so that the scroll bar that appears along it takes
// none of the contents' room.
void placeWindow(QWidget* window, QPoint place, QSize frameSize = QSize(), int scrollBarExtent = -1);

}  // namespace pitkit
