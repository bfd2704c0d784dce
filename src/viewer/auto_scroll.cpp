#include "viewer/auto_scroll.h"

#include <algorithm>
#include <array>

#include "engine/scroll.h"
#include "viewer/modes.h"

namespace qarn {
namespace {

// The reference lies 16 pixels up and left of the display centre, so that
// offsets -16 .. 15 from the centre rest.
constexpr int RestingHalf = 16;

// floor(difference / 32), limited to what one scroll can move.
int StepOf(std::int64_t difference) {
    const std::int64_t step = difference >= 0 ? difference / 32 : -((-difference + 31) / 32);
    return static_cast<int>(std::clamp<std::int64_t>(step, -ViewSize, ViewSize));
}

CursorShape CursorFor(int dx, int dy) {
    static constexpr std::array<std::array<CursorShape, 3>, 3> shapes{{
        {CursorShape::ScrollUpLeft, CursorShape::ScrollUp, CursorShape::ScrollUpRight},
        {CursorShape::ScrollLeft, CursorShape::ScrollCentre, CursorShape::ScrollRight},
        {CursorShape::ScrollDownLeft, CursorShape::ScrollDown, CursorShape::ScrollDownRight},
    }};
    const auto column = static_cast<std::size_t>((dx > 0) - (dx < 0) + 1);
    const auto row = static_cast<std::size_t>((dy > 0) - (dy < 0) + 1);
    return shapes[row][column];
}

}  // namespace

bool CancelAutoScroll(Viewer& viewer, Desktop& desktop) {
    if (!viewer.AutoScrollActive) return false;
    viewer.AutoScrollActive = false;
    desktop.StopTimer(TimerId::AutoScroll);
    desktop.ReleaseMouse();
    return true;
}

void StartAutoScroll(Viewer& viewer, Desktop& desktop) {
    if (!EndActivities(viewer, desktop, Action::StartAutoScroll)) return;
    viewer.AutoScrollActive = true;
    desktop.CaptureMouse();
    const int top = desktop.PictureTop();
    const ScreenPoint centre = desktop.ToScreen({HalfView, top + HalfView});
    desktop.MovePointer(centre);
    viewer.AutoScrollReference = {centre.x - RestingHalf, centre.y - RestingHalf};
    desktop.ShowCursor(CursorShape::ScrollCentre);
    desktop.StartTimer(TimerId::AutoScroll, AutoScrollPeriod);
}

void AutoScrollTick(Viewer& viewer, Desktop& desktop) {
    const ScreenPoint pointer = desktop.PointerPosition();
    const int dx = StepOf(std::int64_t{pointer.x} - viewer.AutoScrollReference.x);
    const int dy = StepOf(std::int64_t{pointer.y} - viewer.AutoScrollReference.y);
    desktop.ShowCursor(CursorFor(dx, dy));
    ScrollView(viewer.engine, dx, dy);
    MapViewerDisplay(viewer, desktop);
}

}  // namespace qarn
