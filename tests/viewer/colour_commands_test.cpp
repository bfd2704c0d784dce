#include "viewer/colour_commands.h"

#include "engine/scroll.h"
#include "viewer/auto_zoom.h"
#include "viewer/selection.h"
#include "viewer/timer_tick.h"
#include "viewer/viewer_fixture.h"

namespace qarn {
namespace {

class ColourCommandsTest : public testing::ViewerTest {
protected:
    void Tick() { TimerTick(*viewer, desktop, static_cast<unsigned>(TimerId::ColourShift)); }
    std::int32_t& Shift() { return View().ColourShift; }
};

TEST_F(ColourCommandsTest, ConstantShiftsWrapRound) {
    ColourShiftCommand(*viewer, desktop, IDM_CONSTANT_SUBTRACT);
    EXPECT_EQ(Shift(), 4032);
    ColourShiftCommand(*viewer, desktop, IDM_CONSTANT_ADD);
    EXPECT_EQ(Shift(), 0);
    Shift() = 4096;
    ColourShiftCommand(*viewer, desktop, IDM_CONSTANT_ADD);
    EXPECT_EQ(Shift(), 64);
    Shift() = 4096;
    ColourShiftCommand(*viewer, desktop, IDM_CONSTANT_SUBTRACT);
    EXPECT_EQ(Shift(), 4032);
    ColourShiftCommand(*viewer, desktop, IDM_RESTORE);
    EXPECT_EQ(Shift(), 0);
    EXPECT_EQ(desktop.LastText(StatusPart::Messages), u"Ready");
}

TEST_F(ColourCommandsTest, RepeatedShiftingStates) {
    ColourShiftCommand(*viewer, desktop, IDM_SUBTRACT_SHIFTING);
    EXPECT_EQ(viewer->ColourShiftDirection, -1);
    EXPECT_EQ(desktop.timers[TimerId::ColourShift], ColourShiftPeriod);
    EXPECT_EQ(desktop.LastText(StatusPart::Messages), u"Subtract Color Shifting...");
    EXPECT_EQ(Shift(), 0) << "the first step comes with the first tick";
    Tick();
    EXPECT_EQ(Shift(), 4096);
    Tick();
    EXPECT_EQ(Shift(), 4095);
    const int starts = desktop.timerStarts;
    ColourShiftCommand(*viewer, desktop, IDM_ADD_SHIFTING);
    EXPECT_EQ(viewer->ColourShiftDirection, 1);
    EXPECT_EQ(desktop.timerStarts, starts) << "reversing keeps the running timer";
    EXPECT_EQ(desktop.LastText(StatusPart::Messages), u"Add Color Shifting...");
    Tick();
    Tick();
    EXPECT_EQ(Shift(), 1) << "4095, 4096, then 1";
    ColourShiftCommand(*viewer, desktop, IDM_ADD_SHIFTING);
    EXPECT_EQ(viewer->ColourShiftDirection, 0);
    EXPECT_FALSE(desktop.TimerRuns(TimerId::ColourShift));
    EXPECT_EQ(desktop.LastText(StatusPart::Messages), u"Ready");
    EXPECT_EQ(Shift(), 1) << "left where the timer stopped it";

    // Idle, adding, then subtracting reverses it on the same timer.
    ColourShiftCommand(*viewer, desktop, IDM_ADD_SHIFTING);
    EXPECT_EQ(desktop.LastText(StatusPart::Messages), u"Add Color Shifting...");
    const int addStarts = desktop.timerStarts;
    ColourShiftCommand(*viewer, desktop, IDM_SUBTRACT_SHIFTING);
    EXPECT_EQ(viewer->ColourShiftDirection, -1);
    EXPECT_EQ(desktop.timerStarts, addStarts);
    EXPECT_EQ(desktop.LastText(StatusPart::Messages), u"Subtract Color Shifting...");
    Tick();
    EXPECT_EQ(Shift(), 0);
    ColourShiftCommand(*viewer, desktop, IDM_SUBTRACT_SHIFTING);
    EXPECT_EQ(viewer->ColourShiftDirection, 0);
    EXPECT_FALSE(desktop.TimerRuns(TimerId::ColourShift));
    EXPECT_EQ(desktop.LastText(StatusPart::Messages), u"Ready");
}

TEST_F(ColourCommandsTest, ATickWhileTheSquareIsShownChangesNothing) {
    ColourShiftCommand(*viewer, desktop, IDM_ADD_SHIFTING);
    SelectLevelCommand(*viewer, desktop, 42);  // ends shifting: start it again
    ColourShiftCommand(*viewer, desktop, IDM_ADD_SHIFTING);
    viewer->SelectionTracking = true;
    const int repaints = desktop.repaints;
    Tick();
    EXPECT_EQ(Shift(), 0);
    EXPECT_EQ(desktop.repaints, repaints);
}

TEST_F(ColourCommandsTest, MonochromeComponentsAndTheirMarks) {
    PaletteCommand(*viewer, desktop, IDM_MONO_FIRST);
    EXPECT_EQ(View().PaletteMode, 256u + GreenComponent + BlueComponent);
    EXPECT_EQ(viewer->tables.mono[100], Rgb(0, 100, 100));
    EXPECT_FALSE(desktop.marks[54]);
    EXPECT_TRUE(desktop.marks[55]);
    EXPECT_TRUE(desktop.marks[56]);
    EXPECT_TRUE(desktop.marks[57]);
    EXPECT_FALSE(desktop.marks[61]);
    EXPECT_TRUE(desktop.marks[62]);
    PaletteCommand(*viewer, desktop, 55);
    PaletteCommand(*viewer, desktop, 56);
    for (std::uint32_t pixel : *pixels) ASSERT_EQ(pixel, 0u) << "no component: black";
}

TEST_F(ColourCommandsTest, OnlyADepthAboveTheComputedOneComputes) {
    ASSERT_EQ(viewer->engine.ComputedDepth, 512u);
    PaletteCommand(*viewer, desktop, 61);
    EXPECT_EQ(View().Depth, 4096u);
    EXPECT_EQ(viewer->engine.ComputedDepth, 4096u);
    DepthCommand(*viewer, desktop, IDM_DEPTH_FIRST);
    EXPECT_EQ(View().Depth, 512u);
    desktop.status.clear();
    PaletteCommand(*viewer, desktop, 61);
    EXPECT_EQ(View().Depth, 512u) << "compared with the computed depth";
    DepthCommand(*viewer, desktop, 65);
    EXPECT_EQ(View().Depth, 4096u);
    EXPECT_TRUE(desktop.TextsOf(StatusPart::Level).empty()) << "nothing computed";
    EXPECT_TRUE(desktop.marks[65]);
    EXPECT_FALSE(desktop.marks[62]);
}

TEST_F(ColourCommandsTest, AComputingDepthChangeAtLevelZeroReturnsHome) {
    ScrollView(viewer->engine, 7, 3);
    DepthCommand(*viewer, desktop, 63);
    EXPECT_EQ(View().OriginRe, -2.0L);
    EXPECT_EQ(View().OriginIm, 2.0L);
    EXPECT_EQ(viewer->engine.ComputedDepth, 1024u);
}

TEST_F(ColourCommandsTest, ThumbButtonsAndOtherApplicationCommands) {
    EXPECT_EQ(ApplicationCommand(*viewer, desktop, 0x0002), 0) << "forward from the keyboard";
    EXPECT_EQ(viewer->ColourShiftDirection, 0);
    EXPECT_EQ(ApplicationCommand(*viewer, desktop, 0x8002), 1);
    EXPECT_EQ(viewer->ColourShiftDirection, 1);
    EXPECT_EQ(ApplicationCommand(*viewer, desktop, 0x8001), 1);
    EXPECT_EQ(viewer->ColourShiftDirection, -1);
}

}  // namespace
}  // namespace qarn
