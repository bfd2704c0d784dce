#include "input/modes.h"

#include "colour/colour_commands.h"
#include "input/auto_scroll.h"
#include "input/auto_zoom.h"

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
