#include "colour/palette_tables.h"

#include <gtest/gtest.h>

namespace qarn {
namespace {

class ColourTableTest : public ::testing::Test {
protected:
    void SetUp() override {
        table.fill(0xFFFFFFFF);
        BuildColourTable(table);
    }
    ColourTable table;
};

TEST_F(ColourTableTest, PrintedEntries) {
    EXPECT_EQ(table[0], 0u);
    EXPECT_EQ(table[1], Rgb(10, 0, 0));
    EXPECT_EQ(table[36], Rgb(115, 0, 0));
    EXPECT_EQ(table[37], Rgb(115, 0, 0));
    EXPECT_EQ(table[128], Rgb(253, 0, 0));
    EXPECT_EQ(table[129], Rgb(255, 0, 0));
    EXPECT_EQ(table[380], Rgb(255, 254, 0));
    EXPECT_EQ(table[1023], Rgb(0, 49, 0));
    EXPECT_EQ(table[2047], Rgb(0, 0, 85));
    EXPECT_EQ(table[4095], Rgb(4, 4, 4));
}

TEST_F(ColourTableTest, EveryEntryIsWrittenAndKeepsItsTopByteClear) {
    for (std::size_t i = 0; i < table.size(); ++i) EXPECT_EQ(table[i] >> 24, 0u) << "entry " << i;
}

TEST_F(ColourTableTest, SawtoothRipple) {
    const int segment3Green[] = {0, 2, 4, 6, 4, 6, 8, 10, 8, 10, 12, 14};
    for (int i = 0; i < 12; ++i) EXPECT_EQ(table[129 + static_cast<std::size_t>(i)], Rgb(255, static_cast<std::uint32_t>(segment3Green[i]), 0));
    const int segment7Green[] = {255, 253, 251, 249, 247, 245, 243, 241, 251, 249};
    for (int i = 0; i < 10; ++i) EXPECT_EQ(table[632 + static_cast<std::size_t>(i)], Rgb(0, static_cast<std::uint32_t>(segment7Green[i]), 0));
}

TEST_F(ColourTableTest, BandBoundaries) {
    // Where each segment starts, from its own start value.
    EXPECT_EQ(table[381], Rgb(255, 255, 0));
    EXPECT_EQ(table[384], Rgb(255, 255, 0));
    EXPECT_EQ(table[512], Rgb(127, 127, 0));
    EXPECT_EQ(table[1024], Rgb(0, 60, 0));
    EXPECT_EQ(table[1512], Rgb(0, 255, 255));
    EXPECT_EQ(table[2048], Rgb(3, 0, 93));
    EXPECT_EQ(table[3008], Rgb(255, 255, 255));
    EXPECT_EQ(table[3016], Rgb(255, 255, 255));
    EXPECT_EQ(table[3913], Rgb(32, 32, 32));
    EXPECT_EQ(table[4089], Rgb(10, 10, 10));
}

TEST(MonoTable, RampInTheChosenComponents) {
    MonoTable table;
    BuildMonoTable(table, 256 + RedComponent);
    EXPECT_EQ(table[0], 0u);
    EXPECT_EQ(table[1], Rgb(1, 0, 0));
    EXPECT_EQ(table[255], Rgb(255, 0, 0));
    EXPECT_EQ(table[256], Rgb(255, 0, 0));
    EXPECT_EQ(table[257], Rgb(255, 0, 0));
    EXPECT_EQ(table[511], Rgb(1, 0, 0));

    BuildMonoTable(table, 4096 + 7);
    EXPECT_EQ(table[300], Rgb(212, 212, 212));
    BuildMonoTable(table, 256 + GreenComponent + BlueComponent);
    EXPECT_EQ(table[100], Rgb(0, 100, 100));

    BuildMonoTable(table, 256);
    for (std::uint32_t entry : table) EXPECT_EQ(entry, 0u);
}

}  // namespace
}  // namespace qarn
