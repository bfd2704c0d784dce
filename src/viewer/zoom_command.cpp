#include "viewer/zoom_command.h"

#include "engine/zoom.h"
#include "viewer/zoom_view.h"
#include "viewer/colour_commands.h"

namespace qarn {

bool ZoomCommand(Viewer& viewer, Desktop& desktop, int command) {
    // Only repeated colour shifting ends here (and, while it ran, AutoScroll
    // and automatic zoom with it): automatic zoom steps come through here.
    StopColourShifting(viewer, desktop);
    const int levels = viewer.SelectionLevels;
    const int delta = command == IDM_ZOOM_IN ? levels : command == IDM_ZOOM_OUT ? -levels : ResetDelta;
    ZoomView(viewer, desktop, delta);
    MapViewerDisplay(viewer, desktop);
    return true;
}

void ShowFirstPicture(Viewer& viewer, Desktop& desktop) {
    BuildColourTable(viewer.tables.colour);
    BuildMonoTable(viewer.tables.mono, viewer.engine.view.PaletteMode);
    ZoomView(viewer, desktop, ResetDelta);
    MapViewerDisplay(viewer, desktop);
}

}  // namespace qarn
