// Zoom frames' steps: their bits pinned, and checked against MPFR, whose
// nth root at precision 64 (MPFR_RNDN) is the correctly rounded value, an
// oracle independent of our arithmetic.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <mpfr.h>
#include <vector>

#include "frame_step.h"

namespace qarn::render {
namespace {

// 2^-(7 + L k / N) correctly rounded to 64 bits: the Nth root of 2^-(7N + Lk).
long double OracleStep(long L, long k, long N) {
    mpfr_t power, root;
    mpfr_inits2(64, power, root, static_cast<mpfr_ptr>(nullptr));
    mpfr_set_ui_2exp(power, 1, -(7 * N + L * k), MPFR_RNDN);  // exact
    mpfr_rootn_ui(root, power, static_cast<unsigned long>(N), MPFR_RNDN);
    const long double value = mpfr_get_ld(root, MPFR_RNDN);  // exact: 64 bits, normal
    mpfr_clears(power, root, static_cast<mpfr_ptr>(nullptr));
    return value;
}

// 2^-7 (s / 2^-7)^(k / N) at 400 bits, then rounded to 64.
long double OracleOddStep(long double step, long k, long N) {
    mpfr_t x, home;
    mpfr_inits2(400, x, home, static_cast<mpfr_ptr>(nullptr));
    mpfr_set_ld(x, step, MPFR_RNDN);  // exact
    mpfr_set_ui_2exp(home, 1, -7, MPFR_RNDN);
    mpfr_div(x, x, home, MPFR_RNDN);  // exact: a power of two
    mpfr_log2(x, x, MPFR_RNDN);
    mpfr_mul_si(x, x, k, MPFR_RNDN);
    mpfr_div_si(x, x, N, MPFR_RNDN);
    mpfr_exp2(x, x, MPFR_RNDN);
    mpfr_mul(x, x, home, MPFR_RNDN);
    const long double value = mpfr_get_ld(x, MPFR_RNDN);
    mpfr_clears(x, home, static_cast<mpfr_ptr>(nullptr));
    return value;
}

long double PowerStep(int level) {
    long double step = 0x1p-7L;
    for (int i = 0; i < level; ++i) step /= 2;
    return step;
}

bool SameBits(long double a, long double b) { return std::memcmp(&a, &b, 10) == 0; }

TEST(FrameStep, PinnedBitsOfLevelSteps) {
    const struct {
        int level, frame, frames;
        long double step;
    } rows[] = {
        {56, 1, 599, 0xe.fefd47957fc17530p-11L},
        {56, 300, 599, 0xf.7d69bc21b4eabd10p-39L},
        {56, 598, 599, 0x8.891bc15685e2dbf0p-66L},
        {56, 1, 9999, 0xf.f0214e46e865c7f0p-11L},
        {56, 5000, 9999, 0xf.f80eae73f1cf4980p-39L},
        {56, 9998, 9999, 0x8.07f73f87274a88f0p-66L},
        {1, 1, 3, 0xc.b2ff529eb71e4160p-11L},
        {10, 7, 12, 0x8.facd61e3eb5feb60p-16L},
        {33, 100, 599, 0xb.3def39cb522760c0p-16L},
        {3, 2, 7, 0x8.d52ce208af3eb230p-11L},
        {56, 17, 60, 0x8.c64c2cc9cb54a8b0p-26L},
        // Whole exponents are the powers of two themselves.
        {56, 0, 599, 0x1p-7L},
        {8, 2, 4, 0x1p-11L},
        {56, 7, 8, 0x1p-56L},
        {0, 3, 5, 0x1p-7L},
    };
    for (const auto& row : rows) {
        const long double step = FrameStep(PowerStep(row.level), row.frame, row.frames);
        EXPECT_TRUE(SameBits(step, row.step)) << row.level << " " << row.frame << "/" << row.frames << ": "
                                              << std::hexfloat << step << " not " << row.step;
        EXPECT_TRUE(SameBits(OracleStep(row.level, row.frame, row.frames), row.step)) << "the oracle agrees";
    }
}

TEST(FrameStep, EveryFrameOfDeepSequencesIsTheNearestValue) {
    for (const int frames : {599, 9999}) {
        const int every = frames == 599 ? 1 : 7;  // a sample of the 10000
        for (int k = 0; k < frames; k += every)
            ASSERT_TRUE(SameBits(FrameStep(PowerStep(56), k, frames), OracleStep(56, k, frames))) << k << "/" << frames;
    }
    for (const int level : {1, 2, 13, 29, 55})
        for (int k = 0; k < 60; ++k)
            ASSERT_TRUE(SameBits(FrameStep(PowerStep(level), k, 60), OracleStep(level, k, 60))) << level << " " << k;
}

// 2^-(7 + L k / N) correctly rounded to 64 bits, as significand and
// exponent, at any level (MPFR's exponent range is far wider than x87's).
BinaryStep OracleLevelStep(long L, long k, long N) {
    mpfr_set_emin(mpfr_get_emin_min());  // 2^-(7N + Lk) reaches below the default range
    mpfr_t power, root;
    mpfr_inits2(64, power, root, static_cast<mpfr_ptr>(nullptr));
    mpfr_set_ui_2exp(power, 1, -(7 * N + L * k), MPFR_RNDN);
    mpfr_rootn_ui(root, power, static_cast<unsigned long>(N), MPFR_RNDN);
    mpz_t significand;
    mpz_init(significand);
    const mpfr_exp_t e = mpfr_get_z_2exp(significand, root);  // root = significand 2^e, 64 bits
    const BinaryStep step{mpz_get_ui(significand), static_cast<std::int64_t>(e) + 63};
    mpz_clear(significand);
    mpfr_clears(power, root, static_cast<mpfr_ptr>(nullptr));
    return step;
}

// Zooms into deep views: every frame the nearest value to its exact step,
// the steps falling frame by frame, FrameStep's own bits wherever the 80-bit
// format holds them, and the frames at levels up to 56 first, then the deep.
TEST(FrameStep, DeepLevelsAreNearestAndFallAcrossLevel56) {
    const struct {
        long level;
        int frames;
    } rows[] = {{57, 3}, {80, 4}, {300, 60}, {1000, 7}, {7800, 599}, {16000, 9}, {100000, 60}, {1000000, 9999}};
    for (const auto& row : rows) {
        const int every = row.frames > 600 ? 97 : 1;
        BinaryStep before{std::uint64_t{1} << 63, -6};
        bool deep = false;
        std::vector<int> frames;
        for (int k = 0; k < row.frames; k += every) frames.push_back(k);
        frames.push_back(row.frames);
        for (const int k : frames) {
            const BinaryStep step = LevelFrameStep(row.level, k, row.frames);
            const BinaryStep oracle = OracleLevelStep(row.level, k, row.frames);
            ASSERT_EQ(step.significand, oracle.significand) << row.level << " " << k << "/" << row.frames;
            ASSERT_EQ(step.exponent, oracle.exponent) << row.level << " " << k << "/" << row.frames;
            ASSERT_TRUE(step.exponent < before.exponent ||
                        (step.exponent == before.exponent && step.significand < before.significand))
                << "frame " << k << " of level " << row.level << " is no deeper than the one before";
            if (row.level <= 16000) {
                long double view = 0x1p-7L;
                for (long i = 0; i < row.level; ++i) view /= 2;
                ASSERT_TRUE(SameBits(ExtendedOf(step), FrameStep(view, k, row.frames))) << row.level << " " << k;
            }
            // Once a frame is past level 56, every later one is.
            if (!step.AtLeastLevel(56)) deep = true;
            EXPECT_EQ(deep, !step.AtLeastLevel(56)) << row.level << " " << k;
            before = step;
        }
        EXPECT_TRUE(deep);
        EXPECT_EQ(LevelFrameStep(row.level, row.frames, row.frames).exponent, -(7 + row.level)) << "the view itself";
    }
}

TEST(FrameStep, OddStepsAndDamagedOnes) {
    // A loaded file's step off the levels: deeper, and wider than home.
    for (const long double step :
         {0x1p-7L / 3, 0x1.8p-40L, 0x1.23456789abcdef0p-63L, 0x1.fffffffffffffffep-7L, 0x1p-7L * 1.75L, 0x1.5p+3L}) {
        for (const int k : {0, 1, 17, 299, 598})
            EXPECT_TRUE(SameBits(FrameStep(step, k, 599), OracleOddStep(step, k, 599)))
                << std::hexfloat << step << " frame " << k << ": " << FrameStep(step, k, 599);
        EXPECT_TRUE(SameBits(FrameStep(step, 599, 599), step)) << "the last frame is the view's step";
    }
    const long double home = 0x1p-7L;
    for (const long double step :
         {0.0L, -0x1p-20L, std::numeric_limits<long double>::denorm_min(), std::numeric_limits<long double>::infinity(),
          std::numeric_limits<long double>::quiet_NaN()})
        EXPECT_TRUE(SameBits(FrameStep(step, 1, 4), home)) << std::hexfloat << step << " zooms nowhere";
}

TEST(FrameStep, NearestLevel) {
    // The constant is the largest significand below sqrt 2 x 2^63.
    mpfr_t root;
    mpfr_init2(root, 200);
    mpfr_sqrt_ui(root, 2, MPFR_RNDN);
    mpfr_mul_2ui(root, root, 63, MPFR_RNDN);
    mpfr_floor(root, root);
    const long double below = mpfr_get_ld(root, MPFR_RNDN) * 0x1p-126L;  // 64 bits: exact
    mpfr_clear(root);
    const long double above = below + 0x1p-126L;
    const struct {
        long double step;
        std::int64_t level;
    } rows[] = {
        {0x1p-7L, 0},          {0x1p-63L, 56},
        {0x1p-63L * 1.4L, 56}, {0x1p-63L * 1.5L, 55},
        {below, 56},           {above, 55},
        {0x1p-5L, -2},         {0.0L, 0},
        {-0x1p-9L, 0},         {std::numeric_limits<long double>::quiet_NaN(), 0},
    };
    for (const auto& row : rows) EXPECT_EQ(NearestLevel(row.step), row.level) << std::hexfloat << row.step;
}

}  // namespace
}  // namespace qarn::render
