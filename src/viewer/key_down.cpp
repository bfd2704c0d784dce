#include "viewer/key_down.h"

#include "engine/scroll.h"
#include "viewer/modes.h"

namespace qarn {

bool KeyDown(Viewer& viewer, Desktop& desktop, Key key) {
    int dx = 0;
    int dy = 0;
    switch (key) {
    case Key::Left: dx = -1; break;
    case Key::Right: dx = 1; break;
    case Key::Up: dy = -1; break;
    case Key::Down: dy = 1; break;
    case Key::Other: EndActivities(viewer, desktop, Action::OtherKey); return false;
    }
    EndActivities(viewer, desktop, Action::ArrowKey);
    if (viewer.SelectionTracking || viewer.AutoScrollActive) {
        // The pointer moves instead, and with it the square or the offset.
        const ScreenPoint pointer = desktop.PointerPosition();
        desktop.MovePointer({pointer.x + dx, pointer.y + dy});
    } else {
        ScrollView(viewer.engine, dx, dy);
        MapViewerDisplay(viewer, desktop);
    }
    return true;
}

}  // namespace qarn
