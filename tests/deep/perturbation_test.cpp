// The deep loop against the oracle (the shallow loop in MPFR per point), and
// its invariants: threads, the arithmetic mode, memory, the reference's
// precision and choice.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "deep/perturbation.h"
#include "deep/wide_perturbation.h"
#include "deep/x87_plain_steps.h"
#include "deep_oracle.h"
#include "engine/arithmetic_mode.h"

namespace qarn::deep {
namespace {

struct DeepViewCase {
    const char* name;
    const char* re;
    const char* im;
    std::int64_t level;
    std::uint32_t depth;
    int width, height;
};

// Seahorse valley near a minibrot (counts of 10^4 to 10^5), and the
// Misiurewicz point i, where every pixel's count differs and the offsets lie
// far below binary64's range.
const DeepViewCase OracleViews[] = {
    {"seahorse60", "-0.743643887037158704752191506114774", "0.131825904205311970493132056385139", 60, 50000, 16, 12},
    {"seahorse90", "-0.743643887037158704752191506114774", "0.131825904205311970493132056385139", 90, 50000, 16, 12},
    {"seahorse100", "-0.743643887037158704752191506114774", "0.131825904205311970493132056385139", 100, 100000, 12, 8},
    {"i300", "0", "1", 300, 20000, 16, 12},
    {"i1500", "0", "1", 1500, 50000, 12, 12},
    {"i4000", "0", "1", 4000, 50000, 8, 8},
    // Near a minibrot of period 47, whose rounded orbit repeats: the skips
    // from every place of its period.
    {"minibrot47", "0.0000000000000000062234319465285062252726116146726651117",
     "0.99999999999999999689458187799125048761114384724592366043", 110, 20000, 12, 8},
    // Past the plain loop's range, and past the x87 exponent's.
    {"i9000", "0", "1", 9000, 50000, 6, 4},
    {"i20000", "0", "1", 20000, 50000, 4, 2},
};

struct Grid {
    DyadicNumber re, im;
    std::vector<long double> offRe, offIm;      // where the plain loop reaches
    std::vector<long double> unitsRe, unitsIm;  // in steps of 2^exponent
    std::int64_t exponent = 0;
    WideGrid Wide() const { return {unitsRe, unitsIm, exponent}; }
};

// Pixel (i, j) of W x H at scale 1: (i - W/2, H/2 - j) steps of 2^-(7+L).
Grid MakeGrid(const DeepViewCase& view) {
    Grid grid;
    const long bits = static_cast<long>(7 + view.level + 64);
    grid.re = testing::DyadicFromText(view.re, bits);
    grid.im = testing::DyadicFromText(view.im, bits);
    grid.exponent = -(7 + view.level);
    for (int i = 0; i < view.width; ++i) grid.unitsRe.push_back(i - view.width / 2);
    for (int j = 0; j < view.height; ++j) grid.unitsIm.push_back(view.height / 2 - j);
    if (view.level <= MaxLoopLevel) {
        long double step = 0x1p-7L;
        for (std::int64_t k = 0; k < view.level; ++k) step *= 0.5L;
        for (long double u : grid.unitsRe) grid.offRe.push_back(u * step);
        for (long double u : grid.unitsIm) grid.offIm.push_back(u * step);
    }
    return grid;
}

struct Agreement {
    double same = 0, close = 0, neighbourhood = 0;
    std::uint32_t largest = 0;
    bool falseInside = false;
};

Agreement Compare(const std::vector<std::uint32_t>& oracle, const std::vector<std::uint32_t>& counts, int width,
                  int height) {
    Agreement a;
    int same = 0, close = 0, within = 0;
    for (int j = 0; j < height; ++j) {
        for (int i = 0; i < width; ++i) {
            const std::size_t k = static_cast<std::size_t>(j * width + i);
            const std::uint32_t o = oracle[k], c = counts[k];
            same += o == c;
            const std::uint32_t diff = o > c ? o - c : c - o;
            if ((o == 0) == (c == 0) && diff <= std::max<std::uint32_t>(2, o / 1000)) ++close;
            if ((o == 0) != (c == 0))
                a.largest = UINT32_MAX;
            else
                a.largest = std::max(a.largest, diff);
            if (c == 0 && o != 0) a.falseInside = true;
            // Within the range of the oracle's counts of the 3 x 3 neighbourhood
            // (a count of 0 taken as above every other).
            auto key = [](std::uint32_t v) { return v == 0 ? std::uint64_t{1} << 40 : std::uint64_t{v}; };
            std::uint64_t low = UINT64_MAX, high = 0;
            for (int dj = -1; dj <= 1; ++dj)
                for (int di = -1; di <= 1; ++di) {
                    const int x = i + di, y = j + dj;
                    if (x < 0 || y < 0 || x >= width || y >= height) continue;
                    const std::uint64_t v = key(oracle[static_cast<std::size_t>(y * width + x)]);
                    low = std::min(low, v);
                    high = std::max(high, v);
                }
            within += key(c) >= low && key(c) <= high;
        }
    }
    const double total = static_cast<double>(width * height);
    a.same = same / total;
    a.close = close / total;
    a.neighbourhood = within / total;
    return a;
}

class DeepOracle : public ::testing::TestWithParam<DeepViewCase> {};

TEST_P(DeepOracle, CountsAgreeWithFullPrecision) {
    const DeepViewCase& view = GetParam();
    const Grid grid = MakeGrid(view);
    const long precision = ReferencePrecision(view.level, view.depth);
    const bool plainReaches = view.level <= MaxLoopLevel;
    // The wide loop takes its own reference where the plain one cannot.
    const ReferenceOrbit orbit = plainReaches
                                     ? ChooseReferenceOrbit(grid.re, grid.im, grid.offRe, grid.offIm, view.depth,
                                                            precision)
                                     : ChooseWideReferenceOrbit(grid.re, grid.im, grid.Wide(), view.depth, precision);
    const std::vector<std::uint32_t> oracle = testing::OracleCounts(grid.re, grid.im, grid.unitsRe, grid.unitsIm,
                                                                    view.depth, 2 * precision, grid.exponent);
    DeepRenderer renderer(2);
    const long double dcMax = plainReaches ? MaxDifference(orbit, grid.offRe, grid.offIm)
                                           : WideMaxDifference(orbit, grid.Wide());
    const BlaTable fine(orbit, FineTolerance, dcMax), fast(orbit, FastTolerance, dcMax);
    struct Setting {
        const char* name;
        const BlaTable* table;
        bool wide;
    } settings[] = {{"plain", nullptr, false},  {"fine", &fine, false},  {"fast", &fast, false},
                    {"wide fine", &fine, true}, {"wide", nullptr, true}, {"wide fast", &fast, true}};
    std::vector<std::uint32_t> plainFine;
    for (const Setting& setting : settings) {
        // Where the plain loop reaches, the wide one gives its very counts
        // (checked once, with the table).
        if (plainReaches && setting.wide && setting.table != &fine) continue;
        if (!setting.wide && !plainReaches) continue;
        std::vector<std::uint32_t> counts(oracle.size());
        const DeepWork work = setting.wide
                                  ? WideRender(2, orbit, setting.table, grid.Wide(), view.depth, counts)
                                  : renderer.Render(orbit, setting.table, grid.offRe, grid.offIm, view.depth, counts);
        const Agreement a = Compare(oracle, counts, view.width, view.height);
        std::printf("%-12s %-9s same %.4f close %.4f 3x3 %.4f largest %u tests %llu iterations %llu\n", view.name,
                    setting.name, a.same, a.close, a.neighbourhood, a.largest,
                    static_cast<unsigned long long>(work.tests), static_cast<unsigned long long>(work.iterations));
        EXPECT_FALSE(a.falseInside) << setting.name;
        if (setting.table == &fine && !setting.wide) plainFine = counts;
        if (setting.table == &fine && setting.wide && plainReaches) {
            EXPECT_EQ(counts, plainFine);
        }
        if (setting.table == &fast) {
            EXPECT_GE(a.neighbourhood, 0.97) << setting.name;
        } else {
            EXPECT_GE(a.same, 0.995) << setting.name;
            EXPECT_GE(a.close, 0.997) << setting.name;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Views, DeepOracle, ::testing::ValuesIn(OracleViews),
                         [](const auto& param) { return std::string(param.param.name); });

// Invariants of one picture: the same bits on any number of threads and in
// any starting arithmetic mode, the memory a reference iteration takes.
TEST(DeepLoop, InvariantsOfOnePicture) {
    const DeepViewCase view{"i300", "0", "1", 300, 20000, 24, 16};
    const Grid grid = MakeGrid(view);
    const ReferenceOrbit orbit = ChooseReferenceOrbit(grid.re, grid.im, grid.offRe, grid.offIm, view.depth,
                                                      ReferencePrecision(view.level, view.depth));
    const BlaTable fine(orbit, FineTolerance, MaxDifference(orbit, grid.offRe, grid.offIm));
    const std::size_t size = grid.offRe.size() * grid.offIm.size();
    std::vector<std::uint32_t> one(size), two(size), narrow(size);
    std::vector<EscapeState> oneStates(size), twoStates(size);
    DeepRenderer single(1), pair(2), three(3);
    single.Render(orbit, &fine, grid.offRe, grid.offIm, view.depth, one, oneStates);
    pair.Render(orbit, &fine, grid.offRe, grid.offIm, view.depth, two, twoStates);
    EXPECT_EQ(one, two);
    for (std::size_t k = 0; k < size; ++k) {
        EXPECT_EQ(oneStates[k].x, twoStates[k].x);
        EXPECT_EQ(oneStates[k].y, twoStates[k].y);
        // The state is where the escaping test stood: beyond the bound.
        if (one[k] != 0) {
            EXPECT_GT(oneStates[k].x * oneStates[k].x + oneStates[k].y * oneStates[k].y, 3.99);
        }
    }
    // Started at 53-bit precision, each thread sets the mode itself.
    SetControlWord(0x027F);
    three.Render(orbit, &fine, grid.offRe, grid.offIm, view.depth, narrow);
    SetArithmeticMode();
    EXPECT_EQ(one, narrow);
    // Each point's count, state and work in the renderer are those of the
    // one-point loop, with and without a table.
    const BlaTable fast(orbit, FastTolerance, MaxDifference(orbit, grid.offRe, grid.offIm));
    for (const BlaTable* table : {static_cast<const BlaTable*>(nullptr), &fine, &fast}) {
        std::vector<std::uint32_t> counts(size);
        std::vector<EscapeState> states(size);
        const DeepWork work = single.Render(orbit, table, grid.offRe, grid.offIm, view.depth, counts, states);
        DeepWork expected;
        for (std::size_t k = 0; k < size; ++k) {
            EscapeState state{};
            const std::size_t i = k % grid.offRe.size(), j = k / grid.offRe.size();
            EXPECT_EQ(counts[k], DeepCount(orbit, table, grid.offRe[i] - orbit.offsetRe, grid.offIm[j] - orbit.offsetIm,
                                           view.depth, &state, &expected));
            EXPECT_EQ(states[k].x, state.x);
            EXPECT_EQ(states[k].y, state.y);
        }
        EXPECT_EQ(work.tests, expected.tests);
        EXPECT_EQ(work.iterations, expected.iterations);
        EXPECT_EQ(work.skips, expected.skips);
        EXPECT_EQ(work.rebases, expected.rebases);
    }
    // At most 64 bytes an iteration, the table included.
    const double perIteration = static_cast<double>(OrbitBytes(orbit) + fine.Bytes()) / orbit.length;
    EXPECT_LE(perIteration, 64.0);
}

// Near a minibrot of period 47 (found by --find-minibrot), whose nucleus's
// rounded orbit repeats: the loop reads the tail's values from its first
// period, and every count and state is the one read from the whole orbit.
TEST(DeepLoop, TheRepeatingTailIsReadFromItsFirstPeriod) {
    const DeepViewCase view{"minibrot47",
                            "0.0000000000000000062234319465285062252726116146726651117",
                            "0.99999999999999999689458187799125048761114384724592366043",
                            110,
                            5000,
                            16,
                            8};
    const Grid grid = MakeGrid(view);
    const ReferenceOrbit orbit = ChooseReferenceOrbit(grid.re, grid.im, grid.offRe, grid.offIm, view.depth,
                                                      ReferencePrecision(view.level, view.depth));
    ASSERT_NE(orbit.period, 0u);
    ReferenceOrbit whole = orbit;  // the same values, no tail known
    whole.period = 0;
    whole.tailStart = 0;
    const BlaTable fast(orbit, FastTolerance, MaxDifference(orbit, grid.offRe, grid.offIm));
    int inside = 0;
    for (const BlaTable* table : {static_cast<const BlaTable*>(nullptr), &fast})
        for (long double dcIm : grid.offIm)
            for (long double dcRe : grid.offRe) {
                EscapeState a{}, b{};
                const std::uint32_t count = DeepCount(orbit, table, dcRe, dcIm, view.depth, &a, nullptr);
                EXPECT_EQ(count, DeepCount(whole, table, dcRe, dcIm, view.depth, &b, nullptr));
                EXPECT_EQ(a.x, b.x);
                EXPECT_EQ(a.y, b.y);
                inside += count == 0;
            }
    EXPECT_GT(inside, 0);
    EXPECT_LT(inside, 2 * 16 * 8);
}

// In an orbit's repeating tail the table keeps the steps from every place
// of one period: where an aligned step of the same length starts in the
// tail, it is that step to the last bit (the same values merged in the same
// order), and the aligned ones it replaces are not kept.
TEST(SkipTable, TheTailsStepsAreTheAlignedOnesWhereTheyMeet) {
    const DeepViewCase& view = OracleViews[6];
    ASSERT_STREQ(view.name, "minibrot47");
    const Grid grid = MakeGrid(view);
    const ReferenceOrbit orbit = ChooseReferenceOrbit(grid.re, grid.im, grid.offRe, grid.offIm, view.depth,
                                                      ReferencePrecision(view.level, view.depth));
    ReferenceOrbit whole = orbit;
    whole.period = 0;
    const long double dcMax = MaxDifference(orbit, grid.offRe, grid.offIm);
    for (const Tolerance tolerance : {FineTolerance, FastTolerance}) {
        const BlaTable tail(orbit, tolerance, dcMax), aligned(whole, tolerance, dcMax);
        ASSERT_EQ(tail.TailStart(), orbit.tailStart);
        ASSERT_GT(tail.TailLevels(), 4u);
        ASSERT_EQ(aligned.TailStart(), UINT32_MAX);
        int compared = 0;
        for (std::size_t index = 0; index < tail.TailLevels(); ++index) {
            const std::uint64_t steps = std::uint64_t{1} << (index + BlaTable::MinLevel);
            const std::span<const BlaStep> level = aligned.Level(index);
            for (std::size_t j = 0; j < level.size(); ++j) {
                const std::uint64_t m = 1 + j * steps;
                if (m < orbit.tailStart) {
                    EXPECT_LT(j, tail.Level(index).size());
                    continue;
                }
                EXPECT_GE(j, tail.Level(index).size());
                const BlaStep& same = tail.Tail(index)[(m - orbit.tailStart) % orbit.period];
                EXPECT_EQ(std::memcmp(&same, &level[j], sizeof(BlaStep)), 0) << index << " " << j;
                ++compared;
            }
        }
        EXPECT_GT(compared, 1000);
        EXPECT_LT(tail.Bytes(), aligned.Bytes());
    }
}

// The x87 kernel's plain steps are the C++ loop's: every count, state and
// tally alike, with and without a table, on views where the steps meet the
// kernel's exits often (rebases near a minibrot, skips, its repeating tail)
// and on points where dc has a zero part (the C++ loop's flush then serves).
TEST(DeepLoop, KernelStepsAreTheLoopsSteps) {
    const DeepViewCase views[] = {
        OracleViews[1],
        OracleViews[3],
        OracleViews[5],
        {"minibrot47", "0.0000000000000000062234319465285062252726116146726651117",
         "0.99999999999999999689458187799125048761114384724592366043", 110, 50000, 48, 32},
        // Past the doubles form's range, with an orbit that does not repeat.
        {"tip1500", "-1.999", "0", 1500, 20000, 12, 8},
    };
    for (const DeepViewCase& view : views) {
        SCOPED_TRACE(view.name);
        const Grid grid = MakeGrid(view);
        const ReferenceOrbit orbit = ChooseReferenceOrbit(grid.re, grid.im, grid.offRe, grid.offIm, view.depth,
                                                          ReferencePrecision(view.level, view.depth));
        const long double dcMax = MaxDifference(orbit, grid.offRe, grid.offIm);
        const BlaTable fine(orbit, FineTolerance, dcMax), fast(orbit, FastTolerance, dcMax);
        SetArithmeticMode();
        for (const BlaTable* table : {static_cast<const BlaTable*>(nullptr), &fine, &fast}) {
            DeepWork kernel, cpp;
            for (long double offIm : grid.offIm)
                for (long double offRe : grid.offRe)
                    for (const long double dcRe : {offRe - orbit.offsetRe, 0.0L}) {
                        EscapeState a{}, b{};
                        const long double dcIm = offIm - orbit.offsetIm;
                        EXPECT_EQ(DeepCount(orbit, table, dcRe, dcIm, view.depth, &a, &kernel),
                                  DeepCountInCpp(orbit, table, dcRe, dcIm, view.depth, &b, &cpp));
                        EXPECT_EQ(a.x, b.x);
                        EXPECT_EQ(a.y, b.y);
                    }
            EXPECT_EQ(kernel.tests, cpp.tests);
            EXPECT_EQ(kernel.iterations, cpp.iterations);
            EXPECT_EQ(kernel.skips, cpp.skips);
            EXPECT_EQ(kernel.rebases, cpp.rebases);
        }
    }
}

#if QARN_DEEP_X87_KERNEL
// After a skip the kernel goes on unless a part of the new d is below
// FlushBelow (0 included), which it leaves to the caller's flush: a step
// d' = B dc from the first lookup point, then plain steps to the end.
TEST(DeepLoop, TheKernelLeavesOnlyASkipsFlushedPartsToTheCaller) {
    SetArithmeticMode();
    std::vector<OrbitPoint> points(16, OrbitPoint{0.25L, 0.125L});
    struct Case {
        long double br, bi, dc;
        bool left;
    } cases[] = {
        {0x1p-7000L, 0.0L, 0x1p-900L, false},  // parts of 2^-7900: below 2^-1000, kept
        {0x1p-7000L, 0.0L, 0x1p-1500L, true},  // 2^-8500: flushed
        {0x1p-7000L, -0x1p-7000L, 0x1p-900L, true},  // an imaginary part of 0
        {0.5L, 0.0L, 0x1p-900L, false},
    };
    for (const Case& c : cases) {
        BlaStep step;
        const long double values[5] = {0.0L, 0.0L, c.br, c.bi, 1.0L};  // A = 0, B, R^2
        for (int k = 0; k < 5; ++k) step.Set(k, values[k]);
        const X87StepLevel level{&step, 1};
        X87StepJob job;
        job.dr = job.di = job.dcr = job.dci = c.dc;
        job.points = points.data() + 1;
        job.levels = &level;
        job.levelsEnd = &level + 1;
        job.from = 0;  // m = 1, a lookup point at once
        job.until = 1;
        job.steps = 8;
        const std::uint64_t done = qarn_deep_plain_steps(&job);
        EXPECT_EQ(job.skips, 1u);
        EXPECT_EQ(done, c.left ? 4u : 8u) << static_cast<double>(c.br) << " " << static_cast<double>(c.dc);
        if (c.left) {
            EXPECT_LT(std::min(std::fabs(job.dr), std::fabs(job.di)), FlushBelow);
        }
    }
}
#endif

// A stop asked for once the first row is final leaves every other row
// undone: the work is the first row's alone, and no other row is reported
// or written.
TEST(DeepLoop, AStopLeavesTheRestUndone) {
    const DeepViewCase view{"i300", "0", "1", 300, 20000, 16, 12};
    const Grid grid = MakeGrid(view);
    const ReferenceOrbit orbit = ChooseReferenceOrbit(grid.re, grid.im, grid.offRe, grid.offIm, view.depth,
                                                      ReferencePrecision(view.level, view.depth));
    const std::size_t width = grid.offRe.size();
    DeepRenderer single(1), pair(2);
    std::vector<std::uint32_t> firstRow(width);
    const DeepWork rowWork = single.Render(orbit, nullptr, grid.offRe, std::span(grid.offIm).first(1), view.depth,
                                           firstRow);
    using Rows = std::function<void(int)>;
    using Stop = std::function<bool()>;
    // The plain loop's renderer on one and two threads, the wide loop's.
    const std::function<DeepWork(std::vector<std::uint32_t>&, const Rows&, const Stop&)> renderers[] = {
        [&](auto& counts, const Rows& done, const Stop& stop) {
            return single.Render(orbit, nullptr, grid.offRe, grid.offIm, view.depth, counts, {}, done, stop);
        },
        [&](auto& counts, const Rows& done, const Stop& stop) {
            return pair.Render(orbit, nullptr, grid.offRe, grid.offIm, view.depth, counts, {}, done, stop);
        },
        [&](auto& counts, const Rows& done, const Stop& stop) {
            return WideRender(1, orbit, nullptr, grid.Wide(), view.depth, counts, {}, done, stop);
        },
        [&](auto& counts, const Rows& done, const Stop& stop) {
            return WideRender(2, orbit, nullptr, grid.Wide(), view.depth, counts, {}, done, stop);
        }};
    for (std::size_t r = 0; r < std::size(renderers); ++r) {
        std::vector<std::uint32_t> counts(width * grid.offIm.size(), UINT32_MAX);
        std::atomic<int> rows{0};
        const DeepWork work = renderers[r](
            counts, [&](int) { rows.fetch_add(1); }, [&] { return rows.load() >= 1; });
        EXPECT_LT(rows.load(), static_cast<int>(grid.offIm.size())) << r;
        if (r % 2 == 0) {  // one thread
            EXPECT_EQ(rows.load(), 1);
            EXPECT_EQ(work.tests, rowWork.tests);
            EXPECT_TRUE(std::equal(firstRow.begin(), firstRow.end(), counts.begin()));
            EXPECT_TRUE(std::all_of(counts.begin() + static_cast<std::ptrdiff_t>(width), counts.end(),
                                    [](std::uint32_t c) { return c == UINT32_MAX; }));
        }
    }
}

// The reference's precision: twice as many bits change no count.
TEST(DeepReference, CountsStopChangingBelowTheChosenPrecision) {
    const DeepViewCase view{"seahorse100",
                            "-0.743643887037158704752191506114774",
                            "0.131825904205311970493132056385139",
                            100,
                            100000,
                            8,
                            6};
    const Grid grid = MakeGrid(view);
    const long chosen = ReferencePrecision(view.level, view.depth);
    DeepRenderer renderer(2);
    std::vector<std::uint32_t> atChosen(48), atDouble(48);
    const ReferenceOrbit a = ComputeReferenceOrbit(grid.re, grid.im, 0, 0, view.depth, chosen);
    const ReferenceOrbit b = ComputeReferenceOrbit(grid.re, grid.im, 0, 0, view.depth, 2 * chosen);
    renderer.Render(a, nullptr, grid.offRe, grid.offIm, view.depth, atChosen);
    renderer.Render(b, nullptr, grid.offRe, grid.offIm, view.depth, atDouble);
    EXPECT_EQ(atChosen, atDouble);
    EXPECT_GT(ReferencePrecision(1000, 1000000), ReferencePrecision(1000, 1000));
    EXPECT_GT(ReferencePrecision(1001, 1000), ReferencePrecision(1000, 1000));
}

// Where the centre escapes early, a longer-lived point of the picture is the
// reference, and the counts still agree with the oracle.
TEST(DeepReference, AnEscapingCentreGivesWayToALongerLivedPoint) {
    // Just outside the main cardioid's cusp: the centre escapes after some
    // 1,800 iterations, points to its left stay longer.
    const DeepViewCase view{"cusp", "0.2500003", "0", 70, 20000, 12, 8};
    Grid grid = MakeGrid(view);
    for (long double& x : grid.offRe) x *= 0x1p52L;  // a picture 2^-25 wide
    for (long double& y : grid.offIm) y *= 0x1p52L;
    const long precision = ReferencePrecision(view.level, view.depth);
    const ReferenceOrbit centre = ComputeReferenceOrbit(grid.re, grid.im, 0, 0, view.depth, precision);
    const ReferenceOrbit chosen = ChooseReferenceOrbit(grid.re, grid.im, grid.offRe, grid.offIm, view.depth, precision);
    ASSERT_TRUE(centre.escaped);
    EXPECT_GT(chosen.length, centre.length);
    EXPECT_TRUE(chosen.offsetRe != 0.0L || chosen.offsetIm != 0.0L);
    DeepRenderer renderer(2);
    std::vector<std::uint32_t> counts(grid.offRe.size() * grid.offIm.size());
    renderer.Render(chosen, nullptr, grid.offRe, grid.offIm, view.depth, counts);
    const auto oracle = testing::OracleCounts(grid.re, grid.im, grid.offRe, grid.offIm, view.depth, 2 * precision);
    EXPECT_GE(Compare(oracle, counts, view.width, view.height).same, 0.995);
}

}  // namespace
}  // namespace qarn::deep
