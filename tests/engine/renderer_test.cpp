#include "engine/renderer.h"

#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <vector>

#include "engine/arithmetic_mode.h"
#include "engine/escape_count.h"
#include "support/views.h"

namespace qarn {
namespace {

using testing::HomeViewState;
using testing::ViewAround;

struct Case {
    const char* name;
    ViewState view;
    int lines = ViewSize;  // damaged views are slow (NaN arithmetic): a strip is enough
};

// Views chosen to stress the fast path: exact and inexact coordinates,
// escapes exactly at the bound, both depth extremes, damaged values.
std::vector<Case> Views() {
    const long double nan = std::numeric_limits<long double>::quiet_NaN();
    const long double inf = std::numeric_limits<long double>::infinity();
    ViewState nanOrigin = ViewAround(0.0L, 1.0L, 20, 512);
    nanOrigin.OriginRe = nan;
    ViewState nanStep = ViewAround(-0.5L, 0.0L, 3, 512);
    nanStep.PixelStep = nan;
    ViewState infOrigin = ViewAround(0.0L, 1.0L, 20, 512);
    infOrigin.OriginIm = inf;
    ViewState hugeStep = HomeViewState(512);
    hugeStep.PixelStep = std::numeric_limits<long double>::max();
    return {
        {"home view, depth 512 (c = -2 and 2i sit exactly on the bound)", HomeViewState(512)},
        {"home view, depth 4096", HomeViewState(4096)},
        {"exact doubles near the boundary", ViewAround(-0.75L, 0.1L, 9, 4096)},
        {"level 50, coordinates no double holds", ViewAround(0.0L, 1.0L, 50, 4096)},
        {"level 56", ViewAround(-0.1011L, 0.9563L, 56, 512)},
        {"NaN origin", nanOrigin, 4},
        {"NaN step", nanStep, 4},
        {"infinite origin", infOrigin, 4},
        {"overflowing step", hugeStep, 4},
    };
}

std::unique_ptr<IterationBuffer> Reference(const ViewState& view, int lines = ViewSize) {
    auto counts = std::make_unique<IterationBuffer>();
    counts->fill(0);
    ComputeRowsReference(view, *counts, -lines);
    if (lines < ViewSize) ComputeColumnsReference(view, *counts, lines);
    return counts;
}

// Pixels outside the plan keep the reference's counts.
std::unique_ptr<IterationBuffer> Render(Renderer& renderer, const StripPlan& plan, std::uint32_t depth,
                                        const IterationBuffer& reference) {
    auto counts = std::make_unique<IterationBuffer>(reference);
    for (int row = plan.firstRow; row < plan.firstRow + plan.rowCount; ++row)
        for (int col = plan.firstCol; col < plan.firstCol + plan.colCount; ++col)
            (*counts)[static_cast<std::size_t>(row * ViewSize + col)] = 0xDEADBEEF;
    renderer.Compute(plan, depth, *counts);
    return counts;
}

TEST(Renderer, EveryPathAndThreadCountGivesTheReferenceCounts) {
    std::vector<std::unique_ptr<Renderer>> renderers;
    for (unsigned threads : {1u, 2u, 3u, 5u}) renderers.push_back(std::make_unique<Renderer>(threads));
    renderers.push_back(std::make_unique<Renderer>(2, RenderPath::Portable));

    for (const Case& c : Views()) {
        const auto expected = Reference(c.view, c.lines);
        StripPlan rows, columns;
        ASSERT_TRUE(PlanRows(c.view, -c.lines, rows));
        ASSERT_TRUE(PlanColumns(c.view, c.lines, columns));
        for (const auto& renderer : renderers) {
            EXPECT_TRUE(*Render(*renderer, rows, c.view.Depth, *expected) == *expected)
                << c.name << ", rows, " << renderer->Threads() << " threads";
            EXPECT_TRUE(*Render(*renderer, columns, c.view.Depth, *expected) == *expected)
                << c.name << ", columns, " << renderer->Threads() << " threads";
        }
    }
}

TEST(Renderer, EveryLevelAgreesOnStripsAtBothEnds) {
    Renderer renderer(2);
    for (int level = 0; level <= MaxZoomLevel; ++level) {
        const ViewState view = ViewAround(0.0L, 1.0L, level, level % 2 == 0 ? 512 : 4096);
        for (int count : {-3, 2}) {
            for (bool byRows : {true, false}) {
                auto expected = std::make_unique<IterationBuffer>();
                expected->fill(0xDEADBEEF);
                (byRows ? ComputeRowsReference : ComputeColumnsReference)(view, *expected, count);
                StripPlan plan;
                ASSERT_TRUE((byRows ? PlanRows : PlanColumns)(view, count, plan));
                auto counts = std::make_unique<IterationBuffer>();
                counts->fill(0xDEADBEEF);
                renderer.Compute(plan, view.Depth, *counts);
                ASSERT_TRUE(*counts == *expected) << "level " << level << (byRows ? " rows " : " columns ") << count;
            }
        }
    }
}

TEST(Renderer, WorkersStartedAtDoublePrecisionStillComputeExactly) {
    // Threads may begin with 53-bit precision (Windows threads do); each
    // worker sets the mode for itself.
    const ViewState view = ViewAround(0.0L, 1.0L, 52, 512);
    const auto expected = Reference(view);
    StripPlan plan;
    ASSERT_TRUE(PlanRows(view, -ViewSize, plan));
    SetControlWord(0x027F);
    Renderer renderer(3);
    SetControlWord(0x027F);
    EXPECT_TRUE(*Render(renderer, plan, view.Depth, *expected) == *expected);
    SetArithmeticMode();
}

TEST(Renderer, GridsWiderThanTheViewGiveEachPixelItsOwnCount) {
    // Lines longer than the window's (large prints), with coordinates that
    // are exact doubles and with coordinates that are not.
    constexpr int Width = 1500;
    constexpr int Height = 9;
    Renderer renderer(2, RenderPath::Fast, Width);
    for (long double step : {1.0L / 1024, 1.0L / 3000}) {
        std::vector<long double> re(Width), im(Height);
        for (int i = 0; i < Width; ++i) re[static_cast<std::size_t>(i)] = -2.0L + i * step;
        for (int i = 0; i < Height; ++i) im[static_cast<std::size_t>(i)] = 0.75L - i * step;
        std::vector<std::uint32_t> counts(Width * Height, 0xDEADBEEF);
        ASSERT_TRUE(renderer.Compute(PixelGrid{re.data(), im.data(), Width, Height, counts.data(), Width, true}, 600));
        for (int row = 0; row < Height; ++row)
            for (int col = 0; col < Width; ++col)
                ASSERT_EQ(counts[static_cast<std::size_t>(row * Width + col)],
                          EscapeCount(re[static_cast<std::size_t>(col)], im[static_cast<std::size_t>(row)], 600))
                    << col << ", " << row;
    }
    std::vector<long double> wide(Width + 1);
    std::uint32_t sink = 0;
    EXPECT_FALSE(renderer.Compute(PixelGrid{wide.data(), wide.data(), Width + 1, 1, &sink, 0, true}, 512));
}

}  // namespace
}  // namespace qarn
