#include "viewer/viewer.h"

namespace qarn {

void MapViewerDisplay(Viewer& viewer, Desktop& desktop) {
    MapDisplay(viewer.engine.counts, viewer.engine.view, viewer.tables, viewer.Pixels());
    desktop.RepaintPicture();
}

}  // namespace qarn
