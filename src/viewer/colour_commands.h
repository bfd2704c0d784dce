#pragma once
#include <cstdint>

#include "desktop/desktop.h"
#include "viewer/viewer.h"

namespace qarn {

inline constexpr unsigned ColourShiftPeriod = 100;  // milliseconds per step

// Commands 49 to 53: shift by 64 either way, restore, or start, reverse or
// stop repeated shifting.
void ColourShiftCommand(Viewer& viewer, Desktop& desktop, int command);
// One step of repeated shifting, unless the selection square is shown.
void ColourShiftTick(Viewer& viewer, Desktop& desktop);
// Ends repeated shifting (and with it AutoScroll, automatic zoom and a shown
// selection square) if it runs; otherwise does nothing. Reports whether it
// ran.
bool StopColourShifting(Viewer& viewer, Desktop& desktop);
// Commands 54 to 61: a monochrome component or a palette size.
void PaletteCommand(Viewer& viewer, Desktop& desktop, int command);
// Commands 62 to 65: the depth. Only a depth above the computed one computes.
void DepthCommand(Viewer& viewer, Desktop& desktop, int command);
// Menu marks and toolbar states of commands 54 to 65 from the settings.
void SyncColourChecks(const Viewer& viewer, Desktop& desktop);

// The mouse's thumb buttons (application commands 0x8002 forward, 0x8001
// back, from the mouse) start, reverse or stop repeated shifting. Returns
// the window procedure's result; every value counts as handled.
std::intptr_t ApplicationCommand(Viewer& viewer, Desktop& desktop, std::uint32_t commandAndDevice);

}  // namespace qarn
