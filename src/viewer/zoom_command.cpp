#include "viewer/zoom_command.h"

#include "engine/zoom.h"
#include "viewer/modes.h"
#include "viewer/zoom_view.h"

namespace qarn {

bool ZoomCommand(Viewer& viewer, Desktop& desktop, int command) {
    // Only repeated colour shifting ends here (and, while it ran, AutoScroll
    // and automatic zoom with it): automatic zoom steps come through here.
    EndActivities(viewer, desktop, Action::ZoomCommands);
    const int levels = viewer.SelectionLevels;
    const int delta = command == IDM_ZOOM_IN ? levels : command == IDM_ZOOM_OUT ? -levels : ResetDelta;
    ZoomView(viewer, desktop, delta);
    MapViewerDisplay(viewer, desktop);
    return true;
}

}  // namespace qarn
