#include "persistence/bitmap_file.h"

#include <cstring>

namespace qarn {
namespace {

template <typename T>
void Put(BitmapHeader& header, std::size_t at, T value) {
    std::memcpy(header.data() + at, &value, sizeof value);
}

}  // namespace

BitmapHeader MakeBitmapHeader(std::uint16_t bitsPerPixel) {
    BitmapHeader header{};
    header[0] = 'B';
    header[1] = 'M';
    Put<std::uint32_t>(header, 2, static_cast<std::uint32_t>(BitmapFileSize));
    Put<std::uint32_t>(header, 10, static_cast<std::uint32_t>(BitmapHeaderSize));
    Put<std::uint32_t>(header, 14, 40);
    Put<std::int32_t>(header, 18, ViewSize);
    Put<std::int32_t>(header, 22, ViewSize);  // positive: rows bottom-up
    Put<std::uint16_t>(header, 26, 1);
    Put<std::uint16_t>(header, 28, bitsPerPixel);
    Put<std::uint32_t>(header, 34, static_cast<std::uint32_t>(PixelCount) * (bitsPerPixel / 8u));
    return header;
}

std::span<const std::uint8_t, BitmapPixelBytes> PackDisplayPixels(std::span<std::uint32_t, PixelCount> pixels) {
    // Byte access to the pixels' own storage; the write position never
    // passes the read position, so nothing is overwritten before it is read.
    auto* bytes = reinterpret_cast<std::uint8_t*>(pixels.data());
    std::size_t to = 0;
    for (std::size_t from = 0; from < pixels.size_bytes(); from += 4) {
        bytes[to++] = bytes[from];
        bytes[to++] = bytes[from + 1];
        bytes[to++] = bytes[from + 2];
    }
    return std::span<const std::uint8_t, BitmapPixelBytes>(bytes, BitmapPixelBytes);
}

}  // namespace qarn
