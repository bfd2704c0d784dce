#include "persistence/bitmap_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace qarn {
namespace {

template <typename T>
T Read(const std::uint8_t* bytes, std::size_t at) {
    T value{};
    std::memcpy(&value, bytes + at, sizeof value);
    return value;
}

TEST(BitmapFile, HeaderOfA24BitFile) {
    const BitmapHeader h = MakeBitmapHeader(24);
    EXPECT_EQ(h[0], 'B');
    EXPECT_EQ(h[1], 'M');
    EXPECT_EQ(Read<std::uint32_t>(h.data(), 2), 786486u);
    EXPECT_EQ(Read<std::uint32_t>(h.data(), 6), 0u);
    EXPECT_EQ(Read<std::uint32_t>(h.data(), 10), 54u);
    EXPECT_EQ(Read<std::uint32_t>(h.data(), 14), 40u);
    EXPECT_EQ(Read<std::int32_t>(h.data(), 18), 512);
    EXPECT_EQ(Read<std::int32_t>(h.data(), 22), 512);
    EXPECT_EQ(Read<std::uint16_t>(h.data(), 26), 1u);
    EXPECT_EQ(Read<std::uint16_t>(h.data(), 28), 24u);
    EXPECT_EQ(Read<std::uint32_t>(h.data(), 30), 0u);
    EXPECT_EQ(Read<std::uint32_t>(h.data(), 34), 786432u);
    for (std::size_t at = 38; at < 54; ++at) EXPECT_EQ(h[at], 0u) << at;

    const BitmapHeader surface = MakeBitmapHeader(32);
    EXPECT_EQ(Read<std::uint16_t>(surface.data(), 28), 32u);
    EXPECT_EQ(Read<std::uint32_t>(surface.data(), 34), 1048576u);
}

TEST(BitmapFile, PackingKeepsFileOrderAndDropsTheFourthByte) {
    auto pixels = std::make_unique<std::array<std::uint32_t, PixelCount>>();
    for (std::size_t i = 0; i < pixels->size(); ++i)
        (*pixels)[i] = static_cast<std::uint32_t>(0xAB000000u | (i * 2654435761u & 0xFFFFFFu));
    const auto original = *pixels;
    (*pixels)[0] = 0x000A0000;  // bottom-left pixel: red 10
    const auto packed = PackDisplayPixels(*pixels);
    ASSERT_EQ(packed.size(), 786432u);
    EXPECT_EQ(packed[0], 0x00) << "blue";
    EXPECT_EQ(packed[1], 0x00) << "green";
    EXPECT_EQ(packed[2], 0x0A) << "red";
    for (std::size_t i = 1; i < original.size(); ++i) {
        const std::uint32_t colour = original[i];
        ASSERT_EQ(packed[3 * i], colour & 0xFF) << i;
        ASSERT_EQ(packed[3 * i + 1], colour >> 8 & 0xFF) << i;
        ASSERT_EQ(packed[3 * i + 2], colour >> 16 & 0xFF) << i;
    }
    // The last three bytes are the top-right pixel, the last in memory.
    EXPECT_EQ(packed[786429], original.back() & 0xFF);
}

}  // namespace
}  // namespace qarn
