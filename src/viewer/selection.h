#pragma once
#include <array>

#include "desktop/desktop.h"
#include "viewer/viewer.h"

namespace qarn {

inline constexpr int MinSelectionLevels = 1;
inline constexpr int MaxSelectionLevels = 4;
// Side of the square for each level: 512 shifted right by the level.
inline constexpr std::array<int, 5> SelectionSizes{0, 256, 128, 64, 32};

// Centres the square on `point`, pushed inside the picture; draws nothing.
void PlaceSelectionRect(Viewer& viewer, int pictureTop, ClientPoint point);

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
// The hourglass while a zoom computes, the arrow otherwise.
void RefreshCursor(const Viewer& viewer, Desktop& desktop);

}  // namespace qarn
