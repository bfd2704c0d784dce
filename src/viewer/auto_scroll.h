#pragma once
#include "desktop/desktop.h"
#include "viewer/viewer.h"

namespace qarn {

inline constexpr unsigned AutoScrollPeriod = 24;  // milliseconds

// Middle press and command 48: AutoScroll on, or off when it runs.
void StartAutoScroll(Viewer& viewer, Desktop& desktop);
// Ends AutoScroll if it runs; reports whether it ran.
bool CancelAutoScroll(Viewer& viewer, Desktop& desktop);
// One step towards the pointer: floor((offset + 16) / 32) pixels per axis,
// each limited to 512.
void AutoScrollTick(Viewer& viewer, Desktop& desktop);

}  // namespace qarn
