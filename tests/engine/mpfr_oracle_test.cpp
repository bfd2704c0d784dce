// MPFR at 64-bit precision with round-to-nearest gives the escape counts of
// an 80-bit iteration independently of the x87 unit. The test picks pixels of
// deep views whose counts double precision gets wrong, so it could not pass
// by accident with a narrower arithmetic.
#include <gtest/gtest.h>
#include <mpfr.h>

#include <memory>

#include "engine/escape_count.h"
#include "engine/view_engine.h"
#include "support/views.h"

namespace qarn {
namespace {

class Mpfr64 {
public:
    Mpfr64() { mpfr_init2(value, 64); }
    ~Mpfr64() { mpfr_clear(value); }
    Mpfr64(const Mpfr64&) = delete;
    Mpfr64& operator=(const Mpfr64&) = delete;
    mpfr_t value;
};

std::uint32_t MpfrCount(long double cr, long double ci, std::uint32_t depth) {
    Mpfr64 x, y, xx, xy, yy, sum, t, cre, cim;
    mpfr_set_ld(cre.value, cr, MPFR_RNDN);
    mpfr_set_ld(cim.value, ci, MPFR_RNDN);
    mpfr_set(x.value, cre.value, MPFR_RNDN);
    mpfr_set(y.value, cim.value, MPFR_RNDN);
    for (std::uint32_t n = 1;; ++n) {
        mpfr_mul(xx.value, x.value, x.value, MPFR_RNDN);
        mpfr_mul(xy.value, x.value, y.value, MPFR_RNDN);
        mpfr_mul(yy.value, y.value, y.value, MPFR_RNDN);
        mpfr_add(sum.value, xx.value, yy.value, MPFR_RNDN);
        if (mpfr_cmp_ui(sum.value, 4) > 0) return n;
        if (n >= depth) return 0;
        mpfr_sub(t.value, yy.value, cre.value, MPFR_RNDN);
        mpfr_sub(x.value, xx.value, t.value, MPFR_RNDN);
        mpfr_add(t.value, xy.value, xy.value, MPFR_RNDN);
        mpfr_add(y.value, t.value, cim.value, MPFR_RNDN);
    }
}

// The same iteration in double precision, as a narrower program would do it.
std::uint32_t DoubleCount(double cr, double ci, std::uint32_t depth) {
    double x = cr, y = ci;
    for (std::uint32_t n = 1;; ++n) {
        const double xx = x * x, xy = x * y, yy = y * y;
        if (xx + yy > 4.0) return n;
        if (n >= depth) return 0;
        x = xx - (yy - cr);
        y = (xy + xy) + ci;
    }
}

struct DeepView {
    long double re, im;
    int level;
};

TEST(MpfrOracle, DeepViewsAgreeWhereDoublePrecisionFails) {
    // Boundary points, where counts are long and sensitive to rounding.
    const DeepView views[] = {
        {-0.7436438870371587L, 0.1318259042053119L, 40},
        {-0.7436438870371587L, 0.1318259042053119L, 47},
        {-1.7497591451303665L, 0.0000000000000001L, 52},
        {-0.1011L, 0.9563L, 56},
        {0.2925755L, -0.0149977L, 44},
        {-0.7436438870371587L, 0.1318259042053119L, 56},
    };
    int compared = 0;
    for (const DeepView& deep : views) {
        const ViewState view = testing::ViewAround(deep.re, deep.im, deep.level, 4096);
        auto engine = testing::MakeEngine(view);
        StripPlan plan;
        ASSERT_TRUE(PlanRows(view, -ViewSize, plan));
        // A few whole rows through the renderer, not the whole view: the
        // oracle is slow and the rows hold plenty of sensitive pixels.
        for (int row : {13, 200, 256, 431}) {
            StripPlan single = plan;
            single.firstRow = row;
            single.rowCount = 1;
            engine->renderer.Compute(single, view.Depth, engine->counts);
            for (int col = 0; col < ViewSize; ++col) {
                const long double cr = plan.re[static_cast<std::size_t>(col)];
                const long double ci = plan.im[static_cast<std::size_t>(row)];
                const std::uint32_t ours = engine->counts[static_cast<std::size_t>(row * ViewSize + col)];
                if (DoubleCount(static_cast<double>(cr), static_cast<double>(ci), view.Depth) == ours) continue;
                ASSERT_EQ(ours, MpfrCount(cr, ci, view.Depth))
                    << "level " << deep.level << " pixel (" << col << ", " << row << ")";
                ++compared;
            }
        }
    }
    EXPECT_GE(compared, 100) << "too few pixels where double precision differs";
    std::printf("compared %d pixels that double precision gets wrong\n", compared);
}

TEST(MpfrOracle, OracleReproducesKnownCounts) {
    EXPECT_EQ(MpfrCount(1.0L, 0.0L, 512), 3u);
    EXPECT_EQ(MpfrCount(-2.0L, 0.0L, 512), 0u);
    EXPECT_EQ(MpfrCount(0.0L, 2.0L, 512), 2u);
}

}  // namespace
}  // namespace qarn
