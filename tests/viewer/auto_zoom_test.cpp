#include "viewer/auto_zoom.h"

#include "viewer/auto_scroll.h"
#include "viewer/colour_commands.h"
#include "viewer/mouse_press.h"
#include "viewer/selection.h"
#include "viewer/timer_tick.h"
#include "viewer/viewer_fixture.h"

namespace qarn {
namespace {

class AutoZoomTest : public testing::ViewerTest {
protected:
    void Tick() { TimerTick(*viewer, desktop, static_cast<unsigned>(TimerId::AutoZoom)); }
};

TEST_F(AutoZoomTest, LeftPressZoomsToTheSquareAboutThePointer) {
    AtLevel(10);
    viewer->SelectionLevels = 2;
    const long double step = View().PixelStep;
    LeftPress(*viewer, desktop, {500, Top + 3});  // clamped into the picture
    EXPECT_EQ(View().ZoomLevel, 12);
    EXPECT_EQ(View().OriginRe, -2.0L + 384 * step);
    EXPECT_EQ(View().OriginIm, 2.0L);
    EXPECT_EQ(View().PixelStep, step / 4);
}

TEST_F(AutoZoomTest, PressesPastTheDeepestLevelOrBelowZero) {
    AtLevel(55);
    viewer->SelectionLevels = 2;
    const int repaints = desktop.repaints;
    LeftPress(*viewer, desktop, Centre());
    EXPECT_EQ(View().ZoomLevel, 55);
    EXPECT_EQ(desktop.repaints, repaints + 1) << "mapped and repainted all the same";
    AtLevel(2);
    viewer->SelectionLevels = 4;
    RightPress(*viewer, desktop);
    EXPECT_EQ(View().ZoomLevel, 0);
    EXPECT_EQ(View().OriginRe, -2.0L);
}

TEST_F(AutoZoomTest, APressOnlyEndsWhatRuns) {
    AtLevel(10);
    StartAutoScroll(*viewer, desktop);
    StartAutoZoomIn(*viewer, desktop);
    LeftPress(*viewer, desktop, Centre());
    EXPECT_FALSE(viewer->AutoScrollActive);
    EXPECT_EQ(viewer->AutoZoomDirection, 1);
    LeftPress(*viewer, desktop, Centre());
    EXPECT_EQ(viewer->AutoZoomDirection, 0);
    EXPECT_EQ(View().ZoomLevel, 10);
}

TEST_F(AutoZoomTest, HomeThenEndReturnsToTheStartingLevelThenGoesDeepest) {
    AtLevel(20);
    StartAutoZoomOut(*viewer, desktop, false);
    EXPECT_EQ(desktop.timers[TimerId::AutoZoom], AutoZoomPeriod);
    for (int expected = 19; expected >= 1; --expected) {
        Tick();
        ASSERT_EQ(View().ZoomLevel, expected);
        const std::u16string digits{char16_t(u'0' + expected / 10), char16_t(u'0' + expected % 10)};
        ASSERT_EQ(desktop.LastText(StatusPart::Messages), u"Auto Zooming Out to Level " + digits + u"...");
    }
    Tick();
    EXPECT_EQ(viewer->AutoZoomDirection, 0);
    EXPECT_EQ(desktop.LastText(StatusPart::Messages), u"Ready");
    StartAutoZoomIn(*viewer, desktop);
    for (int i = 0; i < 25; ++i) Tick();
    EXPECT_EQ(View().ZoomLevel, 20);
    EXPECT_EQ(viewer->AutoZoomDirection, 0);
    StartAutoZoomIn(*viewer, desktop);
    EXPECT_EQ(viewer->AutoZoomTarget, 56);
}

TEST_F(AutoZoomTest, RightDoubleClickTargetsTheLevelBeforeItsPress) {
    AtLevel(20);
    RightPress(*viewer, desktop);
    StartAutoZoomOut(*viewer, desktop, true);
    EXPECT_EQ(View().ZoomLevel, 19);
    EXPECT_EQ(viewer->AutoZoomTarget, 20);
    EXPECT_EQ(viewer->AutoZoomDirection, -1);

    AtLevel(56);
    viewer->AutoZoomDirection = 0;
    StartAutoScroll(*viewer, desktop);
    RightPress(*viewer, desktop);  // only ends AutoScroll
    StartAutoZoomOut(*viewer, desktop, true);
    EXPECT_EQ(View().ZoomLevel, 56);
    EXPECT_EQ(viewer->AutoZoomTarget, 56);
}

TEST_F(AutoZoomTest, StartsAtTheEndsStopAtTheFirstTick) {
    for (int level : {0, 1}) {
        AtLevel(level);
        StartAutoZoomOut(*viewer, desktop, false);
        Tick();
        EXPECT_EQ(View().ZoomLevel, level);
        EXPECT_EQ(viewer->AutoZoomDirection, 0);
        EXPECT_EQ(desktop.LastText(StatusPart::Messages), u"Ready");
    }
    AtLevel(56);
    StartAutoZoomIn(*viewer, desktop);
    Tick();
    EXPECT_EQ(View().ZoomLevel, 56);
    EXPECT_EQ(viewer->AutoZoomDirection, 0);
}

TEST_F(AutoZoomTest, EndWhileShiftingMakesOneOrdinaryStep) {
    AtLevel(5);
    ColourShiftCommand(*viewer, desktop, IDM_ADD_SHIFTING);
    StartAutoZoomIn(*viewer, desktop);
    EXPECT_EQ(viewer->SelectionLevels, 1);
    EXPECT_TRUE(desktop.marks[42]);
    Tick();
    EXPECT_EQ(View().ZoomLevel, 6);
    EXPECT_EQ(viewer->ColourShiftDirection, 0);
    EXPECT_EQ(viewer->AutoZoomDirection, 0);
    EXPECT_EQ(desktop.LastText(StatusPart::Messages), u"Ready");
    EXPECT_FALSE(desktop.TimerRuns(TimerId::AutoZoom));
}

TEST_F(AutoZoomTest, TicksAfterTheModeEndedDoNothing) {
    AtLevel(5);
    const auto before = desktop.status.size();
    Tick();
    EXPECT_EQ(View().ZoomLevel, 5);
    EXPECT_EQ(desktop.status.size(), before);
}

}  // namespace
}  // namespace qarn
