#include "colour/display_mapping.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace qarn {
namespace {

class MappingTest : public ::testing::Test {
protected:
    void SetUp() override {
        BuildColourTable(tables.colour);
        counts = std::make_unique<IterationBuffer>();
        counts->fill(0);
        pixels = std::make_unique<std::array<std::uint32_t, PixelCount>>();
    }

    // The colour of a count at the top-left pixel, shown under the settings.
    std::uint32_t Show(std::uint32_t count, std::uint32_t paletteMode, std::int32_t shift, std::uint32_t depth) {
        (*counts)[0] = count;
        view.PaletteMode = paletteMode;
        view.ColourShift = shift;
        view.Depth = depth;
        BuildMonoTable(tables.mono, paletteMode);
        MapDisplay(*counts, view, tables, *pixels);
        return (*pixels)[static_cast<std::size_t>(511 * ViewSize)];  // top row is the last in memory
    }

    PaletteTables tables;
    ViewState view;
    std::unique_ptr<IterationBuffer> counts;
    std::unique_ptr<std::array<std::uint32_t, PixelCount>> pixels;
};

TEST_F(MappingTest, ZeroIsBlackUnderEverySetting) {
    for (std::uint32_t mode : {256u + 7, 512u + 7, 1024u + 7, 2048u + 7, 4096u + 7})
        for (std::int32_t shift : {0, 1, 64, 4000, 4096})
            for (std::uint32_t depth : {512u, 4096u}) EXPECT_EQ(Show(0, mode, shift, depth), 0u);
}

TEST_F(MappingTest, CountsAtOrAboveDepthAreBlack) {
    EXPECT_EQ(Show(512, 4096 + 7, 0, 512), 0u);
    EXPECT_NE(Show(511, 4096 + 7, 0, 512), 0u);
    EXPECT_EQ(Show(600, 4096 + 7, 100, 512), 0u) << "the shift does not apply";
}

TEST_F(MappingTest, PaletteSizesAndShifts) {
    EXPECT_EQ(Show(1, 4096 + 7, 0, 512), Rgb(10, 0, 0));
    EXPECT_EQ(Show(512, 512 + 7, 0, 4096), 0u) << "a multiple of the size maps to entry 0";
    EXPECT_EQ(Show(513, 512 + 7, 0, 4096), tables.colour[1]);
    EXPECT_EQ(Show(100, 512 + 7, 4000, 4096), tables.colour[4]);
    EXPECT_EQ(Show(612, 512 + 7, 4000, 4096), tables.colour[4]);
    EXPECT_EQ(Show(5, 4096 + 7, 4096, 4096), tables.colour[5]) << "4096 acts as 0";
}

TEST_F(MappingTest, MonochromeIsReadWithPeriod512) {
    EXPECT_EQ(Show(300, 256 + 7, 0, 4096), tables.mono[300]);
    EXPECT_EQ(Show(300, 256 + 7, 4096, 4096), tables.mono[300]);
    EXPECT_EQ(Show(300 + 512, 256 + 7, 0, 4096), tables.mono[300]);
    EXPECT_EQ(Show(10, 256 + 4, 510, 4096), tables.mono[8]);
}

TEST_F(MappingTest, RowsAreStoredBottomUp) {
    for (int col = 0; col < ViewSize; ++col) (*counts)[static_cast<std::size_t>(col)] = 1;  // top row
    (*counts)[static_cast<std::size_t>(511 * ViewSize + 511)] = 2;                          // bottom-right
    view = ViewState{};
    MapDisplay(*counts, view, tables, *pixels);
    EXPECT_EQ((*pixels)[511 * ViewSize + 3], tables.colour[1]);
    EXPECT_EQ((*pixels)[3], 0u);
    EXPECT_EQ((*pixels)[511], tables.colour[2]);
}

TEST_F(MappingTest, AnySettingsStayInsideTheTables) {
    // Values a damaged file could bring: the lookups are masked into range,
    // every colour shown is an entry of a table, and the shift acts modulo
    // the tables' sizes (512 and 4096), negative shifts in two's complement.
    auto inTables = [this](std::uint32_t colour) {
        return std::find(tables.colour.begin(), tables.colour.end(), colour) != tables.colour.end() ||
               std::find(tables.mono.begin(), tables.mono.end(), colour) != tables.mono.end();
    };
    for (std::uint32_t mode : {0u, 0xFFFFFFFFu, 0x12345u, 256u})
        for (std::int32_t shift : {-1, 123456789, -2147483647 - 1})
            for (std::uint32_t count : {1u, 4095u, 0xFFFFFFFEu}) {
                const std::uint32_t shown = Show(count, mode, shift, 0xFFFFFFFFu);
                EXPECT_TRUE(inTables(shown)) << "mode " << mode << " shift " << shift << " count " << count;
                const auto reduced = static_cast<std::int32_t>(static_cast<std::uint32_t>(shift) % 4096u);
                EXPECT_EQ(shown, Show(count, mode, reduced, 0xFFFFFFFFu))
                    << "mode " << mode << " shift " << shift << " count " << count;
            }
}

}  // namespace
}  // namespace qarn

namespace qarn {
namespace {

TEST(MapCounts, VectorAndPlainLoopsAgreeUnderEverySetting) {
    PaletteTables tables;
    BuildColourTable(tables.colour);
    auto counts = std::make_unique<IterationBuffer>();
    std::uint32_t seed = 12345;
    for (std::uint32_t& count : *counts) {
        seed = seed * 1103515245u + 12345u;
        count = (seed >> 8) % 5000;  // zeros, counts below and beyond every depth
    }
    (*counts)[7] = 0xFFFFFFFFu;
    auto plain = std::make_unique<std::array<std::uint32_t, PixelCount>>();
    auto vector = std::make_unique<std::array<std::uint32_t, PixelCount>>();
    for (std::uint32_t mode : {256u + 5, 512u + 7, 1024u + 7, 2048u + 7, 4096u + 7, 0u, 0xFFFFFFFFu})
        for (std::int32_t shift : {0, 63, 4096, -5})
            for (std::uint32_t depth : {0u, 1u, 512u, 4096u, 0xFFFFFFFFu}) {
                ViewState view;
                view.PaletteMode = mode;
                view.ColourShift = shift;
                view.Depth = depth;
                BuildMonoTable(tables.mono, mode);
                MapCounts(*counts, view, tables, *plain, false);
                MapCounts(*counts, view, tables, *vector, true);
                ASSERT_TRUE(*plain == *vector) << "mode " << mode << " shift " << shift << " depth " << depth;
                // A line of any length, as a large print maps it, gives the
                // colours of the picture's top row (the last in memory).
                std::array<std::uint32_t, 13> line{};
                MapCountLine(std::span(counts->data(), line.size()), view, tables, line);
                ASSERT_TRUE(std::equal(line.begin(), line.end(), plain->begin() + 511 * ViewSize))
                    << "mode " << mode << " shift " << shift << " depth " << depth;
            }
}

}  // namespace
}  // namespace qarn
