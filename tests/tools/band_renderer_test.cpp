#include "band_renderer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "colour/smooth_colour.h"
#include "engine/view_state.h"

namespace qarn::render {
namespace {

// Every band's counts, mu and colours, one after another.
struct Collector : BandSink {
    std::vector<std::uint32_t> counts;
    std::vector<double> mu;
    std::vector<std::uint32_t> colours;
    std::string Take(const Band& band) override {
        counts.insert(counts.end(), band.counts.begin(), band.counts.end());
        mu.insert(mu.end(), band.mu.begin(), band.mu.end());
        colours.insert(colours.end(), band.colours.begin(), band.colours.end());
        return "";
    }
};

// A picture symmetric about the axis, many bands tall, through the band
// renderer with the mirror off, and on with budgets from none to all.
TEST(BandMirror, EveryBudgetGivesThePictureOfTheMirrorOff) {
    constexpr int Width = 300;
    constexpr int Height = 301;  // a row on the axis, and 150 pairs
    const PictureArea area{-2.25L, 150.0L / 128, 1.0L / 128, Width, Height};
    ViewState view{};
    view.Depth = 512;
    const PointColours colouring(view, {true, nullptr, 0.0, 0.0});
    // Counts alone, colours alone (mu made but not kept), mu and colours.
    for (int kind : {0, 1, 2}) {
        const bool extras = kind != 0;
        const BandExtras asked{kind == 2, extras ? &colouring : nullptr};
        BandRenderer off(2, Width, 1, extras);
        off.SetMirror(false);
        Collector expected;
        BandSink* sinks[] = {&expected};
        ASSERT_EQ(off.Render(area, 512, sinks, nullptr, asked), "");
        ASSERT_EQ(expected.counts.size(), std::size_t{Width} * Height);
        const std::size_t perPoint = kind == 2 ? 16 : extras ? 8 : 4;
        // The band renderer's bands are as tall as the widest rows allow
        // (64 here): the pairs lie in different bands.
        ASSERT_LT(off.BandRows(), Height / 2);
        for (std::size_t keptRows : {0, 1, 40, 150, 301}) {
            BandRenderer on(2, Width, 1, extras, keptRows * Width * perPoint);
            Collector got;
            BandSink* onSinks[] = {&got};
            ASSERT_EQ(on.Render(area, 512, onSinks, nullptr, asked), "");
            EXPECT_EQ(got.counts, expected.counts) << keptRows << " rows kept, kind " << kind;
            ASSERT_EQ(got.mu.size(), expected.mu.size());
            EXPECT_TRUE(expected.mu.empty() ||
                        std::memcmp(got.mu.data(), expected.mu.data(), expected.mu.size() * sizeof(double)) == 0)
                << keptRows;
            EXPECT_EQ(got.colours, expected.colours) << keptRows;
            // Each kept row saves its image's tests; with every source kept
            // the picture costs little more than half.
            EXPECT_LT(on.Tests(), off.Tests()) << keptRows;
            if (keptRows >= 150) {
                EXPECT_LT(on.Tests(), off.Tests() * 55 / 100) << keptRows;
            }
        }
    }
}

// Band buffers on both sides of the huge-page threshold and of whole huge
// pages: every element usable and as made, the large ones on a huge page's
// bound where the system maps them so.
TEST(BandMemory, BuffersOfEverySizeHoldWhatTheyAreGiven) {
    constexpr std::size_t HugePage = std::size_t{2} << 20;
    for (const std::size_t bytes : {std::size_t{64}, HugePage / 8 - 4, HugePage / 8, HugePage - 4, HugePage,
                                    HugePage * 2 + 12}) {
        BandBuffer<std::uint32_t> buffer(bytes / 4, 7u);
        ASSERT_EQ(std::count(buffer.begin(), buffer.end(), 7u), static_cast<std::ptrdiff_t>(buffer.size()));
        std::fill(buffer.begin(), buffer.end(), 9u);
        EXPECT_EQ(buffer.front() + buffer.back(), 18u);
#if defined(__linux__)
        if (bytes >= HugePage / 8) {
            EXPECT_EQ(reinterpret_cast<std::uintptr_t>(buffer.data()) % HugePage, 0u) << bytes;
        }
#endif
    }
}

}  // namespace
}  // namespace qarn::render
