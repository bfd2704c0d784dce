#include "viewer/auto_zoom.h"

#include <algorithm>

#include "viewer/zoom_view.h"
#include "viewer/auto_scroll.h"
#include "viewer/colour_commands.h"
#include "viewer/selection.h"
#include "viewer/zoom_command.h"

namespace qarn {
namespace {

// What a press does first: it ends AutoScroll, else automatic zoom, and then
// does nothing else; otherwise colour shifting ends and the press goes on.
bool PressGoesOn(Viewer& viewer, Desktop& desktop) {
    if (CancelAutoScroll(viewer, desktop)) return false;
    if (CancelAutoZoom(viewer, desktop)) return false;
    StopColourShifting(viewer, desktop);
    return true;
}

}  // namespace

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

void LeftPress(Viewer& viewer, Desktop& desktop, ClientPoint point) {
    if (!PressGoesOn(viewer, desktop)) return;
    PlaceSelectionRect(viewer, desktop.PictureTop(), point);
    ZoomView(viewer, desktop, viewer.SelectionLevels);
    MapViewerDisplay(viewer, desktop);
}

void RightPress(Viewer& viewer, Desktop& desktop) {
    if (!PressGoesOn(viewer, desktop)) return;
    ZoomView(viewer, desktop, -viewer.SelectionLevels);
    MapViewerDisplay(viewer, desktop);
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

void TimerTick(Viewer& viewer, Desktop& desktop, unsigned timerId) {
    if (timerId == static_cast<unsigned>(TimerId::AutoZoom))
        AutoZoomTick(viewer, desktop);
    else if (timerId == static_cast<unsigned>(TimerId::AutoScroll))
        AutoScrollTick(viewer, desktop);
    else
        ColourShiftTick(viewer, desktop);
}

}  // namespace qarn
