#include "viewer/mouse_press.h"

#include "viewer/modes.h"
#include "viewer/selection.h"
#include "viewer/zoom_view.h"

namespace qarn {

void LeftPress(Viewer& viewer, Desktop& desktop, ClientPoint point) {
    if (!EndActivities(viewer, desktop, Action::Press)) return;
    PlaceSelectionRect(viewer, desktop.PictureTop(), point);
    ZoomView(viewer, desktop, viewer.SelectionLevels);
    MapViewerDisplay(viewer, desktop);
}

void RightPress(Viewer& viewer, Desktop& desktop) {
    if (!EndActivities(viewer, desktop, Action::Press)) return;
    ZoomView(viewer, desktop, -viewer.SelectionLevels);
    MapViewerDisplay(viewer, desktop);
}

}  // namespace qarn
