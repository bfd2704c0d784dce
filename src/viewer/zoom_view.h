#pragma once
#include "desktop/desktop.h"
#include "viewer/viewer.h"

namespace qarn {

// Moves the view by a level delta (see MoveToLevel) and computes it in full,
// with the wait cursor and the progress text meanwhile. Afterwards the
// selection is hidden and centred, and the status bar shows "Ready" (unless
// automatic zoom runs) and the level. A target past level 56 changes
// nothing at all. The caller maps the display.
void ZoomView(Viewer& viewer, Desktop& desktop, int delta);

}  // namespace qarn
