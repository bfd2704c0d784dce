#include "viewer/selection.h"

#include "viewer/zoom_command.h"
#include "viewer/viewer_fixture.h"

namespace qarn {
namespace {

class SelectionTest : public testing::ViewerTest {
protected:
    std::tuple<int, int, int, int> Square() const {
        const ClientRect& r = viewer->SelectionRect;
        return {r.left, r.top, r.right, r.bottom};
    }
    void MoveTo(ClientPoint point) { UpdateSelection(*viewer, desktop, 0, point); }
};

TEST_F(SelectionTest, TheSquareIsPushedInsideThePicture) {
    SelectLevelCommand(*viewer, desktop, 42);
    for (ClientPoint p : {ClientPoint{0, Top}, ClientPoint{100, Top + 127}, ClientPoint{128, Top + 5}}) {
        MoveTo(p);
        EXPECT_EQ(Square(), std::tuple(0, Top, 256, Top + 256));
    }
    MoveTo({511, Top + 511});
    EXPECT_EQ(Square(), std::tuple(256, Top + 256, 512, Top + 512));
    SelectLevelCommand(*viewer, desktop, 45);
    MoveTo({100, Top + 100});
    EXPECT_EQ(Square(), std::tuple(84, Top + 84, 116, Top + 116));
    EXPECT_EQ(desktop.outlines.size(), 1u) << "exactly one outline on the screen";
    EXPECT_EQ(desktop.outlines.count(Square()), 1u);
}

TEST_F(SelectionTest, SelectingTheShownLevelAgainHidesTheSquare) {
    SelectLevelCommand(*viewer, desktop, 43);
    EXPECT_TRUE(viewer->SelectionTracking);
    EXPECT_EQ(desktop.LastText(StatusPart::Messages), u"Select a region and then use a Zoom In or Out command...");
    SelectLevelCommand(*viewer, desktop, 43);
    EXPECT_FALSE(viewer->SelectionTracking);
    EXPECT_TRUE(desktop.outlines.empty()) << "no trace left";
    EXPECT_EQ(desktop.LastText(StatusPart::Messages), u"Ready");
    EXPECT_TRUE(desktop.marks[43]);
    EXPECT_FALSE(desktop.marks[42]);
}

TEST_F(SelectionTest, ShownAboutTheRecordedPointUntilThePointerMoves) {
    viewer->SelectionPoint = {300, Top + 300};
    SelectLevelCommand(*viewer, desktop, 44);
    EXPECT_EQ(Square(), std::tuple(268, Top + 268, 332, Top + 332));
    MoveTo({50, Top + 60});
    EXPECT_EQ(Square(), std::tuple(18, Top + 28, 82, Top + 92));
    EXPECT_EQ(desktop.outlines.size(), 1u);
}

TEST_F(SelectionTest, LevelsThatWouldPassTheDeepestAreRefused) {
    AtLevel(53);
    for (int command = 42; command <= 44; ++command) {
        SelectLevelCommand(*viewer, desktop, command);
        EXPECT_EQ(viewer->SelectionLevels, command - 41);
    }
    SelectLevelCommand(*viewer, desktop, 45);
    EXPECT_EQ(viewer->SelectionLevels, 3) << "key 4 is ignored";
    EXPECT_TRUE(viewer->SelectionTracking);
    EXPECT_EQ(desktop.LastText(StatusPart::Messages), u"Select a region and then use a Zoom In or Out command...");

    AtLevel(56);
    viewer->SelectionTracking = false;
    desktop.outlines.clear();
    for (int command = 42; command <= 45; ++command) SelectLevelCommand(*viewer, desktop, command);
    MouseWheel(*viewer, desktop, 120);
    EXPECT_FALSE(viewer->SelectionTracking) << "never shown at level 56";
    EXPECT_TRUE(desktop.outlines.empty());
}

TEST_F(SelectionTest, TheWheelShowsStepsAndIsCappedNearTheDeepestLevel) {
    MouseWheel(*viewer, desktop, -120);
    EXPECT_TRUE(viewer->SelectionTracking) << "the first notch shows the square at its level";
    EXPECT_EQ(viewer->SelectionLevels, 1);
    MouseWheel(*viewer, desktop, 120);
    EXPECT_EQ(viewer->SelectionLevels, 2);
    MouseWheel(*viewer, desktop, -120);
    MouseWheel(*viewer, desktop, -120);
    EXPECT_EQ(viewer->SelectionLevels, 4) << "0 becomes 4";
    MouseWheel(*viewer, desktop, 0);
    EXPECT_EQ(viewer->SelectionLevels, 1) << "5 becomes 1; a zero delta counts as forward";

    AtLevel(54);
    SelectLevelCommand(*viewer, desktop, 43);  // level 2 shown
    ASSERT_TRUE(viewer->SelectionTracking);
    MouseWheel(*viewer, desktop, 120);  // 3, capped to 2: the shown level again
    EXPECT_FALSE(viewer->SelectionTracking);
    MouseWheel(*viewer, desktop, 120);
    EXPECT_TRUE(viewer->SelectionTracking);
    EXPECT_EQ(viewer->SelectionLevels, 2);
    SelectLevelCommand(*viewer, desktop, 42);
    SelectLevelCommand(*viewer, desktop, 42);  // level 1, hidden
    MouseWheel(*viewer, desktop, -120);        // shows level 1
    MouseWheel(*viewer, desktop, -120);        // 0 becomes 4, capped to 2
    EXPECT_EQ(viewer->SelectionLevels, 2);
}

TEST_F(SelectionTest, DeactivationHidesWithoutRecentring) {
    SelectLevelCommand(*viewer, desktop, 42);
    MoveTo({40, Top + 40});
    DeactivateSelection(*viewer, desktop);
    EXPECT_FALSE(viewer->SelectionTracking);
    EXPECT_TRUE(desktop.outlines.empty());
    EXPECT_EQ(desktop.LastText(StatusPart::Messages), u"Ready");
    EXPECT_EQ(Square(), std::tuple(0, Top, 256, Top + 256)) << "Enter zooms where the square was";
    ZoomCommand(*viewer, desktop, IDM_ZOOM_IN);
    EXPECT_EQ(View().OriginRe, -2.0L);
    EXPECT_EQ(View().OriginIm, 2.0L);
    desktop.status.clear();
    DeactivateSelection(*viewer, desktop);
    EXPECT_TRUE(desktop.status.empty()) << "nothing happens while hidden";
}

TEST_F(SelectionTest, ResetHidesAndCentres) {
    SelectLevelCommand(*viewer, desktop, 43);
    MoveTo({10, Top + 500});
    ResetSelection(*viewer, desktop);
    EXPECT_FALSE(viewer->SelectionTracking);
    EXPECT_TRUE(desktop.outlines.empty());
    EXPECT_EQ(Square(), std::tuple(192, Top + 192, 320, Top + 320));
    EXPECT_EQ(desktop.LastText(StatusPart::Messages), u"Ready");
}

TEST_F(SelectionTest, PointerMovesAreIgnoredWhileBusyOrHidden) {
    MoveTo({10, Top + 10});
    EXPECT_EQ(desktop.outlineDrawings, 0);
    SelectLevelCommand(*viewer, desktop, 42);
    viewer->Busy = true;
    const auto before = Square();
    MoveTo({500, Top + 500});
    EXPECT_EQ(Square(), before);
    viewer->Busy = false;
}

TEST_F(SelectionTest, AnyZoomHidesAndCentresTheSquare) {
    SelectLevelCommand(*viewer, desktop, 42);
    MoveTo({30, Top + 30});
    ZoomCommand(*viewer, desktop, IDM_ZOOM_IN);
    EXPECT_FALSE(viewer->SelectionTracking);
    EXPECT_EQ(Square(), std::tuple(128, Top + 128, 384, Top + 384));
    EXPECT_EQ(View().OriginRe, -2.0L) << "zoomed into the square at the pointer";
}

}  // namespace
}  // namespace qarn
