// WideReal's operations against MPFR at 64 bits with an unbounded exponent:
// each result is the exact one rounded once, at every pair of exponents.
#include <gtest/gtest.h>
#include <mpfr.h>

#include <cstdint>
#include <random>

#include "deep/wide_real.h"
#include "engine/arithmetic_mode.h"

namespace qarn::deep {
namespace {

void SetWide(mpfr_t out, WideReal a) {
    mpfr_set_ld(out, a.m, MPFR_RNDN);
    mpfr_mul_2si(out, out, a.e, MPFR_RNDN);
}

bool Same(WideReal a, const mpfr_t expected) {
    mpfr_t got;
    mpfr_init2(got, 64);
    SetWide(got, a);
    const bool same = mpfr_equal_p(got, expected) != 0;
    mpfr_clear(got);
    return same;
}

TEST(WideReal, SumsAndProductsAreTheExactResultsRoundedOnce) {
    SetArithmeticMode();
    std::mt19937_64 random(7);
    mpfr_t x, y, r;
    mpfr_inits2(64, x, y, r, static_cast<mpfr_ptr>(nullptr));
    // Exponent gaps from none to far apart, signs both ways, near-cancelling
    // pairs (one operand's neighbour), values far outside the x87 range.
    const std::int64_t gaps[] = {0, 1, 63, 64, 65, 66, 1023, 1024, 2199, 2200, 2201, 5000, -1, -64, -66, -2201};
    const std::int64_t bases[] = {0, -8000, -16500, -60000, 20000, 1000000};
    int cases = 0;
    for (std::int64_t base : bases) {
        for (std::int64_t gap : gaps) {
            for (int k = 0; k < 40; ++k) {
                const long double ma = static_cast<long double>(random() | (std::uint64_t{1} << 63)) * 0x1p-63L;
                long double mb = static_cast<long double>(random() | (std::uint64_t{1} << 63)) * 0x1p-63L;
                if (k % 4 == 1) mb = ma;             // exact cancellation at gap 0
                if (k % 4 == 2) mb = ma + 0x1p-63L;  // one unit apart
                const WideReal a = Wide(k % 3 == 0 ? -ma : ma, base);
                const WideReal b = Wide(k % 2 == 0 ? -mb : mb, base + gap);
                SetWide(x, a);
                SetWide(y, b);
                mpfr_add(r, x, y, MPFR_RNDN);
                EXPECT_TRUE(Same(a + b, r)) << base << " " << gap << " " << k;
                mpfr_sub(r, x, y, MPFR_RNDN);
                EXPECT_TRUE(Same(a - b, r)) << base << " " << gap << " " << k;
                mpfr_mul(r, x, y, MPFR_RNDN);
                EXPECT_TRUE(Same(a * b, r)) << base << " " << gap << " " << k;
                EXPECT_EQ(a < b, mpfr_less_p(x, y) != 0);
                EXPECT_EQ(a == b, mpfr_equal_p(x, y) != 0);
                ++cases;
            }
        }
    }
    mpfr_clears(x, y, r, static_cast<mpfr_ptr>(nullptr));
    EXPECT_EQ(cases, 6 * 16 * 40);
}

TEST(WideReal, ConversionsGiveTheNearestRealOrTheRangesEnds) {
    SetArithmeticMode();
    EXPECT_EQ(NearestLongDouble(Wide(0x1.8p-3L, -5000)), 0x1.8p-5003L);
    EXPECT_EQ(NearestLongDouble(Wide(-0x1.8p-3L, 16002)), -0x1.8p15999L);
    EXPECT_EQ(NearestLongDouble(Wide(0x1p-3L, 16004)), HUGE_VALL);  // above 2^16000
    EXPECT_EQ(NearestLongDouble(Wide(0x1p-3L, -15998)), 0.0L);      // below 2^-16000
    EXPECT_EQ(NearestDouble(Wide(1.0L, -1074)), 0x1p-1074);
    EXPECT_EQ(NearestDouble(Wide(1.0L, -1080)), 0.0);
    EXPECT_EQ(NearestDouble(Wide(1.0L, 2000)), HUGE_VAL);
    const WideReal w = Wide(0x1.123456789abcdef2p0L, -3000000);
    EXPECT_EQ(NearestLongDouble(w * Wide(1.0L, 3000000)), 0x1.123456789abcdef2p0L);
}

}  // namespace
}  // namespace qarn::deep
