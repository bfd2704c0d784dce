#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "engine/view_state.h"

namespace qarn {

// A 24-bit, 512 x 512, bottom-up, uncompressed Windows bitmap file.
inline constexpr std::size_t BitmapHeaderSize = 54;
inline constexpr std::size_t BitmapPixelBytes = 512 * 512 * 3;
inline constexpr std::size_t BitmapFileSize = BitmapHeaderSize + BitmapPixelBytes;

using BitmapHeader = std::array<std::uint8_t, BitmapHeaderSize>;

// The file header and information header for `bitsPerPixel` 24 (a file) or
// 32 (the display surface, whose information header starts at byte 14).
BitmapHeader MakeBitmapHeader(std::uint16_t bitsPerPixel);

// Packs the 32-bit display pixels in place to 24 bits (blue, green, red) and
// returns the packed bytes, already in file order. The pixels must be mapped
// again afterwards.
std::span<const std::uint8_t, BitmapPixelBytes> PackDisplayPixels(std::span<std::uint32_t, PixelCount> pixels);

}  // namespace qarn
