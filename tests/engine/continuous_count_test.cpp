// The continuous count's own logarithm and mu, bit for bit; MPFR checks
// both on many arguments in the oracle tests.
#include "engine/continuous_count.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <vector>

#include "engine/arithmetic_mode.h"
#include "engine/escape_count.h"

namespace qarn {
namespace {

std::uint64_t Bits(double v) { return std::bit_cast<std::uint64_t>(v); }

TEST(ContinuousCount, Log2BitsArePinned) {
    struct Row {
        double v;
        std::uint64_t bits;
    };
    const Row rows[] = {
        {3.0, 0x3ff95c01a39fbd68u},       {10.0, 0x400a934f0979a371u},      {0.1, 0xc00a934f0979a371u},
        {1e300, 0x408f24a09f1a8b89u},     {1e-310, 0xc0901730dabca5f6u},  // subnormal
        {1.0000001, 0x3e835d0fea5fccb7u}, {0.9999999, 0xbe835d100a8009b2u}, {1048577.0, 0x40340000171546adu},
        {20.5, 0x40116e221cd9d0ceu},
    };
    for (const Row& row : rows) EXPECT_EQ(Bits(Log2(row.v)), row.bits) << row.v;
}

TEST(ContinuousCount, Log2OfPowersOfTwoAndSpecialValuesIsExact) {
    for (int e = -1074; e <= 1023; ++e) ASSERT_EQ(Log2(std::ldexp(1.0, e)), e) << e;
    EXPECT_EQ(Log2(0.0), -std::numeric_limits<double>::infinity());
    EXPECT_EQ(Log2(std::numeric_limits<double>::infinity()), std::numeric_limits<double>::infinity());
    EXPECT_TRUE(std::isnan(Log2(-1.0)));
    EXPECT_TRUE(std::isnan(Log2(std::numeric_limits<double>::quiet_NaN())));
}

TEST(ContinuousCount, MuBitsArePinned) {
    SetArithmeticMode();
    struct Row {
        long double re, im;
        std::uint32_t count;
        std::uint64_t bits;
    };
    const Row rows[] = {
        {1.0L, 0.0L, 3, 0x400622904d317650u},
        {0.0L, 2.0L, 2, 0x3ffedefe2fd48f68u},
        {-0.75L, 0.1L, 33, 0x4040b6583d5a064bu},
        {0.3L, 0.5L, 0, 0},  // inside: no mu
        // Its doubles stay on z = 2 for c = -2 forever: the steps run out.
        {-2.0L - 0x1p-62L, 0.0L, 1, 0x3ff0000000000000u},
    };
    for (const Row& row : rows) {
        EscapeState state{};
        const std::uint32_t count = EscapeCountWithState(row.re, row.im, 4096, state);
        ASSERT_EQ(count, row.count);
        EXPECT_EQ(Bits(ContinuousCount(count, state, row.re, row.im)), row.bits) << static_cast<double>(row.re);
    }
}

TEST(ContinuousCount, NotFiniteOrFarOutside) {
    struct Row {
        std::uint32_t count;
        EscapeState state;
        double a, b;
        double atLeast, atMost;
    };
    const double inf = std::numeric_limits<double>::infinity();
    const Row rows[] = {
        {7, {inf, 0.0}, 0.0, 0.0, 7.0, 7.0},            // beyond the doubles: mu = n
        {5, {1e200, 1e200}, 0.0, 0.0, 5.0, 5.0},        // X*X + Y*Y overflows
        {1, {1e100, 0.0}, 1e100, 0.0, -6.4, -6.3},      // far outside: below 0
        {1, {1024.0, 0.0}, 1024.0, 0.0, -1.33, -1.31},  // |z| = 1024 takes a step: 4 - log2(log2((2^20 + 2^10)^2))
    };
    for (const Row& row : rows) {
        const double mu = ContinuousCount(row.count, row.state, row.a, row.b);
        EXPECT_GE(mu, row.atLeast) << row.count;
        EXPECT_LE(mu, row.atMost + 1e-12) << row.count;
    }
}

// Through several bands along the real axis, neighbouring points whose
// counts differ by one have nearly the same mu, and mu is that of the
// count below within one.
TEST(ContinuousCount, ContinuousAcrossCountEdges) {
    SetArithmeticMode();
    int edges = 0;
    std::uint32_t lastCount = 0;
    double lastMu = 0.0;
    for (int i = 0; i <= 300000; ++i) {
        const long double re = 0.26L + i * 1e-6L;
        EscapeState state{};
        const std::uint32_t count = EscapeCountWithState(re, 0.0L, 4096, state);
        const double mu = ContinuousCount(count, state, re, 0.0L);
        ASSERT_GT(count, 0u);
        ASSERT_GT(mu, count - 1.0) << i;
        ASSERT_LT(mu, count + 1.0) << i;
        if (i > 0 && count != lastCount) {
            ASSERT_EQ(lastCount, count + 1) << i;
            EXPECT_LT(std::fabs(mu - lastMu), 0.002) << "edge " << lastCount << " to " << count;
            ++edges;
        }
        lastCount = count;
        lastMu = mu;
    }
    EXPECT_GE(edges, 20);
}

// Every width of the line gives the scalar definition's bits, point by
// point: on a table of states (the edge cases side by side in one vector,
// in every order that a rotation gives) and on the escape states of lines
// through the set.
TEST(ContinuousCount, EveryWidthGivesTheScalarBits) {
    SetArithmeticMode();
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Row {
        std::uint32_t count;
        EscapeState state;
        double a;
    };
    std::vector<Row> rows = {
        {0, {0.1, 0.2}, -0.5},                 // inside: 0
        {0, {0.0, 0.0}, 0.0},                  // inside, its state never leaves
        {1, {2.0000000000000004, 0.0}, 0.25},  // just past 2
        {1, {-2.0, 0.0}, -2.0},                // stays at 2: the steps run out
        {4096, {0.0, 2.0000000000000004}, 0.0},
        {0xFFFFFFFFu, {3.0, -1.0}, 1.0},  // the largest count
        {7, {inf, 0.0}, 0.0},
        {7, {nan, 1.0}, 0.0},
        {5, {1e200, 1e200}, 0.0},  // X*X + Y*Y overflows
        {1, {1e100, 0.0}, 1e100},
        {1, {1024.0, 0.0}, 1024.0},        // |z| = 1024 takes a step
        {2, {1024.0000000000002, 0.0}, 0.0},  // just past 1024: none
        {3, {1.5, 1.5}, -0.75},
        {3, {2.1, 0.0}, -2.0},  // five steps: one past those every block takes
        {9, {-1.2, 1.7}, 0.3},
    };
    const std::size_t table = rows.size();
    for (int i = 0; i < 3000; ++i) {  // a line through the set and around it
        const long double re = -2.1L + i * 0.001L;
        EscapeState state{};
        const std::uint32_t count = EscapeCountWithState(re, 0.6L, 512, state);
        rows.push_back({count, state, static_cast<double>(re)});
    }
    const double b = 0.6;
    std::vector<std::uint32_t> counts(rows.size());
    std::vector<EscapeState> states(rows.size());
    std::vector<double> re(rows.size());
    int widths = 0;
    for (const int width : {1, 2, 4, 8}) {
        if (!HasContinuousCountWidth(width)) continue;
        ++widths;
        for (std::size_t turn = 0; turn < table; ++turn) {
            for (std::size_t i = 0; i < rows.size(); ++i) {
                const Row& row = i < table ? rows[(i + turn) % table] : rows[i];
                counts[i] = row.count;
                states[i] = row.state;
                re[i] = row.a;
            }
            // Lengths with and without a remainder past the whole vectors.
            for (const std::size_t length : {rows.size(), table - 1}) {
                std::vector<double> mu(length, -1.0);
                ContinuousCountLine(counts.data(), states.data(), re.data(), b, mu.data(), length, width);
                for (std::size_t i = 0; i < length; ++i)
                    ASSERT_EQ(Bits(mu[i]), Bits(ContinuousCount(counts[i], states[i], re[i], b)))
                        << "width " << width << " point " << i << " turn " << turn;
            }
        }
    }
    EXPECT_TRUE(HasContinuousCountWidth(1) && HasContinuousCountWidth(2));
    EXPECT_GE(widths, 2);
}

}  // namespace
}  // namespace qarn
