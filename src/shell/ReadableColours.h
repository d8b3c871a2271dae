#pragma once
// The documented colours were chosen for a light button face. Under a dark desktop palette a
// control whose colour is fixed on one side only (a blue caption on the platform's button face, a
// white box with the platform's text colour) can become unreadable; this gives such a control the
// other side too, keeping every documented colour.
class QColor;
class QWidget;

namespace pitkit {

// The contrast ratio of two colours (1 to 21), as the accessibility guidelines define it.
double contrastRatio(const QColor& a, const QColor& b);

// Under a dark application palette, mends every control in `root` (itself included) whose text
// and background contrast less than 3:1 and of which only one side is fixed. Under a light
// palette it changes nothing.
void keepColoursReadable(QWidget* root);

}  // namespace pitkit
