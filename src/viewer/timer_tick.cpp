#include "viewer/timer_tick.h"

#include "viewer/auto_scroll.h"
#include "viewer/auto_zoom.h"
#include "viewer/colour_commands.h"

namespace qarn {

void TimerTick(Viewer& viewer, Desktop& desktop, unsigned timerId) {
    if (timerId == static_cast<unsigned>(TimerId::AutoZoom))
        AutoZoomTick(viewer, desktop);
    else if (timerId == static_cast<unsigned>(TimerId::AutoScroll))
        AutoScrollTick(viewer, desktop);
    else
        ColourShiftTick(viewer, desktop);
}

}  // namespace qarn
