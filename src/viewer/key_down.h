#pragma once
#include "desktop/desktop.h"
#include "viewer/viewer.h"

namespace qarn {

enum class Key { Left, Right, Up, Down, Other };

// A key that reached the window: the arrows scroll the view by a pixel (or
// move the pointer while the square is shown or AutoScroll runs). Reports
// whether the key was handled; others go on to default processing.
bool KeyDown(Viewer& viewer, Desktop& desktop, Key key);

}  // namespace qarn
