#pragma once
#include "desktop/desktop.h"
#include "viewer/viewer.h"

namespace qarn {

inline constexpr int SelectLevelFirstCommand = 42;  // 42 .. 45: 1 .. 4 levels

// levels 0: the pointer moved to `point`; 1 .. 4: that level is asked for,
// which shows, resizes or (for the shown level) hides the square.
void UpdateSelection(Viewer& viewer, Desktop& desktop, int levels, ClientPoint point);
// Hides a shown square, centres it and shows "Ready".
void ResetSelection(Viewer& viewer, Desktop& desktop);
// Commands 42 to 45.
void SelectLevelCommand(Viewer& viewer, Desktop& desktop, int command);
// One wheel notch: shows the square, or steps its level round.
void MouseWheel(Viewer& viewer, Desktop& desktop, int wheelDelta);
void SyncSelectionChecks(const Viewer& viewer, Desktop& desktop);
// The window lost activation: a shown square is hidden where it stands.
void DeactivateSelection(Viewer& viewer, Desktop& desktop);

}  // namespace qarn
