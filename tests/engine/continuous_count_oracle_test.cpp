// MPFR checks the continuous count's logarithm on many arguments, and mu
// itself, computed from c alone (the 80-bit orbit at 64 bits, then the
// binary64 steps at 53 bits with the doubles' exponent range, then the
// logarithms exactly), on views that take each arithmetic path.
#include <gtest/gtest.h>
#include <mpfr.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include "engine/continuous_count.h"
#include "engine/renderer.h"
#include "engine/strip_plan.h"
#include "support/views.h"

namespace qarn {
namespace {

class Mpfr {
public:
    explicit Mpfr(mpfr_prec_t precision) { mpfr_init2(value, precision); }
    ~Mpfr() { mpfr_clear(value); }
    Mpfr(const Mpfr&) = delete;
    Mpfr& operator=(const Mpfr&) = delete;
    mpfr_t value;
};

// Whether `ours` is one of the two doubles around log2(v).
bool WithinOneUlp(double v, double ours) {
    Mpfr exact(256), low(53), high(53);
    mpfr_set_d(exact.value, v, MPFR_RNDN);
    mpfr_log2(exact.value, exact.value, MPFR_RNDN);
    const double down = mpfr_get_d(exact.value, MPFR_RNDD);
    const double up = mpfr_get_d(exact.value, MPFR_RNDU);
    return ours == down || ours == up;
}

TEST(ContinuousCountOracle, Log2IsWithinOneUlpOfTheExactLogarithm) {
    std::mt19937_64 random(22);
    std::vector<double> arguments;
    // Any positive finite double, by its bits.
    for (int i = 0; i < 100000; ++i) {
        const double v = std::bit_cast<double>(random() & 0x7FEFFFFFFFFFFFFFu);
        if (v > 0.0) arguments.push_back(v);
    }
    // Near 1, where the logarithm is small and must keep its relative accuracy.
    for (int i = 0; i < 50000; ++i) {
        const double offset = std::ldexp(static_cast<double>(random() >> 11), -53 - static_cast<int>(random() % 40));
        arguments.push_back(1.0 + offset);
        arguments.push_back(1.0 - offset / 2);
    }
    // What mu takes: |z|^2 beyond 2^20, and its logarithm from 20 to 1024.
    std::uniform_real_distribution<double> squares(20.0, 1024.0);
    std::uniform_real_distribution<double> logs(20.0, 1024.0);
    for (int i = 0; i < 50000; ++i) {
        arguments.push_back(std::exp2(squares(random)));
        arguments.push_back(logs(random));
    }
    // Beside the square root of two, where the reduction changes.
    double v = 0x1.6a09e667f3bcdp+0;
    for (int i = 0; i < 1000; ++i) v = std::nextafter(v, 0.0);
    for (int i = 0; i < 2000; ++i, v = std::nextafter(v, 2.0)) arguments.push_back(v);
    int failures = 0;
    for (double argument : arguments)
        if (!WithinOneUlp(argument, Log2(argument)) && ++failures <= 5)
            ADD_FAILURE() << std::hexfloat << "Log2(" << argument << ") = " << Log2(argument);
    EXPECT_EQ(failures, 0) << "of " << arguments.size();
}

// One binary64 operation at 53 bits with the doubles' exponent range.
struct Binary64Range {
    Binary64Range() : emin(mpfr_get_emin()), emax(mpfr_get_emax()) {
        mpfr_set_emin(-1073);
        mpfr_set_emax(1024);
    }
    ~Binary64Range() {
        mpfr_set_emin(emin);
        mpfr_set_emax(emax);
    }
    mpfr_exp_t emin, emax;
};

template <typename Op>
void Rounded(mpfr_t result, Op op) {
    const int ternary = op();
    mpfr_subnormalize(result, mpfr_check_range(result, ternary, MPFR_RNDN), MPFR_RNDN);
}

// mu from c: the count and escape state by the 80-bit iteration at 64 bits,
// then the definition's steps in binary64, then the logarithms exactly.
double OracleMu(long double cr, long double ci, std::uint32_t depth, std::uint32_t& count) {
    Mpfr x(64), y(64), xx(64), xy(64), yy(64), sum(64), t(64), cre(64), cim(64);
    mpfr_set_ld(cre.value, cr, MPFR_RNDN);
    mpfr_set_ld(cim.value, ci, MPFR_RNDN);
    mpfr_set(x.value, cre.value, MPFR_RNDN);
    mpfr_set(y.value, cim.value, MPFR_RNDN);
    count = 0;
    for (std::uint32_t n = 1;; ++n) {
        mpfr_mul(xx.value, x.value, x.value, MPFR_RNDN);
        mpfr_mul(xy.value, x.value, y.value, MPFR_RNDN);
        mpfr_mul(yy.value, y.value, y.value, MPFR_RNDN);
        mpfr_add(sum.value, xx.value, yy.value, MPFR_RNDN);
        if (mpfr_cmp_ui(sum.value, 4) > 0) {
            count = n;
            break;
        }
        if (n >= depth) return 0.0;
        mpfr_sub(t.value, yy.value, cre.value, MPFR_RNDN);
        mpfr_sub(x.value, xx.value, t.value, MPFR_RNDN);
        mpfr_add(t.value, xy.value, xy.value, MPFR_RNDN);
        mpfr_add(y.value, t.value, cim.value, MPFR_RNDN);
    }
    std::uint32_t k = 0;
    Mpfr r2(53);
    {
        const Binary64Range range;
        Mpfr X(53), Y(53), a(53), b(53), XX(53), YY(53), T(53), U(53);
        auto set = [](mpfr_t to, mpfr_t from) { Rounded(to, [&] { return mpfr_set(to, from, MPFR_RNDN); }); };
        set(X.value, x.value);
        set(Y.value, y.value);
        set(a.value, cre.value);
        set(b.value, cim.value);
        for (;;) {
            Rounded(XX.value, [&] { return mpfr_mul(XX.value, X.value, X.value, MPFR_RNDN); });
            Rounded(YY.value, [&] { return mpfr_mul(YY.value, Y.value, Y.value, MPFR_RNDN); });
            Rounded(r2.value, [&] { return mpfr_add(r2.value, XX.value, YY.value, MPFR_RNDN); });
            if (!(mpfr_cmp_d(r2.value, 0x1p20) <= 0)) break;
            if (k == MaxContinuousSteps) return count;
            Rounded(T.value, [&] { return mpfr_mul(T.value, X.value, Y.value, MPFR_RNDN); });
            Rounded(U.value, [&] { return mpfr_sub(U.value, YY.value, a.value, MPFR_RNDN); });
            Rounded(X.value, [&] { return mpfr_sub(X.value, XX.value, U.value, MPFR_RNDN); });
            Rounded(U.value, [&] { return mpfr_add(U.value, T.value, T.value, MPFR_RNDN); });
            Rounded(Y.value, [&] { return mpfr_add(Y.value, U.value, b.value, MPFR_RNDN); });
            ++k;
        }
        if (!mpfr_number_p(r2.value)) return count;
    }
    Mpfr log(256);
    mpfr_log2(log.value, r2.value, MPFR_RNDN);
    mpfr_log2(log.value, log.value, MPFR_RNDN);
    mpfr_ui_sub(log.value, count + k + 2, log.value, MPFR_RNDN);
    return mpfr_get_d(log.value, MPFR_RNDN);
}

TEST(ContinuousCountOracle, MuAgreesWithMpfrOnViewsOfEveryArithmeticPath) {
    struct Case {
        const char* name;
        ViewState view;
    };
    const Case cases[] = {
        {"start-up view", testing::HomeViewState(512)},
        {"neck, every coordinate a double", testing::NeckView()},
        {"off the grid, 80-bit coordinates", testing::OffGridView(1024)},
        {"spiral at level 50", testing::SpiralView(50)},
        {"off the grid at level 40", testing::OffGridViewAround(-0.7436438870371587L, 0.1318259042053119L, 40, 4096)},
        {"minibrot", testing::MinibrotView()},
    };
    Renderer renderer;
    int compared = 0;
    for (const Case& c : cases) {
        StripPlan plan;
        ASSERT_TRUE(PlanRows(c.view, -ViewSize, plan));
        for (int row : {17, 256, 480}) {
            std::vector<std::uint32_t> counts(ViewSize);
            std::vector<EscapeState> states(ViewSize);
            PixelGrid grid;
            grid.re = plan.re.data();
            grid.im = &plan.im[static_cast<std::size_t>(row)];
            grid.width = ViewSize;
            grid.height = 1;
            grid.out = counts.data();
            grid.stride = ViewSize;
            grid.escape = states.data();
            ASSERT_TRUE(renderer.Compute(grid, c.view.Depth));
            for (int col = 0; col < ViewSize; col += 2) {
                const long double cr = plan.re[static_cast<std::size_t>(col)];
                const long double ci = plan.im[static_cast<std::size_t>(row)];
                const std::uint32_t count = counts[static_cast<std::size_t>(col)];
                const double ours = ContinuousCount(count, states[static_cast<std::size_t>(col)], cr, ci);
                std::uint32_t oracleCount = 0;
                const double oracle = OracleMu(cr, ci, c.view.Depth, oracleCount);
                ASSERT_EQ(count, oracleCount) << c.name << " (" << col << ", " << row << ")";
                // The two logarithms' errors and the last subtraction's rounding.
                const double bound = 0x1p-48 + std::ldexp(1.0, std::ilogb(std::fabs(oracle) + 1.0) - 52);
                ASSERT_LE(std::fabs(ours - oracle), bound)
                    << c.name << " (" << col << ", " << row << ") count " << count << std::hexfloat << " ours " << ours
                    << " oracle " << oracle;
                if (count != 0) ++compared;
            }
        }
    }
    EXPECT_GE(compared, 2000);
    std::printf("compared mu of %d escaping pixels\n", compared);
}

}  // namespace
}  // namespace qarn
