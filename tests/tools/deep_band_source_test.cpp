// Deep pictures in-process: the points' offsets, the doubles beside the
// escape states, and the bands against the deep loop's count of each point.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <mpfr.h>
#include <string>
#include <vector>

#include "deep/dyadic_text.h"
#include "deep/perturbation.h"
#include "deep_band_source.h"
#include "engine/continuous_count.h"

namespace qarn::render {
namespace {

DeepLocation LocationOf(const char* re, const char* im, std::int64_t level) {
    DeepLocation location;
    location.re = *deep::ReadDyadic(re, CentreFractionBits(level));
    location.im = *deep::ReadDyadic(im, CentreFractionBits(level));
    location.level = level;
    return location;
}

// Keeps every band it is handed.
struct KeptBands final : BandSink {
    std::vector<std::uint32_t> counts, colours;
    std::vector<double> mu;
    std::vector<int> rows;
    std::string Take(const Band& band) override {
        counts.insert(counts.end(), band.counts.begin(), band.counts.end());
        mu.insert(mu.end(), band.mu.begin(), band.mu.end());
        colours.insert(colours.end(), band.colours.begin(), band.colours.end());
        rows.push_back(band.rows);
        return {};
    }
};

TEST(DeepArea, OffsetsAreWholeStepsAboutTheCentre) {
    const struct {
        std::int64_t level;
        int width, height, divisor;
    } areas[] = {{57, 8, 6, 1},     {300, 64, 2, 4},   {7800, 6, 10, 512},  {90, 10, 4, 3},
                 {1000, 4, 8, 24},  {7801, 6, 4, 1},   {20000, 6, 4, 3},    {100000, 4, 6, 64}};
    for (const auto& a : areas) {
        const DeepArea area{LocationOf("0", "0", a.level), a.width, a.height, a.divisor, {}};
        const std::vector<long double> re = DeepColumnOffsets(area), im = DeepRowOffsets(area);
        ASSERT_EQ(re.size(), static_cast<std::size_t>(a.width));
        ASSERT_EQ(im.size(), static_cast<std::size_t>(a.height));
        EXPECT_EQ(re[static_cast<std::size_t>(a.width / 2)], 0.0L) << "the centre's column";
        EXPECT_EQ(im[static_cast<std::size_t>(a.height / 2)], 0.0L) << "the centre's row";
        // Against the exact n 2^-(7+L) / divisor in MPFR: within 2^-63 of it
        // (two roundings), exactly it where the divisor is a power of two.
        mpfr_t exact, got;
        mpfr_inits2(256, exact, got, static_cast<mpfr_ptr>(nullptr));
        auto check = [&](long double offset, long n, const char* what) {
            mpfr_set_si_2exp(exact, n, static_cast<mpfr_exp_t>(-(7 + a.level)), MPFR_RNDN);
            mpfr_div_ui(exact, exact, static_cast<unsigned long>(a.divisor), MPFR_RNDN);
            mpfr_set_ld(got, offset, MPFR_RNDN);
            mpfr_mul_2si(got, got, static_cast<long>(DeepOffsetExponent(area)), MPFR_RNDN);
            if ((a.divisor & (a.divisor - 1)) == 0) {
                EXPECT_EQ(mpfr_cmp(got, exact), 0) << what << " " << n << " at level " << a.level;
                return;
            }
            mpfr_sub(got, got, exact, MPFR_RNDN);
            mpfr_abs(got, got, MPFR_RNDN);
            mpfr_abs(exact, exact, MPFR_RNDN);
            mpfr_mul_2si(exact, exact, -63, MPFR_RNDN);
            EXPECT_LE(mpfr_cmp(got, exact), 0) << what << " " << n << " at level " << a.level;
        };
        for (int p = 0; p < a.width; ++p) check(re[static_cast<std::size_t>(p)], p - a.width / 2, "column");
        for (int q = 0; q < a.height; ++q) check(im[static_cast<std::size_t>(q)], a.height / 2 - q, "row");
        mpfr_clears(exact, got, static_cast<mpfr_ptr>(nullptr));
    }
}

TEST(DeepArea, NearestDoublesOfTheExactSums) {
    const std::vector<long double> tiny = {-0x1p-100L, 0.0L, 0x1p-200L};
    // Far below half a unit of -0.75: the centre's own double.
    for (double d : NearestDoubles(*deep::ReadDyadic("-0.75", 200), tiny)) EXPECT_EQ(d, -0.75);
    // About 0: the offsets' own doubles.
    const std::vector<double> alone = NearestDoubles(*deep::ReadDyadic("0", 200), tiny);
    for (std::size_t k = 0; k < tiny.size(); ++k) EXPECT_EQ(alone[k], static_cast<double>(tiny[k]));
    // Half a unit of 1 (2^-53) above 1 plus a little more rounds up, which
    // rounding the centre first would not.
    const std::vector<double> up =
        NearestDoubles(*deep::ReadDyadic("1.00000000000000011102230246251565404236316680908203125", 300),
                       std::vector<long double>{0x1p-120L});
    EXPECT_EQ(up[0], 1.0 + 0x1p-52);
}

struct DeepPictureCase {
    const char* name;
    const char* re;
    const char* im;
    std::int64_t level;
    std::uint32_t depth;
    int width, height, divisor;
    bool extras;
};

// Seahorse valley at level 90 (counts near 10^4; 80 rows: two bands), the
// Misiurewicz point i at level 300 with mu and colours, supersampled.
const DeepPictureCase DeepPictures[] = {
    {"seahorse90", "-0.743643887037158704752191506114774", "0.131825904205311970493132056385139", 90, 20000, 8, 80, 1,
     false},
    {"i300", "0", "1", 300, 5000, 12, 8, 2, true},
    {"i9000", "0", "1", 9000, 20000, 6, 4, 2, true},
};

class DeepPicture : public ::testing::TestWithParam<DeepPictureCase> {};

// Every point's count (and mu) is the deep loop's of the same point, with
// the reference and the table the picture chooses; one thread and two give
// the same bits.
TEST_P(DeepPicture, BandsHoldTheDeepLoopsCountOfEachPoint) {
    const DeepPictureCase& c = GetParam();
    const DeepArea area{LocationOf(c.re, c.im, c.level), c.width, c.height, c.divisor, {}};
    ViewState view;
    view.Depth = c.depth;
    const PointColours colouring(view, ColouringChoice{true, nullptr, 4096.0, 0.0});
    const BandExtras extras{c.extras, c.extras ? &colouring : nullptr};
    KeptBands one, two;
    for (auto [threads, kept] : {std::pair{1u, &one}, std::pair{2u, &two}}) {
        DeepBandSource source(threads, c.width, 1, c.extras);
        BandSink* sinks[] = {kept};
        ASSERT_EQ(source.Render(area, c.depth, deep::FineTolerance, sinks, nullptr, extras), "");
        EXPECT_EQ(source.Work().iterations > 0, true);
    }
    EXPECT_EQ(one.counts, two.counts);
    EXPECT_EQ(one.colours, two.colours);
    ASSERT_EQ(one.mu.size(), two.mu.size());
    for (std::size_t k = 0; k < one.mu.size(); ++k)
        EXPECT_EQ(std::bit_cast<std::uint64_t>(one.mu[k]), std::bit_cast<std::uint64_t>(two.mu[k])) << k;
    if (c.height > 64) {
        EXPECT_GT(one.rows.size(), 1u) << "more than one band";
    }

    const std::vector<long double> offRe = DeepColumnOffsets(area), offIm = DeepRowOffsets(area);
    const std::int64_t exponent = DeepOffsetExponent(area);
    const deep::WideGrid grid{offRe, offIm, exponent};
    const long precision = deep::ReferencePrecision(c.level, c.depth);
    const deep::ReferenceOrbit orbit =
        exponent != 0
            ? deep::ChooseWideReferenceOrbit(area.location.re, area.location.im, grid, c.depth, precision)
            : deep::ChooseReferenceOrbit(area.location.re, area.location.im, offRe, offIm, c.depth, precision);
    const deep::BlaTable table(orbit, deep::FineTolerance,
                               exponent != 0 ? deep::WideMaxDifference(orbit, grid)
                                             : deep::MaxDifference(orbit, offRe, offIm));
    const std::vector<double> cRe = NearestDoubles(area.location.re, offRe, exponent);
    const std::vector<double> cIm = NearestDoubles(area.location.im, offIm, exponent);
    ASSERT_EQ(one.counts.size(), static_cast<std::size_t>(c.width * c.height));
    int escaped = 0;
    for (int q = 0; q < c.height; ++q)
        for (int p = 0; p < c.width; ++p) {
            EscapeState state{};
            const long double re = offRe[static_cast<std::size_t>(p)], im = offIm[static_cast<std::size_t>(q)];
            const std::uint32_t count =
                exponent != 0
                    ? deep::WideCount(orbit, &table, deep::Wide(re - orbit.offsetRe, exponent),
                                      deep::Wide(im - orbit.offsetIm, exponent), c.depth, &state, nullptr)
                    : deep::DeepCount(orbit, &table, re - orbit.offsetRe, im - orbit.offsetIm, c.depth, &state,
                                      nullptr);
            const std::size_t k = static_cast<std::size_t>(q * c.width + p);
            ASSERT_EQ(one.counts[k], count) << "point " << p << ", " << q;
            escaped += count != 0;
            if (c.extras) {
                EXPECT_EQ(std::bit_cast<std::uint64_t>(one.mu[k]),
                          std::bit_cast<std::uint64_t>(ContinuousCount(count, state, cRe[static_cast<std::size_t>(p)],
                                                                       cIm[static_cast<std::size_t>(q)])))
                    << "point " << p << ", " << q;
            }
        }
    EXPECT_GT(escaped, 0);
}

INSTANTIATE_TEST_SUITE_P(Views, DeepPicture, ::testing::ValuesIn(DeepPictures),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace qarn::render
