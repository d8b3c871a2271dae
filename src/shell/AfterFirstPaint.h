#pragma once
// The last steps of the start-up, run once the main window is on screen: the window appears
// sooner, and what it does not show at first is made while the user looks at it.
#include <functional>

class QWidget;

namespace pitkit {

// Runs `step` once: right after `window` has been painted for the first time, or before the first
// input anywhere in the program (a click, a key, the wheel, a drop, a close) if that comes
// earlier, so nobody acts on a window whose start-up is unfinished. A window that is never
// painted (started minimised) gets the step after a second. Nothing runs if `window` is destroyed
// first.
void runAfterFirstPaint(QWidget* window, std::function<void()> step);

}  // namespace pitkit
