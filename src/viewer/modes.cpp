#include "viewer/modes.h"

#include "viewer/auto_scroll.h"
#include "viewer/auto_zoom.h"
#include "viewer/colour_commands.h"

namespace qarn {

void EndModesForMenu(Viewer& viewer, Desktop& desktop) {
    CancelAutoScroll(viewer, desktop);
    CancelAutoZoom(viewer, desktop);
    StopColourShifting(viewer, desktop);
}

void EndModesForClose(Viewer& viewer, Desktop& desktop) {
    StopColourShifting(viewer, desktop);
    CancelAutoZoom(viewer, desktop);
    CancelAutoScroll(viewer, desktop);
}

}  // namespace qarn
