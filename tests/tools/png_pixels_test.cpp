// The tests' PNG reader on pictures made here: rows under each of the five
// filters, and files damaged as a crash or a bad copy damages them.
#include "tools/png_pixels.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace qarn::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;

void Put32(Bytes& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

void PutChunk(Bytes& out, const std::string& type, const Bytes& data) {
    Put32(out, static_cast<std::uint32_t>(data.size()));
    const std::size_t start = out.size();
    out.insert(out.end(), type.begin(), type.end());
    out.insert(out.end(), data.begin(), data.end());
    Put32(out, PngCrc(&out[start], out.size() - start));
}

// A PNG of `rgb` (width x height), row r filtered by filter r % 5.
Bytes MakePng(std::uint32_t width, std::uint32_t height, const Bytes& rgb) {
    const std::size_t stride = std::size_t{width} * 3;
    Bytes raw;
    for (std::size_t row = 0; row < height; ++row) {
        const int filter = static_cast<int>(row % 5);
        raw.push_back(static_cast<std::uint8_t>(filter));
        for (std::size_t i = 0; i < stride; ++i) {
            const std::size_t at = row * stride + i;
            const int a = i >= 3 ? rgb[at - 3] : 0, b = row ? rgb[at - stride] : 0,
                      c = row && i >= 3 ? rgb[at - stride - 3] : 0;
            const int predicted[] = {0, a, b, (a + b) / 2, Paeth(a, b, c)};
            raw.push_back(static_cast<std::uint8_t>(rgb[at] - predicted[filter]));
        }
    }
    libdeflate_compressor* deflater = libdeflate_alloc_compressor(6);
    Bytes idat(libdeflate_zlib_compress_bound(deflater, raw.size()));
    idat.resize(libdeflate_zlib_compress(deflater, raw.data(), raw.size(), idat.data(), idat.size()));
    libdeflate_free_compressor(deflater);

    Bytes png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Bytes ihdr;
    Put32(ihdr, width);
    Put32(ihdr, height);
    ihdr.insert(ihdr.end(), {8, 2, 0, 0, 0});
    PutChunk(png, "IHDR", ihdr);
    PutChunk(png, "tEXt", {'a', 0, 'b'});  // an ancillary chunk is passed over
    const std::size_t half = idat.size() / 2;
    PutChunk(png, "IDAT", Bytes(idat.begin(), idat.begin() + static_cast<std::ptrdiff_t>(half)));
    PutChunk(png, "IDAT", Bytes(idat.begin() + static_cast<std::ptrdiff_t>(half), idat.end()));
    PutChunk(png, "IEND", {});
    return png;
}

TEST(PngPixels, UndoesEveryFilterAndRefusesDamagedFiles) {
    constexpr std::uint32_t Width = 7, Height = 10;  // two rows of each filter
    Bytes rgb(Width * Height * 3);
    for (std::size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<std::uint8_t>(i * 37 % 251 + (i % 3) * 90);
    const Bytes good = MakePng(Width, Height, rgb);
    const PngPixels png = DecodePng(good);
    ASSERT_EQ(png.error, "");
    EXPECT_EQ(png.width, Width);
    EXPECT_EQ(png.height, Height);
    EXPECT_EQ(png.rgb, rgb);

    const Bytes iend(good.end() - 12, good.end());
    const struct {
        const char* name;
        Bytes bytes;
        const char* error;
    } damaged[] = {
        {"cut short", Bytes(good.begin(), good.end() - 12), "cut short"},
        {"cut in the end chunk", Bytes(good.begin(), good.end() - 1), "cut short"},
        {"bytes after the end",
         [&] {
             Bytes b = good;
             b.push_back(0);
             return b;
         }(),
         "after IEND"},
        {"a bit flipped",
         [&] {
             Bytes b = good;
             b[40] ^= 1;
             return b;
         }(),
         "wrong CRC"},
        {"no signature", Bytes(good.begin() + 1, good.end()), "signature"},
        {"too few rows", MakePng(Width, Height - 1, Bytes(rgb.begin(), rgb.end() - Width * 3)), ""},
    };
    for (const auto& d : damaged) {
        const PngPixels result = DecodePng(d.bytes);
        if (std::string(d.name) == "too few rows") {
            // Rows decoded against an IHDR that says one more: refused.
            Bytes b = d.bytes;
            b[23] = Height;  // IHDR's height, low byte
            const std::uint32_t crc = PngCrc(&b[12], 17);
            for (int k = 0; k < 4; ++k) b[29 + k] = static_cast<std::uint8_t>(crc >> (24 - 8 * k));
            EXPECT_NE(DecodePng(b).error.find("inflate"), std::string::npos) << DecodePng(b).error;
            continue;
        }
        EXPECT_NE(result.error.find(d.error), std::string::npos) << d.name << ": " << result.error;
        EXPECT_TRUE(result.rgb.empty()) << d.name;
    }
}

}  // namespace
}  // namespace qarn::testing
