#include "engine/zoom.h"

#include <gtest/gtest.h>

#include <tuple>

#include "engine/extended_real.h"
#include "engine/view_centre.h"
#include "support/views.h"

namespace qarn {
namespace {

// The home view put at a level, keeping its origin: enough for the zooms.
ViewState AtLevel(int level) {
    ViewState view = testing::HomeViewState();
    view.ZoomLevel = level;
    view.PixelStep = testing::StepOfLevel(level);
    return view;
}

// The top-left pixel of the centred square of 512 / 2^levels pixels.
PicturePixel CentredCorner(int levels) { return {256 - (256 >> levels), 256 - (256 >> levels)}; }

TEST(MoveToLevel, ZoomInToTheCentredSquare) {
    ViewState view = AtLevel(0);
    EXPECT_EQ(MoveToLevel(view, 1, CentredCorner(1)), ZoomKind::In);
    EXPECT_EQ(view.OriginRe, -1.0L);
    EXPECT_EQ(view.OriginIm, 1.0L);
    EXPECT_EQ(view.PixelStep, testing::StepOfLevel(1));
    EXPECT_EQ(view.ZoomLevel, 1);
}

TEST(MoveToLevel, InAndOutKeepTheCentre) {
    ViewState view = AtLevel(0);
    EXPECT_EQ(CentredCorner(2).col, 192);
    MoveToLevel(view, 2, CentredCorner(2));
    EXPECT_EQ(view.OriginRe, -0.5L);
    EXPECT_EQ(view.OriginIm, 0.5L);
    EXPECT_EQ(view.PixelStep, testing::StepOfLevel(2));
    EXPECT_EQ(MoveToLevel(view, -1, {}), ZoomKind::Out);
    EXPECT_EQ(view.OriginRe, -1.0L);
    EXPECT_EQ(view.OriginIm, 1.0L);
    EXPECT_EQ(view.PixelStep, testing::StepOfLevel(1));
    EXPECT_EQ(view.OriginRe + 256 * view.PixelStep, 0.0L) << "c = 0 stays at pixel (256, 256)";
}

TEST(MoveToLevel, ZoomInToASquareOffCentre) {
    ViewState view = AtLevel(0);
    MoveToLevel(view, 4, {84, 84});
    EXPECT_EQ(view.OriginRe, -2.0L + 84 * 0.0078125L);
    EXPECT_EQ(view.OriginIm, 2.0L - 84 * 0.0078125L);
    EXPECT_EQ(view.PixelStep, testing::StepOfLevel(4));
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
TEST(MoveToLevel, OffGridOriginMovesByOneProduct) {
    ViewState start = testing::OffGridView(8);
    start.ZoomLevel = 10;
    const long double s = start.PixelStep;

    const int ins[][3] = {{1, 84, 100}, {4, 240, 300}};  // levels, left, top
    for (const auto& [levels, left, top] : ins) {
        ViewState view = start;
        MoveToLevel(view, levels, {left, top});
        EXPECT_EQ(ToImage(view.OriginRe), ToImage(start.OriginRe + static_cast<long double>(left) * s)) << levels;
        EXPECT_EQ(ToImage(view.OriginIm), ToImage(start.OriginIm - static_cast<long double>(top) * s)) << levels;
        EXPECT_EQ(ToImage(view.PixelStep), ToImage(s / static_cast<long double>(1 << levels))) << levels;
    }
    // Where the centre rule of engine/view_centre.h (two roundings) gives
    // other bits than the one product: the reason zoom out keeps its own.
    const struct {
        int levels;
        bool reDiffers;
        bool imDiffers;
    } outs[] = {{1, false, false}, {2, true, false}, {3, true, false}, {4, true, true}};
    for (const auto& row : outs) {
        ViewState view = start;
        MoveToLevel(view, -row.levels, {});
        const auto factor = static_cast<long double>(1 << row.levels);
        const long double d = ((factor - 1.0L) * 256.0L) * s;
        EXPECT_EQ(ToImage(view.OriginRe), ToImage(start.OriginRe - d)) << row.levels;
        EXPECT_EQ(ToImage(view.OriginIm), ToImage(start.OriginIm + d)) << row.levels;
        EXPECT_EQ(ToImage(view.PixelStep), ToImage(factor * s)) << row.levels;
        EXPECT_EQ(view.ZoomLevel, 10 - row.levels);
        const ViewPoint throughCentre = OriginAround(CentreOf(start), view.PixelStep);
        EXPECT_EQ(ToImage(throughCentre.re) != ToImage(view.OriginRe), row.reDiffers) << row.levels;
        EXPECT_EQ(ToImage(throughCentre.im) != ToImage(view.OriginIm), row.imDiffers) << row.levels;
    }
}

// On the grid of the levels (a power-of-two step, the origin a multiple of
// it: every view the viewer makes from the home view) each sum is exact, so
// zoom out keeps the centre exactly and agrees with the centre rule.
TEST(MoveToLevel, OnTheGridZoomOutAgreesWithTheCentreRule) {
    const struct {
        long double re;
        long double im;
        int level;
    } views[] = {{-0.75L, 0.1L, 10},
                 {-1.7497L, 0.0001L, 30},
                 {0.2501L, -0.5L, 56},
                 {-2.0L, 2.0L, 5}};  // level 5 - 4: still a zoom out
    for (const auto& row : views) {
        for (int levels = 1; levels <= 4; ++levels) {
            const ViewState start = testing::ViewAround(row.re, row.im, row.level, 512);
            ViewState view = start;
            MoveToLevel(view, -levels, {});
            const ViewPoint centre = CentreOf(start);
            const ViewPoint throughCentre = OriginAround(centre, view.PixelStep);
            EXPECT_EQ(ToImage(view.OriginRe), ToImage(throughCentre.re)) << row.level << " " << levels;
            EXPECT_EQ(ToImage(view.OriginIm), ToImage(throughCentre.im)) << row.level << " " << levels;
            EXPECT_EQ(view.OriginRe + 256.0L * view.PixelStep, centre.re) << row.level << " " << levels;
            EXPECT_EQ(view.OriginIm - 256.0L * view.PixelStep, centre.im) << row.level << " " << levels;
        }
    }
}

TEST(MoveToLevel, ZoomingOutToLevelZeroOrBelowResets) {
    for (auto [level, delta, expectedLevel] : {std::tuple{2, -2, 0}, {3, -4, 0}, {3, -2, 1}, {40, -56, 0}}) {
        ViewState view = AtLevel(level);
        view.OriginRe = 0.3L;  // wherever the view was
        view.OriginIm = -0.1L;
        EXPECT_EQ(MoveToLevel(view, delta, {}), expectedLevel == 0 ? ZoomKind::Reset : ZoomKind::Out);
        EXPECT_EQ(view.ZoomLevel, expectedLevel);
        EXPECT_EQ(view.PixelStep, testing::StepOfLevel(expectedLevel));
        if (expectedLevel == 0) {
            EXPECT_EQ(view.OriginRe, -2.0L);
            EXPECT_EQ(view.OriginIm, 2.0L);
        } else {
            EXPECT_EQ(view.OriginRe + 256 * view.PixelStep, 0.3L + 256 * testing::StepOfLevel(level));
        }
    }
}

TEST(MoveToLevel, RecomputeKeepsTheViewExceptAtLevelZero) {
    ViewState view = AtLevel(7);
    view.OriginRe = 0.25L;
    EXPECT_EQ(MoveToLevel(view, 0, {}), ZoomKind::Recompute);
    EXPECT_EQ(view.OriginRe, 0.25L);
    view = AtLevel(0);
    view.OriginRe = 0.25L;  // scrolled
    EXPECT_EQ(MoveToLevel(view, 0, {}), ZoomKind::Reset);
    EXPECT_EQ(view.OriginRe, -2.0L);
}

TEST(MoveToLevel, NothingChangesPastTheDeepestLevel) {
    ViewState view = AtLevel(54);
    EXPECT_EQ(MoveToLevel(view, 4, CentredCorner(4)), ZoomKind::Refused);
    EXPECT_EQ(view.ZoomLevel, 54);
    EXPECT_EQ(view.PixelStep, testing::StepOfLevel(54));

    ViewState deeper = AtLevel(52);
    EXPECT_EQ(MoveToLevel(deeper, 4, CentredCorner(4)), ZoomKind::In);
    EXPECT_EQ(deeper.ZoomLevel, 56);
    EXPECT_EQ(deeper.PixelStep, std::ldexp(1.0L, -63));
}

TEST(MoveToLevel, LevelsBeyondTheRangeFromAFile) {
    ViewState high = AtLevel(61);
    for (int delta : {0, -4, 1}) EXPECT_EQ(MoveToLevel(high, delta, {}), ZoomKind::Refused) << delta;
    EXPECT_EQ(high.ZoomLevel, 61) << "no target above 56 is reached";
    EXPECT_EQ(MoveToLevel(high, ResetDelta, {}), ZoomKind::Reset);
    EXPECT_EQ(high.ZoomLevel, 0);

    ViewState negative = AtLevel(-3);
    EXPECT_EQ(MoveToLevel(negative, 1, {}), ZoomKind::Reset) << "a negative level makes any zoom a reset";
    EXPECT_EQ(negative.ZoomLevel, 0);
    EXPECT_EQ(negative.OriginRe, -2.0L);
}

}  // namespace
}  // namespace qarn
