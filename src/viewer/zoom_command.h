#pragma once
#include "desktop/desktop.h"
#include "viewer/viewer.h"

namespace qarn {

// The three view commands that zoom: 39 back to level 0, 40 out and 41 in by
// the selected number of levels (41 into the selection square where it
// stands). Reports the command as handled.
bool ZoomCommand(Viewer& viewer, Desktop& desktop, int command);

}  // namespace qarn
