#include "engine/escape_count.h"

#include <gtest/gtest.h>

#include "engine/arithmetic_mode.h"

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

}  // namespace
}  // namespace qarn
