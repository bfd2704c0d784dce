// Minibrots: the lowest period in a disc by the ball test, the nucleus by
// Newton's method, checked by its residual z_p(c) in MPFR at more bits than
// the search used, and against nuclei of known period.
#include <gtest/gtest.h>

#include <mpfr.h>

#include "deep/dyadic_text.h"
#include "deep/minibrot.h"

namespace qarn::deep {
namespace {

// log2 |z_p(c)| at `bits` bits, and that no z_n with 0 < n < p is 0.
long ResidualLog2(const Minibrot& m, mpfr_prec_t bits) {
    mpfr_t cr, ci, zr, zi, t, u;
    mpfr_inits2(bits, cr, ci, zr, zi, t, u, nullptr);
    SetMpfr(cr, m.re);
    SetMpfr(ci, m.im);
    mpfr_set_zero(zr, 1);
    mpfr_set_zero(zi, 1);
    for (std::int64_t n = 0; n < m.period; ++n) {
        mpfr_sqr(t, zr, MPFR_RNDN);
        mpfr_sqr(u, zi, MPFR_RNDN);
        mpfr_sub(t, t, u, MPFR_RNDN);
        mpfr_mul(u, zr, zi, MPFR_RNDN);
        mpfr_mul_2ui(u, u, 1, MPFR_RNDN);
        mpfr_add(zr, t, cr, MPFR_RNDN);
        mpfr_add(zi, u, ci, MPFR_RNDN);
    }
    mpfr_hypot(t, zr, zi, MPFR_RNDN);
    const long e = mpfr_zero_p(t) ? -bits : static_cast<long>(mpfr_get_exp(t));
    mpfr_clears(cr, ci, zr, zi, t, u, nullptr);
    return e;
}

TEST(Minibrot, KnownNucleiAndTheirResiduals) {
    const struct {
        const char* re;
        const char* im;
        std::int64_t level;
        std::int64_t period;
        const char* nucleus;  // its real part's leading digits
        std::int64_t sizeLog2;
    } rows[] = {
        {"-1.75", "0", 6, 3, "-1.75487766624669276004950889635852869189460", -6},
        {"-1.31", "0", 6, 4, "-1.31070264133683288356357079741218077850", -4},
        {"-0.1225611668766536", "0.7448617666197442", 4, 3, "-0.1225611668766536",
         -3},  // the upper period-3 bulb, a disc
        {"0", "0", 0, 1, "0", 1},
    };
    for (const auto& row : rows) {
        const std::int64_t bits = 7 + row.level + 64 + 64;
        const auto found = FindMinibrot(*ReadDyadic(row.re, bits), *ReadDyadic(row.im, bits), 1 - row.level,
                                        363.0 / 256.0, 512, bits);
        ASSERT_TRUE(found) << row.re;
        EXPECT_EQ(found->period, row.period) << row.re;
        EXPECT_EQ(DecimalText(found->re).substr(0, std::string(row.nucleus).size()), row.nucleus) << row.re;
        EXPECT_NEAR(static_cast<double>(found->sizeLog2), static_cast<double>(row.sizeLog2), 1.0) << row.re;
        // z_p(c) vanishes to about the search's precision, computed at twice it.
        EXPECT_LT(ResidualLog2(*found, 2 * bits), -(bits - 16)) << row.re;
    }
}

TEST(Minibrot, DeeperNucleiFoundByTheSearchSatisfyNewtonsResidual) {
    // Views in the seahorse valley and on the antenna, deeper each time: the
    // search finds some period; the nucleus it gives is a root of z_p.
    const struct {
        const char* re;
        const char* im;
        std::int64_t level;
    } rows[] = {
        {"-0.7436438870371587", "0.1318259042053120", 16},
        {"-0.7436438870371587", "0.1318259042053120", 24},
        {"-1.9999", "0", 12},
        {"-0.1592", "1.0317", 14},
    };
    int found = 0;
    for (const auto& row : rows) {
        const std::int64_t bits = 7 + row.level + 64 + 64;
        const auto m = FindMinibrot(*ReadDyadic(row.re, bits), *ReadDyadic(row.im, bits), 1 - row.level, 363.0 / 256.0,
                                    20000, bits);
        if (!m) continue;
        ++found;
        EXPECT_GT(m->period, 1) << row.re;
        EXPECT_LT(ResidualLog2(*m, 2 * m->precision), -(m->precision - 24)) << row.re << " period " << m->period;
        // The nucleus lies within the disc searched (to a few steps), and the
        // minibrot is no larger than the region it was found in, roughly.
        EXPECT_LE(m->sizeLog2, 4 - row.level) << row.re;
    }
    EXPECT_GE(found, 3);
    // A disc that escapes whole has none.
    EXPECT_FALSE(FindMinibrot(*ReadDyadic("3", 64), *ReadDyadic("3", 64), -10, 1.0, 512, 128));
}

}  // namespace
}  // namespace qarn::deep
