#pragma once
#include "desktop/desktop.h"
#include "viewer/viewer.h"

namespace qarn {

// Every tick of the main window's timers, by timer id: automatic zoom,
// AutoScroll, and colour shifting for any other id.
void TimerTick(Viewer& viewer, Desktop& desktop, unsigned timerId);

}  // namespace qarn
