#include "engine/scroll.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "engine/escape_count.h"
#include "engine/extended_real.h"
#include "engine/zoom.h"
#include "support/views.h"

namespace qarn {
namespace {

using testing::HomeViewState;
using testing::MakeEngine;
using testing::ViewAround;

std::unique_ptr<ViewEngine> ComputedEngine(const ViewState& view) {
    auto engine = MakeEngine(view);
    ComputeRows(*engine, -ViewSize);
    return engine;
}

bool SameView(const ViewState& a, const ViewState& b) {
    return a.OriginRe == b.OriginRe && a.OriginIm == b.OriginIm && a.PixelStep == b.PixelStep;
}

TEST(ScrollView, NoMoveChangesNothing) {
    auto engine = ComputedEngine(HomeViewState());
    const auto before = engine->counts;
    ScrollView(*engine, 0, 0);
    EXPECT_TRUE(SameView(engine->view, HomeViewState()));
    EXPECT_TRUE(engine->counts == before);
}

TEST(ScrollView, OneRowDownComputesOnlyTheBottomRow) {
    auto engine = ComputedEngine(HomeViewState());
    const auto before = engine->counts;
    ScrollView(*engine, 0, 1);
    EXPECT_EQ(engine->view.OriginIm, 1.9921875L);
    EXPECT_TRUE(std::equal(before.begin() + ViewSize, before.end(), engine->counts.begin()))
        << "rows 0 to 510 hold the old rows 1 to 511";
    // Row 511 now lies at imaginary part -2.
    for (int col = 0; col < ViewSize; ++col)
        EXPECT_EQ(engine->counts[static_cast<std::size_t>(511 * ViewSize + col)],
                  EscapeCount(-2.0L + col * 0.0078125L, -2.0L, 512));
}

TEST(ScrollView, OneColumnLeftComputesColumnZero) {
    auto engine = ComputedEngine(HomeViewState());
    const auto before = engine->counts;
    ScrollView(*engine, -1, 0);
    EXPECT_EQ(engine->view.OriginRe, -2.0078125L);
    for (int row = 0; row < ViewSize; ++row) {
        const auto* line = engine->counts.data() + row * ViewSize;
        EXPECT_EQ(line[0], 1u) << "every point left of -2 escapes at once";
        ASSERT_TRUE(std::equal(line + 1, line + ViewSize, before.data() + row * ViewSize)) << "row " << row;
    }
}

TEST(ScrollView, EveryMoveEqualsAFullPassOfTheMovedView) {
    const int moves[][2] = {{0, 1},   {0, -1},   {1, 0},   {-1, 0},   {-2, 3},     {7, 7},
                            {-9, -4}, {100, -1}, {0, 512}, {-512, 0}, {511, -511}, {-300, 200}};
    for (const ViewState& start : {HomeViewState(), ViewAround(0.0L, 1.0L, 48, 512)}) {
        for (const auto& move : moves) {
            auto scrolled = ComputedEngine(start);
            ScrollView(*scrolled, move[0], move[1]);
            auto full = ComputedEngine(scrolled->view);
            EXPECT_TRUE(scrolled->counts == full->counts)
                << "move (" << move[0] << ", " << move[1] << ") at level " << start.ZoomLevel;
        }
    }
}

// Off the grid, k single steps and one product k x step give different
// origins for each of these moves (in both parts where both are moved), and
// the counts kept from the old view need not equal a full pass of the moved
// one: the model follows the moves as defined. The vertical move
// steps OriginIm and computes its row strip at the old OriginRe; the
// horizontal move then shifts those rows too, steps OriginRe, and computes
// its column strip at both new origins.
TEST(ScrollView, OffGridMovesStepTheOriginOnePixelAtATime) {
    const int moves[][2] = {{0, 5}, {-3, 0}, {7, -2}, {-2, 3}, {-300, 200}, {511, -511}};
    const ViewState start = testing::OffGridView(64);
    const long double step = start.PixelStep;
    const auto computed = ComputedEngine(start);
    const IterationBuffer& old = computed->counts;
    for (const auto& move : moves) {
        const int dx = move[0];
        const int dy = move[1];
        auto engine = MakeEngine(start);
        engine->counts = old;
        ScrollView(*engine, dx, dy);

        ViewState rowsAt = start;  // where the row strip is computed
        for (int i = 0; i < dy; ++i) rowsAt.OriginIm -= step;
        for (int i = 0; i > dy; --i) rowsAt.OriginIm += step;
        ViewState moved = rowsAt;
        for (int i = 0; i < dx; ++i) moved.OriginRe += step;
        for (int i = 0; i > dx; --i) moved.OriginRe -= step;
        EXPECT_EQ(ToImage(engine->view.OriginRe), ToImage(moved.OriginRe)) << "move (" << dx << ", " << dy << ")";
        EXPECT_EQ(ToImage(engine->view.OriginIm), ToImage(moved.OriginIm)) << "move (" << dx << ", " << dy << ")";

        // The strips' counts from the reference passes at the views where
        // the move computes them.
        auto rows = std::make_unique<IterationBuffer>();
        auto columns = std::make_unique<IterationBuffer>();
        if (dy != 0) ComputeRowsReference(rowsAt, *rows, dy);
        if (dx != 0) ComputeColumnsReference(moved, *columns, dx);
        auto inStrip = [](int line, int count) { return count < 0 ? line < -count : line >= ViewSize - count; };
        for (int row = 0; row < ViewSize; ++row) {
            for (int col = 0; col < ViewSize; ++col) {
                const int oldCol = col + dx;  // where the pixel was before the horizontal move
                std::uint32_t expected = 0;
                if (dx != 0 && inStrip(col, dx))
                    expected = (*columns)[static_cast<std::size_t>(row * ViewSize + col)];
                else if (dy != 0 && inStrip(row, dy))
                    expected = (*rows)[static_cast<std::size_t>(row * ViewSize + oldCol)];
                else
                    expected = old[static_cast<std::size_t>((row + dy) * ViewSize + oldCol)];
                ASSERT_EQ(engine->counts[static_cast<std::size_t>(row * ViewSize + col)], expected)
                    << "move (" << dx << ", " << dy << ") at (" << col << ", " << row << ")";
            }
        }
    }
}

TEST(ScrollView, DiagonalEqualsVerticalThenHorizontal) {
    auto diagonal = ComputedEngine(HomeViewState());
    auto twoSteps = ComputedEngine(HomeViewState());
    ScrollView(*diagonal, -2, 3);
    ScrollView(*twoSteps, 0, 3);
    ScrollView(*twoSteps, -2, 0);
    EXPECT_TRUE(SameView(diagonal->view, twoSteps->view));
    EXPECT_TRUE(diagonal->counts == twoSteps->counts);
}

TEST(ScrollView, ScrollingBackRestoresOriginAndCounts) {
    const ViewState start = ViewAround(0.0L, 1.0L, 30, 512);
    auto engine = ComputedEngine(start);
    const auto before = engine->counts;
    ScrollView(*engine, 37, -11);
    ScrollView(*engine, -37, 11);
    EXPECT_TRUE(SameView(engine->view, start));
    EXPECT_TRUE(engine->counts == before);
}

TEST(ScrollView, AmountsBeyondTheViewAreLimited) {
    auto engine = ComputedEngine(HomeViewState());
    auto limited = ComputedEngine(HomeViewState());
    ScrollView(*engine, 100000, -100000);
    ScrollView(*limited, 512, -512);
    EXPECT_TRUE(SameView(engine->view, limited->view));
    EXPECT_TRUE(engine->counts == limited->counts);
}

TEST(ScrollView, LevelZeroRecomputeReturnsToTheHomeView) {
    auto engine = ComputedEngine(HomeViewState());
    ScrollView(*engine, 5, -3);
    EXPECT_EQ(engine->view.ZoomLevel, 0);
    EXPECT_FALSE(SameView(engine->view, HomeViewState()));
    EXPECT_EQ(MoveToLevel(engine->view, 0, {}), ZoomKind::Reset);
    ComputeRows(*engine, -ViewSize);
    EXPECT_TRUE(SameView(engine->view, HomeViewState()));
    EXPECT_TRUE(engine->counts == ComputedEngine(HomeViewState())->counts);
}

}  // namespace
}  // namespace qarn
