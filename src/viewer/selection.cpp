#include "viewer/selection.h"

#include <algorithm>

#include "viewer/modes.h"

namespace qarn {
namespace {

void Place(Viewer& viewer, Desktop& desktop, ClientPoint point) {
    PlaceSelectionRect(viewer, desktop.PictureTop(), point);
}

}  // namespace

void PlaceSelectionRect(Viewer& viewer, int pictureTop, ClientPoint point) {
    const int levels = std::clamp(viewer.SelectionLevels, MinSelectionLevels, MaxSelectionLevels);
    const std::int32_t side = SelectionSizes[static_cast<std::size_t>(levels)];
    const std::int32_t half = side / 2;
    viewer.SelectionPoint = point;
    const auto left = static_cast<std::int32_t>(
        std::clamp<std::int64_t>(std::int64_t{point.x} - half, 0, ViewSize - side));
    const auto top = static_cast<std::int32_t>(
        std::clamp<std::int64_t>(std::int64_t{point.y} - half, pictureTop, pictureTop + ViewSize - side));
    viewer.SelectionRect = {left, top, left + side, top + side};
}

void UpdateSelection(Viewer& viewer, Desktop& desktop, int levels, ClientPoint point) {
    // No level may let a zoom in pass the deepest level.
    if (std::int64_t{viewer.engine.view.ZoomLevel} + levels > MaxZoomLevel) return;
    if (levels == 0) {
        if (viewer.Busy || !viewer.SelectionTracking) return;
        desktop.DrawSelectionOutline(viewer.SelectionRect);
        Place(viewer, desktop, point);
        desktop.DrawSelectionOutline(viewer.SelectionRect);
    } else if (viewer.SelectionTracking && levels == viewer.SelectionLevels) {
        viewer.SelectionTracking = false;
        desktop.DrawSelectionOutline(viewer.SelectionRect);
    } else if (viewer.SelectionTracking) {
        viewer.SelectionLevels = levels;
        desktop.DrawSelectionOutline(viewer.SelectionRect);
        Place(viewer, desktop, point);
        desktop.DrawSelectionOutline(viewer.SelectionRect);
    } else {
        viewer.SelectionLevels = levels;
        viewer.SelectionTracking = true;
        Place(viewer, desktop, point);
        desktop.DrawSelectionOutline(viewer.SelectionRect);
    }
}

void ResetSelection(Viewer& viewer, Desktop& desktop) {
    if (!viewer.SelectionTracking) return;
    UpdateSelection(viewer, desktop, viewer.SelectionLevels, viewer.SelectionPoint);
    const int top = desktop.PictureTop();
    PlaceSelectionRect(viewer, top, {HalfView, top + HalfView});
    desktop.SetStatusText(StatusPart::Messages, u"Ready");
}

void SelectLevelCommand(Viewer& viewer, Desktop& desktop, int command) {
    EndActivities(viewer, desktop, Action::SelectLevel);
    // About the last recorded point: the pointer is followed only while the
    // square is shown.
    UpdateSelection(viewer, desktop, command - (IDM_SELECT_FIRST - 1), viewer.SelectionPoint);
    SyncSelectionChecks(viewer, desktop);
    desktop.SetStatusText(StatusPart::Messages, viewer.SelectionTracking
                                                    ? u"Select a region and then use a Zoom In or Out command..."
                                                    : u"Ready");
}

void MouseWheel(Viewer& viewer, Desktop& desktop, int wheelDelta) {
    std::int64_t levels = viewer.SelectionLevels;
    if (viewer.SelectionTracking) {
        // Each notch is one step, whatever its size; the level goes round.
        levels += wheelDelta >= 0 ? 1 : -1;
        if (levels > MaxSelectionLevels) levels = MinSelectionLevels;
        if (levels < MinSelectionLevels) levels = MaxSelectionLevels;
    }
    const std::int64_t room = MaxZoomLevel - std::int64_t{viewer.engine.view.ZoomLevel};
    if (levels > room) levels = room;
    if (levels <= 0) return;  // at the deepest level the wheel does nothing
    SelectLevelCommand(viewer, desktop, IDM_SELECT_FIRST - 1 + static_cast<int>(levels));
}

void SyncSelectionChecks(const Viewer& viewer, Desktop& desktop) {
    for (int levels = MinSelectionLevels; levels <= MaxSelectionLevels; ++levels)
        desktop.MarkCommand(IDM_SELECT_FIRST - 1 + levels, levels == viewer.SelectionLevels);
}

void DeactivateSelection(Viewer& viewer, Desktop& desktop) {
    if (!viewer.SelectionTracking) return;
    UpdateSelection(viewer, desktop, viewer.SelectionLevels, viewer.SelectionPoint);
    desktop.SetStatusText(StatusPart::Messages, u"Ready");
}

void RefreshCursor(const Viewer& viewer, Desktop& desktop) {
    desktop.ShowCursor(viewer.Busy ? CursorShape::Wait : CursorShape::Arrow);
}

}  // namespace qarn
