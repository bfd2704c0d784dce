#pragma once
#include "desktop/desktop.h"
#include "viewer/viewer.h"

namespace qarn {

inline constexpr unsigned AutoZoomPeriod = 500;  // milliseconds per level

void StartAutoZoom(Viewer& viewer, Desktop& desktop, int direction);
void StopAutoZoom(Viewer& viewer, Desktop& desktop);
// Ends automatic zoom if it runs; reports whether it ran.
bool CancelAutoZoom(Viewer& viewer, Desktop& desktop);

// Left double click and command 47: zoom in one level a tick up to the
// target. Right double click (byDoubleClick) and command 46: out to level 1.
void StartAutoZoomIn(Viewer& viewer, Desktop& desktop);
void StartAutoZoomOut(Viewer& viewer, Desktop& desktop, bool byDoubleClick);
void AutoZoomTick(Viewer& viewer, Desktop& desktop);

}  // namespace qarn
