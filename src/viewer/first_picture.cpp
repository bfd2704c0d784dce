#include "viewer/first_picture.h"

#include "engine/zoom.h"
#include "viewer/zoom_view.h"

namespace qarn {

void ShowFirstPicture(Viewer& viewer, Desktop& desktop) {
    BuildColourTable(viewer.tables.colour);
    BuildMonoTable(viewer.tables.mono, viewer.engine.view.PaletteMode);
    ZoomView(viewer, desktop, ResetDelta);
    MapViewerDisplay(viewer, desktop);
}

}  // namespace qarn
