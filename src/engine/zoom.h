#pragma once
#include "desktop/desktop.h"
#include "engine/selection_rect.h"
#include "engine/view_engine.h"

namespace qarn {

inline constexpr int ResetDelta = -MaxZoomLevel;

// Moves the view by a level delta and computes it in full:
//   -56       reset to the home view at level 0
//   -4 .. -1  zoom out about the display centre
//   0         recompute the current view (at level 0 or below: a reset)
//   1 .. 4    zoom in to the selection square
// A target level above 56 changes nothing at all. Afterwards the selection is
// hidden and centred, and the status bar shows "Ready" (unless automatic zoom
// runs) and the level. The caller maps the display.
void ZoomView(ViewEngine& engine, SelectionState& selection, int autoZoomDirection, Desktop& desktop,
              int delta);

// The hourglass while a zoom computes, the arrow otherwise.
void RefreshCursor(const ViewEngine& engine, Desktop& desktop);

}  // namespace qarn
