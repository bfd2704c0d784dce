#include "colour/smooth_colour.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "colour/display_mapping.h"
#include "colour/linear_light.h"

namespace qarn {
namespace {

ViewState ViewWith(std::uint32_t paletteMode, std::int32_t shift, std::uint32_t depth = 512) {
    ViewState view;
    view.PaletteMode = paletteMode;
    view.ColourShift = shift;
    view.Depth = depth;
    return view;
}

std::vector<std::uint32_t> ViewerColours(const ViewState& view, const std::vector<std::uint32_t>& counts) {
    PaletteTables tables;
    BuildColourTable(tables.colour);
    BuildMonoTable(tables.mono, view.PaletteMode);
    std::vector<std::uint32_t> colours(counts.size());
    MapCountLine(counts, view, tables, colours);
    return colours;
}

std::vector<std::uint32_t> AllCounts(std::uint32_t depth) {
    std::vector<std::uint32_t> counts;
    for (std::uint32_t n = 0; n <= depth + 1; ++n) counts.push_back(n);
    return counts;
}

const ViewState Palettes[] = {ViewWith(0x1007, 0), ViewWith(0x0407, 100), ViewWith(0x0107, 5),
                              ViewWith(0x0203, 4095, 1024)};

TEST(SmoothColour, AtWholeValuesTheViewersColours) {
    for (const ViewState& view : Palettes) {
        const std::vector<std::uint32_t> counts = AllCounts(view.Depth);
        std::vector<double> mu(counts.begin(), counts.end());
        const PointColours smooth(view, {.smooth = true});
        std::vector<std::uint32_t> colours(counts.size());
        smooth.Line(counts, mu.data(), colours);
        EXPECT_EQ(colours, ViewerColours(view, counts)) << std::hex << view.PaletteMode;
        for (std::uint32_t n = 1; n < view.Depth; ++n) ASSERT_EQ(smooth.PaletteColour(n), colours[n]) << n;
    }
}

TEST(SmoothColour, WholeNumbersBelowOneWrapAsTwosComplement) {
    const ViewState view = ViewWith(0x0407, 100);
    const PointColours colours(view, {.smooth = true});
    PaletteTables tables;
    BuildColourTable(tables.colour);
    EXPECT_EQ(colours.PaletteColour(0), tables.colour[100]);
    EXPECT_EQ(colours.PaletteColour(-1), tables.colour[100 + 1023]);
    EXPECT_EQ(colours.PaletteColour(-1024), tables.colour[100]);
}

TEST(SmoothColour, MixesInLinearLight) {
    struct Row {
        std::uint32_t a, b, weight, mixed;
    };
    const Row rows[] = {
        {0x000000, 0xFFFFFF, 0, 0x000000},
        {0x000000, 0xFFFFFF, MixOne, 0xFFFFFF},
        // sRGB of linear 0.5: 1.055 x 0.5^(1/2.4) - 0.055 = 0.73536, x 255 = 187.5
        {0x000000, 0xFFFFFF, MixOne / 2, 0xBCBCBC},
        {0xFF0000, 0x0000FF, MixOne / 2, 0xBC00BC},
        {0x123456, 0x123456, 12345, 0x123456},
        // sRGB of 0.25 linear: 0.53709 x 255 = 136.96
        {0x000000, 0x00FF00, MixOne / 4, 0x008900},
    };
    for (const Row& row : rows) EXPECT_EQ(MixColours(row.a, row.b, row.weight), row.mixed) << std::hex << row.a;
}

TEST(SmoothColour, EncodingByTableIsTheSearchs) {
    for (std::uint32_t linear = 0; linear <= LinearOne; ++linear)
        ASSERT_EQ(EncodedOfLinear(linear), EncodedOf(linear, 1)) << linear;
}

TEST(SmoothColour, WeightsOfFractions) {
    EXPECT_EQ(WeightOf(0.0), 0u);
    EXPECT_EQ(WeightOf(0.5), MixOne / 2);
    EXPECT_EQ(WeightOf(std::nextafter(1.0, 0.0)), MixOne);
    EXPECT_EQ(WeightOf(0x1p-25), 1u);  // a half rounds up
    EXPECT_EQ(WeightOf(0x1p-26), 0u);
}

TEST(SmoothColour, BlackInsideAndAtTheDepthWhateverMu) {
    const ViewState view = ViewWith(0x1007, 7, 512);
    const std::vector<std::uint32_t> counts = {0, 512, 513, 1, 511};
    const std::vector<double> mu = {0.0, 511.7, 512.2, 0.4, 510.6};
    Gradient gradient{{{0.0, 0xFFFFFF}}};
    for (const ColouringChoice& choice :
         {ColouringChoice{.smooth = true}, ColouringChoice{.smooth = true, .gradient = &gradient, .period = 10}}) {
        std::vector<std::uint32_t> colours(counts.size(), 0x123456);
        PointColours(view, choice).Line(counts, mu.data(), colours);
        EXPECT_EQ(colours[0], 0u);
        EXPECT_EQ(colours[1], 0u);
        EXPECT_EQ(colours[2], 0u);
        EXPECT_NE(colours[4], 0u);
    }
}

// The line 8 points at a time gives the plain loop's colours, point by
// point, for every palette and frame shift: values between and at whole
// numbers, just below them, below zero, beyond 2^32, at and past 2^51 (the
// plain loop's), and counts not shown whatever their mu.
TEST(SmoothColour, TheVectorLineIsThePlainLoop) {
    std::vector<std::uint32_t> counts;
    std::vector<double> mu;
    for (int i = 0; i < 4000; ++i) {
        counts.push_back(1 + static_cast<std::uint32_t>(i) % 600);
        mu.push_back(i * 0.37 - 20.0);
    }
    const double edges[] = {0.0,           1.0 - 0x1p-53, 5.0 - 0x1p-30, 7.0 + 0x1p-25, -0.5, -1024.25,
                            0x1p32 + 0.75, 0x1p51,        -0x1p51,       0x1p60,        1e300};
    for (std::size_t k = 0; k < std::size(edges); ++k) mu[k * 9] = edges[k];
    const double notShown[] = {std::nan(""), 1e308, -3.5};
    for (std::size_t k = 0; k < std::size(notShown); ++k) {
        counts[200 + k] = k == 0 ? 0 : 1024;
        mu[200 + k] = notShown[k];
    }
    for (std::size_t k = 400; k < 416; ++k) counts[k] = k % 2 == 0 ? 0 : 1024;  // whole blocks all black
    for (const MixLanes lanes : {MixLanes::Avx2, MixLanes::Avx512}) {
        if (!HasMixLanes(lanes)) continue;
        for (const ViewState& view : Palettes)
            for (const double frameShift : {0.0, 0.5, 2048.0 * 511}) {
                const PointColours colours(view, {.smooth = true, .frameShift = frameShift});
                std::vector<std::uint32_t> vector(counts.size()), plain(counts.size());
                colours.Line(counts, mu.data(), vector, lanes);
                colours.Line(counts, mu.data(), plain, MixLanes::Plain);
                for (std::size_t i = 0; i < counts.size(); ++i)
                    ASSERT_EQ(vector[i], plain[i]) << "lanes " << static_cast<int>(lanes) << " point " << i << " mu "
                                                   << mu[i] << " shift " << frameShift;
            }
    }
}

TEST(SmoothColour, BetweenWholeValuesEachComponentMovesFromOneEntryToTheNext) {
    // Palette size 1024, so that a period is well inside the depth.
    const ViewState view = ViewWith(0x0407, 100, 4096);
    const PointColours colours(view, {.smooth = true});
    constexpr int Steps = 64;  // fractions k / 64, exact in binary
    auto colourAt = [&](double mu) {
        const std::uint32_t count = 40;  // only decides that the point is coloured
        std::uint32_t colour = 0;
        colours.Line({&count, 1}, &mu, {&colour, 1});
        return colour;
    };
    for (std::int64_t m : {1, 39, 40, 500, 1022, 1023}) {
        const std::uint32_t from = colours.PaletteColour(m), to = colours.PaletteColour(m + 1);
        std::vector<std::uint32_t> sweep;
        for (int k = 0; k <= Steps; ++k) sweep.push_back(colourAt(static_cast<double>(m) + k / double{Steps}));
        EXPECT_EQ(sweep.front(), from) << m;
        EXPECT_EQ(sweep.back(), to) << m;
        EXPECT_EQ(colourAt(std::nextafter(static_cast<double>(m + 1), 0.0)), to) << "a fraction that weighs one, " << m;
        for (int component : {0, 8, 16}) {
            const int a = static_cast<int>(from >> component & 0xFF), b = static_cast<int>(to >> component & 0xFF);
            const int direction = b > a ? 1 : b < a ? -1 : 0;
            for (int k = 1; k <= Steps; ++k) {
                const int before = static_cast<int>(sweep[static_cast<std::size_t>(k - 1)] >> component & 0xFF);
                const int now = static_cast<int>(sweep[static_cast<std::size_t>(k)] >> component & 0xFF);
                ASSERT_GE((now - before) * direction, 0) << "monotone, m " << m << " k " << k;
                if (direction == 0) {
                    ASSERT_EQ(now, a) << "a component the two share stays, m " << m << " k " << k;
                }
            }
        }
        // A palette period later (1024 counts), the same colours.
        for (int k = 0; k <= Steps; ++k)
            ASSERT_EQ(colourAt(static_cast<double>(m + 1024) + k / double{Steps}), sweep[static_cast<std::size_t>(k)])
                << "m " << m << " k " << k;
    }
}

TEST(SmoothColour, FrameShiftOfWholeCountsIsTheViewersShifting) {
    const std::vector<std::uint32_t> counts = AllCounts(512);
    for (int shift : {1, 37, 4095}) {
        std::vector<std::uint32_t> colours(counts.size());
        PointColours(ViewWith(0x1007, 10), {.frameShift = static_cast<double>(shift)}).Line(counts, nullptr, colours);
        EXPECT_EQ(colours, ViewerColours(ViewWith(0x1007, 10 + shift), counts)) << shift;
    }
}

TEST(SmoothColour, WithAGradientAWholeFrameShiftIsTheViewsShift) {
    const Gradient gradient{{{0.1, 0xFF0000}, {0.6, 0x00FF00}, {0.9, 0x0000FF}}};
    const std::vector<std::uint32_t> counts = AllCounts(512);
    std::vector<double> mu;
    for (std::uint32_t n : counts) mu.push_back(n + 0.375);
    for (int shift : {1, 37, 4000}) {
        std::vector<std::uint32_t> framed(counts.size()), shifted(counts.size());
        PointColours(ViewWith(0x1007, 10),
                     {.smooth = true, .gradient = &gradient, .period = 100.0, .frameShift = static_cast<double>(shift)})
            .Line(counts, mu.data(), framed);
        PointColours(ViewWith(0x1007, 10 + shift), {.smooth = true, .gradient = &gradient, .period = 100.0})
            .Line(counts, mu.data(), shifted);
        EXPECT_EQ(framed, shifted) << shift;
    }
}

TEST(SmoothColour, GradientPlacesCycleWithThePeriodAndTheShift) {
    const Gradient gradient{{{0.25, 0xFF0000}, {0.75, 0x0000FF}}};
    const ViewState view = ViewWith(0x1007, 3);
    const PointColours colours(view, {.smooth = true, .gradient = &gradient, .period = 8.0});
    struct Row {
        double mu;
        std::uint32_t colour;
    };
    const Row rows[] = {
        {-1.0, 0xFF0000},                                   // (mu + 3) / 8 = 0.25
        {3.0, 0x0000FF},                                    // 0.75
        {11.0, 0x0000FF},                                   // a period later
        {1.0, MixColours(0xFF0000, 0x0000FF, MixOne / 2)},  // 0.5
        {5.0, MixColours(0x0000FF, 0xFF0000, MixOne / 2)},  // 1.0 = 0: halfway from the last stop round to the first
    };
    for (const Row& row : rows) {
        std::uint32_t colour = 0;
        const std::uint32_t count = 5;
        colours.Line({&count, 1}, &row.mu, {&colour, 1});
        EXPECT_EQ(colour, row.colour) << row.mu;
    }
    EXPECT_EQ(colours.GradientColour(0.0), MixColours(0x0000FF, 0xFF0000, MixOne / 2));
}

TEST(SmoothColour, CountsColouringWithAGradientTakesTheCount) {
    const Gradient gradient{{{0.0, 0x000000}, {0.5, 0xFFFFFF}}};
    const PointColours colours(ViewWith(0x1007, 0), {.gradient = &gradient, .period = 4.0});
    const std::vector<std::uint32_t> counts = {1, 2, 4};
    const double mu[] = {1.9, 2.9, 4.9};  // not used
    std::vector<std::uint32_t> out(3);
    colours.Line(counts, mu, out);
    EXPECT_EQ(out[0], MixColours(0, 0xFFFFFF, MixOne / 2));
    EXPECT_EQ(out[1], 0xFFFFFFu);
    EXPECT_EQ(out[2], 0u);
}

}  // namespace
}  // namespace qarn
