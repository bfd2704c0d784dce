#include "colour/palette_tables.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

namespace qarn {
namespace {

// FNV-1a (64 bits) over the entries as little-endian 32-bit words.
template <std::size_t N>
std::uint64_t Digest(const std::array<std::uint32_t, N>& table) {
    std::uint64_t hash = 14695981039346656037u;
    for (std::uint32_t entry : table) {
        for (int byte = 0; byte < 4; ++byte) {
            hash ^= (entry >> (8 * byte)) & 0xFF;
            hash *= 1099511628211u;
        }
    }
    return hash;
}

// The ramp segments, one component at a time with signed amounts: colours
// and amounts as (red, green, blue). A run writes `count` entries from
// start, adding step; a sawtooth writes cycles of 4 or 8 entries start,
// start + step, ..., then starts its next cycle at start + length x step -
// back, and ends when that start would be stop. `last` is the index of the
// segment's last entry.
enum class Kind { Run, Saw4, Saw8 };
using Rgb3 = std::array<int, 3>;
struct Segment {
    Kind kind;
    Rgb3 start;
    Rgb3 step;
    Rgb3 back;  // sawtooth only
    int count;  // run only
    Rgb3 stop;  // sawtooth only
    int last;
};

constexpr Segment Segments[] = {
    {Kind::Run, {10, 0, 0}, {3, 0, 0}, {}, 36, {}, 36},
    {Kind::Saw4, {115, 0, 0}, {2, 0, 0}, {2, 0, 0}, 0, {253, 0, 0}, 128},
    {Kind::Saw4, {255, 0, 0}, {0, 2, 0}, {0, 4, 0}, 0, {255, 252, 0}, 380},
    {Kind::Run, {255, 255, 0}, {0, 0, 0}, {}, 3, {}, 383},
    {Kind::Saw4, {255, 255, 0}, {-2, -2, 0}, {-4, -4, 0}, 0, {127, 127, 0}, 511},
    {Kind::Saw4, {127, 127, 0}, {-2, 2, 0}, {-4, 4, 0}, 0, {7, 247, 0}, 631},
    {Kind::Saw8, {0, 255, 0}, {0, -2, 0}, {0, -12, 0}, 0, {0, 59, 0}, 1023},
    {Kind::Saw8, {0, 60, 0}, {0, 1, 2}, {0, 6, 12}, 0, {0, 120, 120}, 1263},
    {Kind::Saw8, {0, 120, 120}, {0, 2, 2}, {0, 12, 12}, 0, {0, 244, 244}, 1511},
    {Kind::Saw8, {0, 255, 255}, {0, -2, 0}, {0, -10, 0}, 0, {0, 15, 255}, 1831},
    {Kind::Saw8, {0, 0, 255}, {0, 0, -2}, {0, 0, -10}, 0, {0, 0, 93}, 2047},
    {Kind::Saw8, {3, 0, 93}, {2, 0, 1}, {12, 0, 6}, 0, {183, 0, 183}, 2407},
    {Kind::Saw8, {183, 0, 183}, {2, 0, 2}, {12, 0, 12}, 0, {243, 0, 243}, 2527},
    {Kind::Saw8, {255, 0, 255}, {0, 2, 0}, {0, 12, 0}, 0, {255, 240, 255}, 3007},
    {Kind::Run, {255, 255, 255}, {0, 0, 0}, {}, 9, {}, 3016},
    {Kind::Saw8, {255, 255, 255}, {-1, -1, -1}, {-6, -6, -6}, 0, {31, 31, 31}, 3912},
    {Kind::Saw8, {32, 32, 32}, {-1, -1, -1}, {-7, -7, -7}, 0, {10, 10, 10}, 4088},
    {Kind::Run, {10, 10, 10}, {-1, -1, -1}, {}, 7, {}, 4095},
};

// The colour table generated from the segments above, entry 0 black.
std::vector<std::uint32_t> ExpectedColourTable() {
    std::vector<std::uint32_t> entries{0};
    auto write = [&](const Rgb3& colour) {
        for (int component : colour) EXPECT_TRUE(component >= 0 && component <= 255) << "entry " << entries.size();
        entries.push_back(Rgb(static_cast<std::uint32_t>(colour[0]), static_cast<std::uint32_t>(colour[1]),
                              static_cast<std::uint32_t>(colour[2])));
    };
    for (const Segment& segment : Segments) {
        Rgb3 value = segment.start;
        if (segment.kind == Kind::Run) {
            for (int i = 0; i < segment.count; ++i) {
                write(value);
                for (std::size_t c = 0; c < 3; ++c) value[c] += segment.step[c];
            }
        } else {
            const int length = segment.kind == Kind::Saw4 ? 4 : 8;
            do {
                for (int i = 0; i < length; ++i) {
                    Rgb3 entry;
                    for (std::size_t c = 0; c < 3; ++c) entry[c] = value[c] + i * segment.step[c];
                    write(entry);
                }
                for (std::size_t c = 0; c < 3; ++c) value[c] += length * segment.step[c] - segment.back[c];
            } while (value != segment.stop && entries.size() < 4096);
        }
        EXPECT_EQ(entries.size() - 1, static_cast<std::size_t>(segment.last));
    }
    return entries;
}

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

TEST_F(ColourTableTest, EveryEntryFollowsTheSegmentList) {
    const std::vector<std::uint32_t> expected = ExpectedColourTable();
    ASSERT_EQ(expected.size(), table.size());
    for (std::size_t i = 0; i < table.size(); ++i) ASSERT_EQ(table[i], expected[i]) << "entry " << i;
    // Pinned apart from the generator above, so a change to both still shows.
    EXPECT_EQ(Digest(table), 0xD4BAADBD021F199Bu);
}

TEST_F(ColourTableTest, SawtoothRipple) {
    const int segment3Green[] = {0, 2, 4, 6, 4, 6, 8, 10, 8, 10, 12, 14};
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(table[129 + static_cast<std::size_t>(i)], Rgb(255, static_cast<std::uint32_t>(segment3Green[i]), 0));
    const int segment7Green[] = {255, 253, 251, 249, 247, 245, 243, 241, 251, 249};
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(table[632 + static_cast<std::size_t>(i)], Rgb(0, static_cast<std::uint32_t>(segment7Green[i]), 0));
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

TEST(MonoTable, EveryEntryOfEveryComponentChoice) {
    // Up to 255 in 256 steps, 255 three times (entries 255 to 257), then
    // down to 1 at entry 511, in each component that is on.
    for (std::uint32_t components = 0; components <= ComponentBits; ++components) {
        MonoTable table;
        table.fill(0xFFFFFFFF);
        BuildMonoTable(table, MonoPaletteSize + components);
        for (std::uint32_t i = 0; i < table.size(); ++i) {
            const std::uint32_t level = i <= 255 ? i : i <= 257 ? 255 : 512 - i;
            const std::uint32_t expected = Rgb((components & RedComponent) ? level : 0,
                                               (components & GreenComponent) ? level : 0,
                                               (components & BlueComponent) ? level : 0);
            ASSERT_EQ(table[i], expected) << "components " << components << ", entry " << i;
        }
    }
}

}  // namespace
}  // namespace qarn
