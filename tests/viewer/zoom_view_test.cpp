#include "viewer/zoom_view.h"

#include "engine/zoom.h"
#include "viewer/viewer_fixture.h"

namespace qarn {
namespace {

class ZoomViewTest : public testing::ViewerTest {};

struct StatusRow {
    const char* situation;
    int level, delta, autoZoom;
    std::u16string computing;
    bool ready;
    std::u16string level1;
};

TEST_F(ZoomViewTest, StatusTextsAndCursorsOfEverySituation) {
    const StatusRow rows[] = {
        {"zoom in to 7", 6, 1, 0, u"Zooming In  to Level 07...", true, u"Level 07 of 56"},
        {"zoom out to 6", 7, -1, 0, u"Zooming Out to Level 06...", true, u"Level 06 of 56"},
        {"auto zoom in to 7", 6, 1, 1, u"Auto Zooming In  to Level 07...", false, u"Level 07 of 56"},
        {"auto zoom out to 6", 7, -1, -1, u"Auto Zooming Out to Level 06...", false, u"Level 06 of 56"},
        {"reset", 12, ResetDelta, 0, u"Zooming Out to Level 00...", true, u"Level 00 of 56"},
        {"zoom out below 0", 2, -4, 0, u"Zooming Out to Level 00...", true, u"Level 00 of 56"},
        {"recompute at 0", 0, 0, 0, u"Zooming Out to Level 00...", true, u"Level 00 of 56"},
        {"recompute at 7", 7, 0, 0, u"Level 07...", true, u"Level 07 of 56"},
        {"zoom in to 56", 55, 1, 0, u"Zooming In  to Level 56...", true, u"Level 56 of 56"},
    };
    for (const StatusRow& row : rows) {
        SetUp();
        AtLevel(row.level);
        viewer->AutoZoomDirection = row.autoZoom;
        std::vector<bool> busyAtStatus;
        desktop.onStatus = [&] { busyAtStatus.push_back(viewer->Busy); };
        ZoomView(*viewer, desktop, row.delta);

        std::vector<std::u16string> part0{row.computing};
        if (row.ready) part0.push_back(u"Ready");
        EXPECT_EQ(desktop.TextsOf(StatusPart::Messages), part0) << row.situation;
        EXPECT_EQ(desktop.TextsOf(StatusPart::Level), std::vector<std::u16string>{row.level1}) << row.situation;
        EXPECT_EQ(desktop.status.back().part, StatusPart::Level) << row.situation << ": the level text comes last";
        EXPECT_TRUE(busyAtStatus.front()) << row.situation << ": busy while the progress text shows";
        EXPECT_FALSE(viewer->Busy);
        EXPECT_EQ(desktop.cursors, (std::vector{CursorShape::Wait, CursorShape::Arrow})) << row.situation;
    }
}

TEST_F(ZoomViewTest, PastTheDeepestLevelNothingChangesAtAll) {
    AtLevel(54);
    viewer->SelectionLevels = 4;
    viewer->engine.counts.fill(7);
    ZoomView(*viewer, desktop, 4);
    EXPECT_EQ(View().ZoomLevel, 54);
    EXPECT_EQ(viewer->engine.counts[0], 7u);
    EXPECT_TRUE(desktop.status.empty());
    EXPECT_TRUE(desktop.cursors.empty());
}

TEST_F(ZoomViewTest, ComputesTheWholeViewIntoTheSquareAndCentresIt) {
    AtLevel(3);
    viewer->SelectionLevels = 4;
    viewer->SelectionRect = {84, Top + 100, 116, Top + 132};
    viewer->SelectionTracking = true;
    viewer->engine.counts.fill(0xDEADBEEF);
    ZoomView(*viewer, desktop, 4);
    EXPECT_EQ(View().OriginRe, -2.0L + 84 * testing::StepOfLevel(3));
    EXPECT_EQ(View().OriginIm, 2.0L - 100 * testing::StepOfLevel(3));
    auto reference = std::make_unique<IterationBuffer>();
    ComputeRowsReference(View(), *reference, -ViewSize);
    EXPECT_TRUE(viewer->engine.counts == *reference);
    EXPECT_EQ(viewer->engine.ComputedDepth, 512u);
    EXPECT_FALSE(viewer->SelectionTracking);
    EXPECT_EQ(viewer->SelectionRect.left, 256 - 16) << "re-centred afterwards";
    EXPECT_EQ(viewer->SelectionRect.top, Top + 256 - 16);
}

TEST(ZoomStatusText, LevelTextAlwaysHasTwoDigits) {
    ZoomStatusText text;
    for (int level = 0; level <= 56; ++level) {
        text.SetLevel(level);
        text.ShowFinished();
        char16_t expected[] = u"Level 00 of 56";
        expected[6] = static_cast<char16_t>(u'0' + level / 10);
        expected[7] = static_cast<char16_t>(u'0' + level % 10);
        EXPECT_EQ(std::u16string(text.LevelText()), expected);
    }
}

}  // namespace
}  // namespace qarn
