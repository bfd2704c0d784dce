#include "viewer/auto_zoom.h"

#include <algorithm>

#include "viewer/selection.h"
#include "viewer/zoom_command.h"

namespace qarn {

void StartAutoZoom(Viewer& viewer, Desktop& desktop, int direction) {
    viewer.AutoZoomDirection = direction;
    desktop.StartTimer(TimerId::AutoZoom, AutoZoomPeriod);
}

void StopAutoZoom(Viewer& viewer, Desktop& desktop) {
    viewer.AutoZoomDirection = 0;
    desktop.StopTimer(TimerId::AutoZoom);
    desktop.SetStatusText(StatusPart::Messages, u"Ready");
}

bool CancelAutoZoom(Viewer& viewer, Desktop& desktop) {
    if (viewer.AutoZoomDirection == 0) return false;
    StopAutoZoom(viewer, desktop);
    return true;
}

void StartAutoZoomIn(Viewer& viewer, Desktop& desktop) {
    viewer.SelectionLevels = 1;  // a shown outline keeps its size until it moves
    if (viewer.engine.view.ZoomLevel >= viewer.AutoZoomTarget) viewer.AutoZoomTarget = MaxZoomLevel;
    SyncSelectionChecks(viewer, desktop);
    StartAutoZoom(viewer, desktop, +1);
}

void StartAutoZoomOut(Viewer& viewer, Desktop& desktop, bool byDoubleClick) {
    viewer.SelectionLevels = 1;
    // The press before a double click has already zoomed out one level.
    const std::int32_t level = viewer.engine.view.ZoomLevel;
    viewer.AutoZoomTarget = byDoubleClick ? std::min(level + 1, MaxZoomLevel) : level;
    SyncSelectionChecks(viewer, desktop);
    StartAutoZoom(viewer, desktop, -1);
}

void AutoZoomTick(Viewer& viewer, Desktop& desktop) {
    const std::int32_t level = viewer.engine.view.ZoomLevel;
    if (viewer.AutoZoomDirection > 0) {
        if (level >= viewer.AutoZoomTarget)
            StopAutoZoom(viewer, desktop);
        else
            ZoomCommand(viewer, desktop, IDM_ZOOM_IN);
    } else if (viewer.AutoZoomDirection < 0) {
        if (level <= 1)
            StopAutoZoom(viewer, desktop);
        else
            ZoomCommand(viewer, desktop, IDM_ZOOM_OUT);
    }
}

}  // namespace qarn
