#include "engine/escape_count.h"

#include <gtest/gtest.h>

#include "engine/arithmetic_mode.h"
#include "engine/extended_real.h"

#include <cstring>
#include <limits>

namespace qarn {
namespace {

struct KnownPixel {
    long double re, im;
    std::uint32_t count;
    const char* why;
};

TEST(EscapeCount, KnownPointsOfTheHomeViewAtEveryDepth) {
    SetArithmeticMode();
    const KnownPixel pixels[] = {
        {-2.0L, 2.0L, 1, "c itself lies outside"},
        {0.0L, 0.0L, 0, "the origin never escapes"},
        {-2.0L, 0.0L, 0, "|z|^2 stays exactly 4: the test is strict"},
        {0.0L, 2.0L, 2, "exactly 4 at the first test, then z = -4 + 2i"},
        {1.0L, 0.0L, 3, "z = 1, 2, 5"},
    };
    for (std::uint32_t depth : {512u, 1024u, 2048u, 4096u})
        for (const auto& p : pixels) EXPECT_EQ(EscapeCount(p.re, p.im, depth), p.count) << p.why << " depth " << depth;
}

TEST(EscapeCount, DepthBoundsTheNumberOfTests) {
    SetArithmeticMode();
    // c = 1 first exceeds the bound at test 3.
    EXPECT_EQ(EscapeCount(1.0L, 0.0L, 3), 3u) << "escape at test Depth stores Depth";
    EXPECT_EQ(EscapeCount(1.0L, 0.0L, 2), 0u) << "escape at test Depth + 1 stores 0";
    EXPECT_EQ(EscapeCount(1.0L, 0.0L, 1), 0u);
}

TEST(EscapeCount, DamagedCoordinatesNeverHang) {
    SetArithmeticMode();
    const long double nan = std::numeric_limits<long double>::quiet_NaN();
    const long double inf = std::numeric_limits<long double>::infinity();
    EXPECT_EQ(EscapeCount(nan, 0.0L, 512), 0u);
    EXPECT_EQ(EscapeCount(0.0L, nan, 512), 0u);
    EXPECT_EQ(EscapeCount(inf, 0.0L, 512), 1u);
    EXPECT_EQ(EscapeCount(-inf, inf, 512), 1u);
}

TEST(EscapeCount, TheStateIsTheOneWhoseTestEscapedRoundedToDoubles) {
    SetArithmeticMode();
    const long double inf = std::numeric_limits<long double>::infinity();
    struct Known {
        long double re, im;
        std::uint32_t count;
        double x, y;
        const char* why;
    } known[] = {
        {-2.0L, 2.0L, 1, -2.0, 2.0, "count 1: c itself"},
        {1.0L, 0.0L, 3, 5.0, 0.0, "z = 1, 2, 5: the state of test 3, not the one after it"},
        {0.0L, 2.0L, 2, -4.0, 2.0, "exactly 4 at test 1 does not escape"},
        {2.0L + 0x3p-53L, 0.0L, 1, 2.0 + 0x1p-51, 0.0, "rounded to nearest, not truncated"},
        {-2.0L - 0x1p-52L, -0.0L, 1, -2.0, -0.0, "a tie goes to the even double; -0 stays"},
        {inf, 0.0L, 1, std::numeric_limits<double>::infinity(), 0.0, "an infinite part"},
        {0.0L, 0.0L, 0, 0.0, 0.0, "count 0: {0, 0}"},
        {1.0L, 0.0L, 0, 0.0, 0.0, "depth 2: count 0"},
    };
    for (const Known& k : known) {
        const std::uint32_t depth = k.count == 0 && k.re == 1.0L ? 2 : 512;
        EscapeState state{-1.0, -1.0};
        EXPECT_EQ(EscapeCountWithState(k.re, k.im, depth, state), k.count) << k.why;
        EXPECT_EQ(std::memcmp(&state, &k.x, sizeof(double)), 0) << k.why << ": x " << state.x;
        EXPECT_EQ(std::memcmp(&state.y, &k.y, sizeof(double)), 0) << k.why << ": y " << state.y;
    }
}

// The early exits: the count is always the loop's; the tests show where the
// orbit was found to repeat (states are saved after tests 1, 2, 4, 8, ...).
TEST(EscapeCount, EarlyExitsKeepTheCountAndSkipTheRest) {
    SetArithmeticMode();
    const long double nan = std::numeric_limits<long double>::quiet_NaN();
    const std::uint8_t unnormalImage[10] = {0, 0, 0, 0, 0, 0, 0, 0x40, 0xFF, 0x3F};
    struct Exit {
        long double re, im;
        std::uint32_t tests;
        const char* why;
    } exits[] = {
        {nan, 0.5L, 0, "a NaN part never escapes"},
        {0.0L, FromImage(unnormalImage), 0, "an unnormal is NaN to the x87"},
        {0.0L, 0.0L, 2, "z = 0 after test 1 and test 2"},
        {-0.0L, 0.0L, 2, "-0 and +0 are one state"},
        {-1.0L, 0.0L, 4, "period 2: z = 0, -1, 0, -1 after tests 1 to 4"},
        {1e-4940L, -1e-4940L, 2, "subnormal c: z = c again after test 2"},
        {-2.0L, 0.0L, 2, "z = 2 for ever, exactly on the bound"},
        {0.2501L, 0.0L, 0, "escapes slowly: every test runs"},
        {-0.75L, 0.01L, 0, "near the neck: no repeat before the escape"},
    };
    for (const Exit& e : exits) {
        const std::uint32_t count = EscapeCount(e.re, e.im, 4096);
        const PixelWork work = EscapeCountWithExits(e.re, e.im, 4096);
        EXPECT_EQ(work.count, count) << e.why;
        EscapeState expected{}, state{-1.0, -1.0};
        EscapeCountWithState(e.re, e.im, 4096, expected);
        EXPECT_EQ(EscapeCountWithExits(e.re, e.im, 4096, state).count, count) << e.why;
        EXPECT_EQ(std::memcmp(&state, &expected, sizeof state), 0) << e.why;
        EXPECT_EQ(work.tests, e.tests == 0 && count != 0 ? count : e.tests) << e.why;
    }
    EXPECT_EQ(EscapeCountWithExits(1.0L, 0.0L, 2).count, 0u) << "the depth still bounds the tests";
    EXPECT_EQ(EscapeCountWithExits(0.0L, 0.0L, 1).tests, 1u);
}

}  // namespace
}  // namespace qarn
