#include "viewer/auto_scroll.h"

#include "engine/scroll.h"
#include "viewer/auto_zoom.h"
#include "viewer/key_down.h"
#include "viewer/selection.h"
#include "viewer/timer_tick.h"
#include "viewer/viewer_fixture.h"

namespace qarn {
namespace {

class AutoScrollTest : public testing::ViewerTest {
protected:
    void Tick() { TimerTick(*viewer, desktop, static_cast<unsigned>(TimerId::AutoScroll)); }
    void PointerAt(int dx, int dy) {
        const ScreenPoint centre = Screen(Centre());
        desktop.pointer = {centre.x + dx, centre.y + dy};
    }
};

TEST_F(AutoScrollTest, StartCapturesCentresThePointerAndStartsTheTimer) {
    StartAutoScroll(*viewer, desktop);
    EXPECT_TRUE(viewer->AutoScrollActive);
    EXPECT_TRUE(desktop.captured);
    EXPECT_EQ(desktop.pointer.x, Screen(Centre()).x);
    EXPECT_EQ(desktop.pointer.y, Screen(Centre()).y);
    EXPECT_EQ(desktop.cursors.back(), CursorShape::ScrollCentre);
    EXPECT_EQ(desktop.timers[TimerId::AutoScroll], AutoScrollPeriod);
}

TEST_F(AutoScrollTest, StepGrowsWithTheOffsetFromTheCentre) {
    struct Row {
        int dx, dy, stepX, stepY;
        CursorShape cursor;
    };
    const Row rows[] = {
        {0, 0, 0, 0, CursorShape::ScrollCentre},      {16, 0, 1, 0, CursorShape::ScrollRight},
        {-16, 0, 0, 0, CursorShape::ScrollCentre},    {-17, 0, -1, 0, CursorShape::ScrollLeft},
        {15, 15, 0, 0, CursorShape::ScrollCentre},    {-40, -100, -1, -3, CursorShape::ScrollUpLeft},
        {48, 80, 2, 3, CursorShape::ScrollDownRight}, {-49, 47, -2, 1, CursorShape::ScrollDownLeft},
        {0, -17, 0, -1, CursorShape::ScrollUp},       {50, -50, 2, -2, CursorShape::ScrollUpRight},
        {0, 500, 0, 16, CursorShape::ScrollDown},     {40000, 0, 512, 0, CursorShape::ScrollRight},
    };
    for (const Row& row : rows) {
        SetUp();
        StartAutoScroll(*viewer, desktop);
        const ViewState before = View();
        PointerAt(row.dx, row.dy);
        const int repaints = desktop.repaints;
        Tick();
        EXPECT_EQ(View().OriginRe, before.OriginRe + row.stepX * View().PixelStep) << row.dx << ", " << row.dy;
        EXPECT_EQ(View().OriginIm, before.OriginIm - row.stepY * View().PixelStep) << row.dx << ", " << row.dy;
        EXPECT_EQ(desktop.cursors.back(), row.cursor) << row.dx << ", " << row.dy;
        EXPECT_EQ(desktop.repaints, repaints + 1) << "mapped on every tick";
    }
}

TEST_F(AutoScrollTest, TicksComputeWhatAFullPassOfTheMovedViewGives) {
    StartAutoScroll(*viewer, desktop);
    PointerAt(-40, -100);
    for (int i = 0; i < 5; ++i) Tick();
    auto full = testing::MakeEngine(View());
    ComputeRows(*full, -ViewSize);
    EXPECT_TRUE(full->counts == viewer->engine.counts);
}

TEST_F(AutoScrollTest, SecondStartEndsItAndLeavesTheView) {
    StartAutoScroll(*viewer, desktop);
    PointerAt(100, 0);
    Tick();
    const ViewState moved = View();
    StartAutoScroll(*viewer, desktop);
    EXPECT_FALSE(viewer->AutoScrollActive);
    EXPECT_FALSE(desktop.captured);
    EXPECT_FALSE(desktop.TimerRuns(TimerId::AutoScroll));
    EXPECT_EQ(View().OriginRe, moved.OriginRe);
}

TEST_F(AutoScrollTest, StartWhileAutomaticZoomRunsOnlyEndsTheZoom) {
    StartAutoZoomIn(*viewer, desktop);
    StartAutoScroll(*viewer, desktop);
    EXPECT_EQ(viewer->AutoZoomDirection, 0);
    EXPECT_FALSE(viewer->AutoScrollActive);
    StartAutoScroll(*viewer, desktop);
    EXPECT_TRUE(viewer->AutoScrollActive);
}

TEST_F(AutoScrollTest, StartHidesAndCentresAShownSquare) {
    SelectLevelCommand(*viewer, desktop, 42);
    UpdateSelection(*viewer, desktop, 0, {20, Top + 20});
    StartAutoScroll(*viewer, desktop);
    EXPECT_FALSE(viewer->SelectionTracking);
    EXPECT_TRUE(desktop.outlines.empty());
    EXPECT_EQ(viewer->SelectionRect.left, 128);
    EXPECT_EQ(desktop.LastText(StatusPart::Messages), u"Ready");
}

TEST_F(AutoScrollTest, ArrowKeysScrollOrMoveThePointer) {
    const ViewState before = View();
    EXPECT_TRUE(KeyDown(*viewer, desktop, Key::Right));
    EXPECT_EQ(View().OriginRe, before.OriginRe + View().PixelStep);
    EXPECT_TRUE(KeyDown(*viewer, desktop, Key::Up));
    EXPECT_EQ(View().OriginIm, before.OriginIm + View().PixelStep);

    StartAutoScroll(*viewer, desktop);
    const ScreenPoint pointer = desktop.pointer;
    const ViewState during = View();
    EXPECT_TRUE(KeyDown(*viewer, desktop, Key::Down));
    EXPECT_EQ(desktop.pointer.y, pointer.y + 1);
    EXPECT_EQ(View().OriginIm, during.OriginIm) << "the view stays";
    EXPECT_TRUE(viewer->AutoScrollActive) << "and AutoScroll goes on";

    EXPECT_FALSE(KeyDown(*viewer, desktop, Key::Other)) << "passed on to default processing";
    EXPECT_FALSE(viewer->AutoScrollActive);
}

TEST_F(AutoScrollTest, ArrowKeysMoveAShownSquareWithThePointer) {
    SelectLevelCommand(*viewer, desktop, 42);
    desktop.pointer = Screen({200, Top + 200});
    const ViewState before = View();
    KeyDown(*viewer, desktop, Key::Left);
    EXPECT_EQ(desktop.pointer.x, Screen({199, 0}).x);
    EXPECT_EQ(View().OriginRe, before.OriginRe);
}

TEST_F(AutoScrollTest, AnyKeyEndsAutomaticZoom) {
    StartAutoZoomIn(*viewer, desktop);
    KeyDown(*viewer, desktop, Key::Down);
    EXPECT_EQ(viewer->AutoZoomDirection, 0);
}

}  // namespace
}  // namespace qarn
