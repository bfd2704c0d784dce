#include "engine/renderer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <limits>
#include <memory>
#include <vector>

#include "engine/arithmetic_mode.h"
#include "engine/escape_count.h"
#include "engine/x87_lanes.h"
#include "support/views.h"

namespace qarn {
namespace {

using testing::HomeViewState;
using testing::OffGridViewAround;
using testing::ViewAround;
using testing::WithOrigin;

struct Case {
    const char* name;
    ViewState view;
    int lines = ViewSize;  // slow views: a strip at each edge is enough
};

// An 80-bit pattern the x87 refuses as an operand: exponent set, integer bit clear.
long double Unnormal() {
    const std::uint8_t bytes[10] = {0, 0, 0, 0, 0, 0, 0, 0x40, 0xFF, 0x3F};
    return FromImage(bytes);
}

// Views chosen to stress the fast paths: exact and inexact coordinates,
// escapes exactly at the bound, both depth extremes, orbits that cycle, and
// damaged values. The damaged views keep a small depth: the one-pixel loop
// they are checked against has no early exits, and some processors take
// microseconds per operation on NaN and subnormal operands.
std::vector<Case> Views() {
    const long double nan = std::numeric_limits<long double>::quiet_NaN();
    const long double inf = std::numeric_limits<long double>::infinity();
    ViewState nanOrigin = ViewAround(0.0L, 1.0L, 20, 16);
    nanOrigin.OriginRe = nan;
    ViewState nanStep = ViewAround(-0.5L, 0.0L, 3, 16);
    nanStep.PixelStep = nan;
    ViewState infOrigin = ViewAround(0.0L, 1.0L, 20, 16);
    infOrigin.OriginIm = inf;
    ViewState hugeStep = HomeViewState(16);
    hugeStep.PixelStep = std::numeric_limits<long double>::max();
    ViewState unnormal = WithOrigin(ViewAround(-0.5L, 0.0L, 3, 16), Unnormal(), 0.25L);
    // Off the grid from c = -2: row 0 and column 0 are lines of 80-bit
    // coordinates whose pixel 0 stays exactly on the bound (z = -2, 2, 2, ...),
    // where the doubles of the squared modulus cannot decide.
    const ViewState fromMinusTwo = WithOrigin(OffGridViewAround(0.0L, 0.0L, 40, 64), -2.0L, 0.0L);
    // Every pixel the same c, escaping slowly after its lane saved states.
    ViewState sameC = WithOrigin(HomeViewState(4096), 0.2501L, 0.0L);
    sameC.PixelStep = 0.0L;
    return {
        {"home view, depth 512 (c = -2 and 2i sit exactly on the bound)", HomeViewState(512)},
        {"home view, depth 4096", HomeViewState(4096)},
        {"exact doubles near the boundary", ViewAround(-0.75L, 0.1L, 9, 4096)},
        {"level 50, coordinates no double holds", ViewAround(0.0L, 1.0L, 50, 4096)},
        {"level 56", ViewAround(-0.1011L, 0.9563L, 56, 512)},
        {"wholly inside: every orbit cycles", testing::WhollyInsideView(), 8},
        {"minibrot: cycles of period 3 and more", testing::MinibrotView(), 8},
        {"off-grid level 50: the low bits of 80-bit coordinates decide",
         OffGridViewAround(-0.7436438870371587L, 0.1318259042053119L, 50, 4096), 8},
        {"off-grid level 56", OffGridViewAround(-0.7436438870371587L, 0.1318259042053119L, 56, 4096), 8},
        {"80-bit lines from c = -2, squared moduli within the doubles' margin of 4", fromMinusTwo},
        // Row 0's imaginary part has low bits below the doubles' range: that
        // row, and every column, cannot be read as pairs of doubles.
        {"real parts exactly doubles, imaginary parts not (0.1): rows split the doubles too",
         WithOrigin(ViewAround(-0.75L, 0.1L, 9, 4096), -0.75L, 0.1L), 8},
        {"80-bit coordinates that split into pairs of doubles, and 1e-300, which does not",
         WithOrigin(OffGridViewAround(0.0L, 0.0L, 20, 512), -0.75L, 1e-300L), 4},
        {"cycles at level 50", ViewAround(-0.1011L, 0.9563L, 50, 4096), 8},
        {"the edge of the disk |c + 1| < 1/4: cycles of two inside, late escapes outside",
         OffGridViewAround(-1.25L, 0.0L, 9, 4096), 8},
        {"near the antenna: orbits pass 2 - |c| for hundreds of tests, stop looking ahead, escape late",
         ViewAround(-1.78L, 0.0005L, 14, 4096), 8},
        {"zero step", sameC, 4},
        {"NaN origin", nanOrigin, 4},
        {"NaN step", nanStep, 4},
        {"unnormal origin", unnormal, 4},
        {"subnormal origin and step", testing::SubnormalView(16), 4},
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

// A state no pass writes: a NaN, which no escaping orbit holds.
const EscapeState Unwritten{std::numeric_limits<double>::quiet_NaN(), -1.0};

bool SameBits(const EscapeState& a, const EscapeState& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// A pass over a plan's pixels that asks for the states and checks, at each
// call of the line hook, that the line is final.
struct StatePass {
    std::unique_ptr<IterationBuffer> counts = std::make_unique<IterationBuffer>();
    std::vector<EscapeState> states = std::vector<EscapeState>(PixelCount, Unwritten);
    PixelGrid grid;
    std::vector<int> calls;             // of the hook, for each line
    std::vector<char> finalWhenCalled;  // every count and state written (no vector<bool>: lines run concurrently)
};

void LineFinished(void* context, int line) {
    StatePass& pass = *static_cast<StatePass*>(context);
    const PixelGrid& g = pass.grid;
    bool final = true;
    for (int i = 0; i < (g.byRows ? g.width : g.height); ++i) {
        const std::ptrdiff_t at = g.byRows ? line * g.stride + i : i * g.stride + line;
        final = final && g.out[at] != 0xDEADBEEF && g.out[at] != NeedsExactCount && !SameBits(g.escape[at], Unwritten);
    }
    ++pass.calls[static_cast<std::size_t>(line)];
    pass.finalWhenCalled[static_cast<std::size_t>(line)] = final;
}

std::unique_ptr<StatePass> RenderWithStates(Renderer& renderer, const StripPlan& plan, std::uint32_t depth) {
    auto pass = std::make_unique<StatePass>();
    pass->counts->fill(0xDEADBEEF);
    const std::size_t first = static_cast<std::size_t>(plan.firstRow * ViewSize + plan.firstCol);
    PixelGrid& grid = pass->grid;
    grid.re = &plan.re[static_cast<std::size_t>(plan.firstCol)];
    grid.im = &plan.im[static_cast<std::size_t>(plan.firstRow)];
    grid.width = plan.colCount;
    grid.height = plan.rowCount;
    grid.out = &(*pass->counts)[first];
    grid.stride = ViewSize;
    grid.byRows = plan.colCount == ViewSize;
    grid.escape = &pass->states[first];
    grid.lineFinished = LineFinished;
    grid.lineContext = pass.get();
    const int lines = grid.byRows ? grid.height : grid.width;
    pass->calls.assign(static_cast<std::size_t>(lines), 0);
    pass->finalWhenCalled.assign(static_cast<std::size_t>(lines), 0);
    EXPECT_TRUE(renderer.Compute(grid, depth));
    return pass;
}

// The counts and states of the definition for a plan's pixels, Unwritten
// and 0xDEADBEEF elsewhere.
struct Expected {
    std::unique_ptr<IterationBuffer> counts = std::make_unique<IterationBuffer>();
    std::vector<EscapeState> states = std::vector<EscapeState>(PixelCount, Unwritten);
};

std::unique_ptr<Expected> ExpectedStates(const StripPlan& plan, std::uint32_t depth) {
    auto expected = std::make_unique<Expected>();
    expected->counts->fill(0xDEADBEEF);
    for (int row = plan.firstRow; row < plan.firstRow + plan.rowCount; ++row)
        for (int col = plan.firstCol; col < plan.firstCol + plan.colCount; ++col) {
            const std::size_t at = static_cast<std::size_t>(row * ViewSize + col);
            (*expected->counts)[at] = EscapeCountWithState(plan.re[static_cast<std::size_t>(col)],
                                                           plan.im[static_cast<std::size_t>(row)], depth,
                                                           expected->states[at]);
        }
    return expected;
}

// Whether two plans cover the same pixels with the same coordinates.
bool SamePixels(const StripPlan& a, const StripPlan& b) {
    const auto same = [](const auto& x, const auto& y, int first, int count) {
        for (int i = first; i < first + count; ++i)
            if (ToImage(x[static_cast<std::size_t>(i)]) != ToImage(y[static_cast<std::size_t>(i)])) return false;
        return true;
    };
    return a.firstRow == b.firstRow && a.rowCount == b.rowCount && a.firstCol == b.firstCol &&
           a.colCount == b.colCount && same(a.re, b.re, a.firstCol, a.colCount) &&
           same(a.im, b.im, a.firstRow, a.rowCount);
}

// Every pixel has the expected count and state, and the hook ran once for
// each line, after the line was final. Returns the first failure.
std::string CheckStates(const StatePass& pass, const Expected& expected) {
    for (std::size_t at = 0; at < PixelCount; ++at) {
        if ((*pass.counts)[at] == (*expected.counts)[at] && SameBits(pass.states[at], expected.states[at])) continue;
        const EscapeState& s = pass.states[at];
        const EscapeState& e = expected.states[at];
        return "pixel (" + std::to_string(at % ViewSize) + ", " + std::to_string(at / ViewSize) + "): count " +
               std::to_string((*pass.counts)[at]) + " state (" + std::to_string(s.x) + ", " + std::to_string(s.y) +
               "), expected " + std::to_string((*expected.counts)[at]) + " (" + std::to_string(e.x) + ", " +
               std::to_string(e.y) + ")";
    }
    for (std::size_t line = 0; line < pass.calls.size(); ++line)
        if (pass.calls[line] != 1 || pass.finalWhenCalled[line] == 0)
            return "line " + std::to_string(line) + ": hook called " + std::to_string(pass.calls[line]) + " times, " +
                   (pass.finalWhenCalled[line] != 0 ? "final" : "not final");
    return "";
}

const char* NameOf(RenderPath path) {
    switch (path) {
    case RenderPath::FixedSlots: return "fixed-slot kernels";
    case RenderPath::Exchanging: return "exchanging kernels";
    case RenderPath::Portable: return "portable";
    default: return "chosen kernels";
    }
}

TEST(Renderer, EveryPathAndThreadCountGivesTheReferenceCountsAndStates) {
    // Each processor runs every path and way of keeping states, not only the
    // ones it would choose; and each with the mirror off: every count and
    // state the same.
    struct Config {
        unsigned threads;
        RenderPath path;
        StateKeeping keeping;
    };
    std::vector<Config> configs;
    for (unsigned threads : {2u, 5u}) configs.push_back({threads, RenderPath::Fast, StateKeeping::Chosen});
    for (unsigned threads : {1u, 3u}) {
        configs.push_back({threads, RenderPath::FixedSlots, StateKeeping::Chosen});
        for (StateKeeping keeping : {StateKeeping::Replaying, StateKeeping::EveryIteration})
            configs.push_back({threads, RenderPath::Exchanging, keeping});
    }
    configs.push_back({2, RenderPath::Portable, StateKeeping::Chosen});
    std::vector<std::unique_ptr<Renderer>> renderers;
    for (bool mirror : {true, false})
        for (const Config& config : configs) {
            renderers.push_back(std::make_unique<Renderer>(config.threads, config.path));
            renderers.back()->SetStateKeeping(config.keeping);
            renderers.back()->SetMirror(mirror);
        }

    for (const Case& c : Views()) {
        const auto expected = Reference(c.view, c.lines);
        StripPlan rows, columns;
        ASSERT_TRUE(PlanRows(c.view, -c.lines, rows));
        ASSERT_TRUE(PlanColumns(c.view, c.lines, columns));
        // The states' reference runs through the pixels, beside the
        // pass's; their counts agree with the pass's through the renderers.
        const auto expectedRows = ExpectedStates(rows, c.view.Depth);
        const auto expectedColumns = SamePixels(rows, columns) ? nullptr : ExpectedStates(columns, c.view.Depth);
        for (const auto& renderer : renderers) {
            EXPECT_TRUE(*Render(*renderer, rows, c.view.Depth, *expected) == *expected)
                << c.name << ", rows, " << NameOf(renderer->Path()) << ", " << renderer->Threads() << " threads";
            const std::uint64_t tests = renderer->Tests();
            EXPECT_TRUE(*Render(*renderer, columns, c.view.Depth, *expected) == *expected)
                << c.name << ", columns, " << NameOf(renderer->Path()) << ", " << renderer->Threads() << " threads";
            EXPECT_EQ(CheckStates(*RenderWithStates(*renderer, rows, c.view.Depth), *expectedRows), "")
                << c.name << ", rows with states, " << NameOf(renderer->Path()) << ", " << renderer->Threads()
                << " threads";
            // Keeping the states runs the same tests, however they are kept
            // (with the mirror on, a mirrored row computes the few points
            // whose state its image cannot tell).
            if (!renderer->Mirror()) {
                EXPECT_EQ(renderer->Tests(), tests) << c.name << ", rows with states, " << NameOf(renderer->Path());
            }
            EXPECT_EQ(CheckStates(*RenderWithStates(*renderer, columns, c.view.Depth),
                                  expectedColumns ? *expectedColumns : *expectedRows),
                      "")
                << c.name << ", columns with states, " << NameOf(renderer->Path()) << ", " << renderer->Threads()
                << " threads";
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

// The early exits, proven by the escape tests each pass runs (the same on
// every machine), at the depth where they matter most.
TEST(Renderer, EarlyExitsSkipTheTestsNoCountNeeds) {
    const long double nan = std::numeric_limits<long double>::quiet_NaN();
    ViewState subnormal = testing::SubnormalView(4096);
    subnormal.OriginIm = -subnormal.OriginIm;
    const ViewState inside = testing::WhollyInsideView();
    const ViewState level50 = ViewAround(0.0L, 1.0L, 50, 4096);
    struct WorkCase {
        const char* name;
        ViewState view;
        double maxTestsPerPixel;
    } cases[] = {
        {"NaN origin: nothing to iterate", WithOrigin(HomeViewState(4096), nan, 2.0L), 0.0},
        {"unnormal origin: NaN to the x87", WithOrigin(HomeViewState(4096), Unnormal(), 2.0L), 0.0},
        {"subnormal origin and step: z = c again at once", subnormal, 4.0},
        {"wholly inside: every orbit cycles early", inside, 4096 / 20.0},
    };
    // The portable path runs first: every kernel saves and compares its lanes'
    // states at the same tests as the one-pixel loop, whichever lane and
    // register layout holds a pixel, so it runs as many tests, give or take
    // a few hundred in the whole picture (a lane that misses its saves runs
    // half as many again on the wholly inside view).
    std::vector<std::uint64_t> portableTests;
    for (RenderPath path : {RenderPath::Portable, RenderPath::FixedSlots, RenderPath::Exchanging}) {
        Renderer renderer(2, path);
        for (std::size_t i = 0; const WorkCase& c : cases) {
            StripPlan plan;
            ASSERT_TRUE(PlanRows(c.view, -ViewSize, plan));
            auto counts = std::make_unique<IterationBuffer>();
            renderer.Compute(plan, c.view.Depth, *counts);
            EXPECT_EQ(std::count(counts->begin(), counts->end(), 0u), PixelCount) << c.name;
            EXPECT_LE(static_cast<double>(renderer.Tests()), c.maxTestsPerPixel * PixelCount)
                << c.name << ", " << NameOf(path);
            if (path == RenderPath::Portable) portableTests.push_back(renderer.Tests());
            EXPECT_NEAR(static_cast<double>(renderer.Tests()), static_cast<double>(portableTests[i++]), 1000.0)
                << c.name << ", " << NameOf(path);
        }
        // Where no orbit repeats, every test runs: the exits cost nothing in
        // counts. A strip keeps the portable path quick.
        StripPlan plan;
        ASSERT_TRUE(PlanRows(level50, -4, plan));
        auto counts = std::make_unique<IterationBuffer>();
        renderer.Compute(plan, level50.Depth, *counts);
        double plain = 0;
        for (int i = 0; i < 4 * ViewSize; ++i)
            plain += (*counts)[static_cast<std::size_t>(i)] == 0 ? 4096 : (*counts)[static_cast<std::size_t>(i)];
        EXPECT_EQ(static_cast<double>(renderer.Tests()), plain) << NameOf(path);
    }
}

TEST(Mirror, SourcesAreExactNegationsOnly) {
    const long double tiny = std::numeric_limits<long double>::denorm_min();
    const long double inf = std::numeric_limits<long double>::infinity();
    const long double nan = std::numeric_limits<long double>::quiet_NaN();
    struct MirrorCase {
        const char* name;
        std::vector<long double> im;
        std::vector<int> sources;
    } cases[] = {
        {"falling through zero", {0.5L, 0.25L, 0.0L, -0.25L, -0.5L, -0.75L}, {-1, -1, -1, 1, 0, -1}},
        {"rising", {-0.5L, -0.25L, 0.25L, 0.5L}, {3, 2, -1, -1}},
        {"-0 is no image of +0", {0.0L, -0.0L}, {-1, -1}},
        {"one unit in the last place apart", {0.1L, -std::nextafter(0.1L, 1.0L)}, {-1, -1}},
        {"subnormals and infinities", {inf, tiny, -tiny, -inf}, {-1, -1, 1, 0}},
        {"repeated values take one source", {0.5L, 0.5L, -0.5L, -0.5L}, {-1, -1, 0, 0}},
        {"out of order: none", {0.5L, -0.5L, 0.25L, -0.25L}, {-1, -1, -1, -1}},
        {"a NaN: none", {0.5L, nan, -0.5L}, {-1, -1, -1}},
        {"an unnormal: none", {0.5L, Unnormal(), -0.5L}, {-1, -1, -1}},
    };
    for (const MirrorCase& c : cases) {
        std::vector<int> sources(c.im.size(), 7);
        FindMirrorSources(c.im.data(), static_cast<int>(c.im.size()), sources.data());
        EXPECT_EQ(sources, c.sources) << c.name;
    }
}

// The pass computes one row of each mirrored pair: its escape tests are the
// one-pixel loop's for the rows without a source alone (the portable path
// counts exactly what the loop runs), less than half the view's beyond the
// axis row, and the mirror changes no count.
TEST(Mirror, MirroredRowsRunNoTests) {
    for (const ViewState& view : {HomeViewState(512), ViewAround(-0.75L, 0.0L, 4, 512)}) {
        StripPlan plan;
        ASSERT_TRUE(PlanRows(view, -ViewSize, plan));
        std::vector<int> sources(ViewSize);
        FindMirrorSources(&plan.im[0], ViewSize, sources.data());
        std::uint64_t expected = 0;
        std::uint64_t all = 0;
        for (int row = 0; row < ViewSize; ++row)
            for (int col = 0; col < ViewSize; ++col) {
                const std::uint32_t tests = EscapeCountWithExits(plan.re[static_cast<std::size_t>(col)],
                                                                 plan.im[static_cast<std::size_t>(row)], view.Depth)
                                                .tests;
                all += tests;
                if (sources[static_cast<std::size_t>(row)] < 0) expected += tests;
            }
        ASSERT_LT(expected, all * 6 / 10);
        for (RenderPath path : {RenderPath::Portable, RenderPath::Exchanging}) {
            Renderer on(2, path);
            Renderer off(2, path);
            off.SetMirror(false);
            auto a = std::make_unique<IterationBuffer>();
            auto b = std::make_unique<IterationBuffer>();
            on.Compute(plan, view.Depth, *a);
            off.Compute(plan, view.Depth, *b);
            EXPECT_TRUE(*a == *b) << NameOf(path);
            if (path == RenderPath::Portable) {
                EXPECT_EQ(on.Tests(), expected);
                EXPECT_EQ(off.Tests(), all);
            } else {
                EXPECT_LT(on.Tests(), off.Tests() * 6 / 10) << NameOf(path);
            }
        }
    }
}

TEST(Mirror, StatesOfMirroredPoints) {
    EscapeState to{};
    EXPECT_TRUE(MirroredState(0, {0.0, 0.0}, to));
    EXPECT_TRUE(SameBits(to, {0.0, 0.0}));  // count 0 keeps {+0, +0}
    EXPECT_TRUE(MirroredState(1, {-2.0, 0x1p-1074}, to));
    EXPECT_TRUE(SameBits(to, {-2.0, -0x1p-1074}));
    EXPECT_TRUE(MirroredState(1, {3.0, 0.0}, to));  // c itself: ci's double, negated
    EXPECT_TRUE(SameBits(to, {3.0, -0.0}));
    EXPECT_TRUE(MirroredState(7, {2.5, -1.5}, to));
    EXPECT_TRUE(SameBits(to, {2.5, 1.5}));
    EXPECT_FALSE(MirroredState(7, {2.5, 0.0}, to));  // +0 in both, or a tiny y of either sign
    EXPECT_FALSE(MirroredState(7, {2.5, -0.0}, to));
    // Points computed on both sides of the axis agree with the rule.
    for (long double b : {0.5L, 0.125L}) {
        EscapeState s{}, t{};
        const std::uint32_t n = EscapeCountWithState(-1.0L, b, 64, s);
        const std::uint32_t m = EscapeCountWithState(-1.0L, -b, 64, t);
        EXPECT_EQ(n, m);
        EscapeState mirrored{};
        if (MirroredState(n, s, mirrored)) {
            EXPECT_TRUE(SameBits(mirrored, t)) << static_cast<double>(b);
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
        ASSERT_TRUE(
            renderer.Compute(PixelGrid{re.data(), im.data(), Width, Height, counts.data(), Width, true, {}}, 600));
        for (int row = 0; row < Height; ++row)
            for (int col = 0; col < Width; ++col)
                ASSERT_EQ(counts[static_cast<std::size_t>(row * Width + col)],
                          EscapeCount(re[static_cast<std::size_t>(col)], im[static_cast<std::size_t>(row)], 600))
                    << col << ", " << row;
    }
    std::vector<long double> wide(Width + 1);
    std::uint32_t sink = 0;
    EXPECT_FALSE(renderer.Compute(PixelGrid{wide.data(), wide.data(), Width + 1, 1, &sink, 0, true, {}}, 512));
}

}  // namespace
}  // namespace qarn
