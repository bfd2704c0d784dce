#pragma once
#include "desktop/desktop.h"
#include "viewer/viewer.h"

namespace qarn {

// Opening a menu ends AutoScroll, automatic zoom and colour shifting.
void EndModesForMenu(Viewer& viewer, Desktop& desktop);
// Closing the window ends colour shifting, automatic zoom and AutoScroll.
void EndModesForClose(Viewer& viewer, Desktop& desktop);

}  // namespace qarn
