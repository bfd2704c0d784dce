#pragma once
#include "desktop/desktop.h"
#include "viewer/viewer.h"

namespace qarn {

inline constexpr unsigned AutoScrollPeriod = 24;  // milliseconds

// Middle press and command 48: AutoScroll on, or off when it runs.
void StartAutoScroll(Viewer& viewer, Desktop& desktop);
// Ends AutoScroll if it runs; reports whether it ran.
bool CancelAutoScroll(Viewer& viewer, Desktop& desktop);
// One step towards the pointer: floor((offset + 16) / 32) pixels per axis,
// each limited to 512.
void AutoScrollTick(Viewer& viewer, Desktop& desktop);

enum class Key { Left, Right, Up, Down, Other };
// A key that reached the window: the arrows scroll the view by a pixel (or
// move the pointer while the square is shown or AutoScroll runs). Reports
// whether the key was handled; others go on to default processing.
bool KeyDown(Viewer& viewer, Desktop& desktop, Key key);

}  // namespace qarn
