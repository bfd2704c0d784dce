#include "engine/zoom.h"

#include <gtest/gtest.h>

#include <string>

#include "engine/extended_real.h"
#include "support/recording_desktop.h"
#include "support/views.h"

namespace qarn {
namespace {

using testing::RecordingDesktop;

constexpr int Top = 28;  // the toolbar's height in these tests

// A shallow depth keeps these tests quick; the zoom does not look at counts.
struct Zoomer {
    explicit Zoomer(int level = 0) : engine(testing::MakeEngine(testing::HomeViewState(8))) {
        engine->view.ZoomLevel = level;
        engine->view.PixelStep = testing::StepOfLevel(level);
        PlaceSelectionRect(selection, Top, 256, Top + 256);
    }
    void Zoom(int delta, int autoZoomDirection = 0) { ZoomView(*engine, selection, autoZoomDirection, desktop, delta); }
    const ViewState& view() const { return engine->view; }

    std::unique_ptr<ViewEngine> engine;
    SelectionState selection;
    RecordingDesktop desktop{Top};
};

TEST(ZoomView, ZoomInToTheCentredSquare) {
    Zoomer z;
    z.Zoom(1);
    EXPECT_EQ(z.view().OriginRe, -1.0L);
    EXPECT_EQ(z.view().OriginIm, 1.0L);
    EXPECT_EQ(z.view().PixelStep, testing::StepOfLevel(1));
    EXPECT_EQ(z.view().ZoomLevel, 1);
}

TEST(ZoomView, InAndOutKeepTheCentre) {
    Zoomer z;
    z.selection.SelectionLevels = 2;
    PlaceSelectionRect(z.selection, Top, 256, Top + 256);
    EXPECT_EQ(z.selection.SelectionRect.left, 192);
    z.Zoom(2);
    EXPECT_EQ(z.view().OriginRe, -0.5L);
    EXPECT_EQ(z.view().OriginIm, 0.5L);
    EXPECT_EQ(z.view().PixelStep, testing::StepOfLevel(2));
    z.Zoom(-1);
    EXPECT_EQ(z.view().OriginRe, -1.0L);
    EXPECT_EQ(z.view().OriginIm, 1.0L);
    EXPECT_EQ(z.view().PixelStep, testing::StepOfLevel(1));
    EXPECT_EQ(z.view().OriginRe + 256 * z.view().PixelStep, 0.0L) << "c = 0 stays at pixel (256, 256)";
}

TEST(ZoomView, ZoomInToASquareOffCentre) {
    Zoomer z;
    z.selection.SelectionLevels = 4;
    PlaceSelectionRect(z.selection, Top, 100, Top + 100);
    EXPECT_EQ(z.selection.SelectionRect.left, 84);
    EXPECT_EQ(z.selection.SelectionRect.top, Top + 84);
    z.Zoom(4);
    EXPECT_EQ(z.view().OriginRe, -2.0L + 84 * 0.0078125L);
    EXPECT_EQ(z.view().OriginIm, 2.0L - 84 * 0.0078125L);
    EXPECT_EQ(z.view().PixelStep, testing::StepOfLevel(4));
    EXPECT_EQ(z.selection.SelectionRect.left, 256 - 16) << "re-centred afterwards";
    EXPECT_EQ(z.selection.SelectionTracking, 0);
}

// Off the grid (step 2^-7 / 3) a product of a whole number and the step is
// rounded, so the new origin depends on how it is formed. Zoom in moves each
// part by one product, here L x s and T x s, which differ from L or T single
// steps. Zoom out moves both parts by d = ((F - 1) x 256) x s; going through
// the centre instead, (origin + 256 s) - 256 F s, gives other bits for F = 4,
// 8 and 16 in the real part and 16 in the imaginary part; adding 256 F s and
// then subtracting 256 s gives other bits for F = 2 (imaginary) and 4 (real);
// stepping gives other bits for every F. The step is divided or multiplied
// by a power of two, exactly.
TEST(ZoomView, OffGridOriginMovesByOneProduct) {
    const ViewState start = testing::OffGridView(8);
    const long double s = start.PixelStep;

    const int ins[][3] = {{1, 84, 100}, {4, 240, 300}};  // levels, left, top
    for (const auto& [levels, left, top] : ins) {
        Zoomer z(10);
        z.engine->view = start;
        z.engine->view.ZoomLevel = 10;
        z.selection.SelectionLevels = levels;
        const int side = SelectionSizes[static_cast<std::size_t>(levels)];
        z.selection.SelectionRect = {left, Top + top, left + side, Top + top + side};
        z.Zoom(levels);
        EXPECT_EQ(ToImage(z.view().OriginRe), ToImage(start.OriginRe + static_cast<long double>(left) * s)) << levels;
        EXPECT_EQ(ToImage(z.view().OriginIm), ToImage(start.OriginIm - static_cast<long double>(top) * s)) << levels;
        EXPECT_EQ(ToImage(z.view().PixelStep), ToImage(s / static_cast<long double>(1 << levels))) << levels;
    }
    for (int levels = 1; levels <= 4; ++levels) {
        Zoomer z(10);
        z.engine->view = start;
        z.engine->view.ZoomLevel = 10;
        z.Zoom(-levels);
        const auto factor = static_cast<long double>(1 << levels);
        const long double d = ((factor - 1.0L) * 256.0L) * s;
        EXPECT_EQ(ToImage(z.view().OriginRe), ToImage(start.OriginRe - d)) << levels;
        EXPECT_EQ(ToImage(z.view().OriginIm), ToImage(start.OriginIm + d)) << levels;
        EXPECT_EQ(ToImage(z.view().PixelStep), ToImage(factor * s)) << levels;
        EXPECT_EQ(z.view().ZoomLevel, 10 - levels);
    }
}

TEST(ZoomView, ZoomingOutToLevelZeroOrBelowResets) {
    for (auto [level, delta, expectedLevel] : {std::tuple{2, -2, 0}, {3, -4, 0}, {3, -2, 1}, {40, -56, 0}}) {
        Zoomer z(level);
        z.engine->view.OriginRe = 0.3L;  // wherever the view was
        z.engine->view.OriginIm = -0.1L;
        z.Zoom(delta);
        EXPECT_EQ(z.view().ZoomLevel, expectedLevel);
        EXPECT_EQ(z.view().PixelStep, testing::StepOfLevel(expectedLevel));
        if (expectedLevel == 0) {
            EXPECT_EQ(z.view().OriginRe, -2.0L);
            EXPECT_EQ(z.view().OriginIm, 2.0L);
        } else {
            EXPECT_EQ(z.view().OriginRe + 256 * z.view().PixelStep, 0.3L + 256 * testing::StepOfLevel(level));
        }
    }
}

TEST(ZoomView, NothingChangesPastTheDeepestLevel) {
    Zoomer z(54);
    z.selection.SelectionLevels = 4;
    z.engine->counts.fill(7);
    const ViewState before = z.view();
    z.Zoom(4);
    EXPECT_EQ(z.view().ZoomLevel, 54);
    EXPECT_EQ(z.view().PixelStep, before.PixelStep);
    EXPECT_EQ(z.engine->counts[0], 7u);
    EXPECT_TRUE(z.desktop.status.empty());
    EXPECT_TRUE(z.desktop.cursors.empty());

    Zoomer deeper(52);
    deeper.selection.SelectionLevels = 4;
    PlaceSelectionRect(deeper.selection, Top, 256, Top + 256);
    deeper.Zoom(4);
    EXPECT_EQ(deeper.view().ZoomLevel, 56);
    EXPECT_EQ(deeper.view().PixelStep, std::ldexp(1.0L, -63));
    EXPECT_EQ(deeper.desktop.TextsOf(StatusPart::Level).back(), u"Level 56 of 56");
}

TEST(ZoomView, LevelsBeyondTheRangeFromAFile) {
    Zoomer high(61);
    high.Zoom(0);
    high.Zoom(-4);
    high.Zoom(1);
    EXPECT_EQ(high.view().ZoomLevel, 61) << "no target above 56 is reached";
    EXPECT_TRUE(high.desktop.status.empty());
    high.Zoom(ResetDelta);
    EXPECT_EQ(high.view().ZoomLevel, 0);

    Zoomer negative(-3);
    negative.Zoom(1);
    EXPECT_EQ(negative.view().ZoomLevel, 0) << "a negative level makes any zoom a reset";
    EXPECT_EQ(negative.view().OriginRe, -2.0L);
}

struct StatusRow {
    const char* situation;
    int level, delta, autoZoom;
    std::u16string computing;
    bool ready;
    std::u16string level1;
};

TEST(ZoomView, StatusTextsOfEverySituation) {
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
        Zoomer z(row.level);
        std::vector<std::int32_t> busyAtStatus;
        z.desktop.onStatus = [&] { busyAtStatus.push_back(z.engine->Busy); };
        z.Zoom(row.delta, row.autoZoom);

        std::vector<std::u16string> part0{row.computing};
        if (row.ready) part0.push_back(u"Ready");
        EXPECT_EQ(z.desktop.TextsOf(StatusPart::Messages), part0) << row.situation;
        EXPECT_EQ(z.desktop.TextsOf(StatusPart::Level), std::vector<std::u16string>{row.level1}) << row.situation;
        EXPECT_EQ(z.desktop.status.back().part, StatusPart::Level) << row.situation << ": the level text comes last";
        EXPECT_EQ(busyAtStatus.front(), 1) << row.situation << ": busy while the progress text shows";
        EXPECT_EQ(z.engine->Busy, 0);
        EXPECT_EQ(z.desktop.cursors, (std::vector{CursorShape::Wait, CursorShape::Arrow})) << row.situation;
    }
}

TEST(ZoomView, LevelTextAlwaysHasTwoDigits) {
    for (int level = 0; level <= 56; ++level) {
        Zoomer z(level);
        z.Zoom(0);
        char16_t expected[] = u"Level 00 of 56";
        expected[6] = static_cast<char16_t>(u'0' + level / 10);
        expected[7] = static_cast<char16_t>(u'0' + level % 10);
        EXPECT_EQ(z.desktop.TextsOf(StatusPart::Level).back(), expected);
    }
}

TEST(ZoomView, ComputesTheWholeView) {
    Zoomer z(3);
    z.engine->view.Depth = 512;
    z.engine->counts.fill(0xDEADBEEF);
    z.Zoom(1);
    auto reference = std::make_unique<IterationBuffer>();
    ComputeRowsReference(z.view(), *reference, -ViewSize);
    EXPECT_TRUE(z.engine->counts == *reference);
    EXPECT_EQ(z.engine->ComputedDepth, 512u);
}

}  // namespace
}  // namespace qarn
