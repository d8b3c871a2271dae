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
// moves and sizes the window. With `fit` the window is also made no larger than its screen's
// available area, as ScreenFit says.
struct ScreenFit;
void placeWindow(QWidget* window, QPoint place, QSize frameSize = QSize(), const ScreenFit* fit = nullptr);

// How a window whose contents scroll is fitted onto a screen too small for it: where its width
// does not fit, `narrowSize` (a narrower arrangement of its contents) is tried first; a side cut
// down to the screen gains `scrollBarExtent` on the other side where there is room, so that the
// scroll bar that appears along it takes none of the contents' room.
struct ScreenFit {
  int scrollBarExtent = 0;
  QSize narrowSize;
};

}  // namespace pitkit
