#pragma once
// The view is held and computed in the x87 80-bit extended format: with GCC
// and MinGW-w64 on x86-64 that is exactly `long double`.
#include <array>
#include <cstdint>
#include <cstring>
#include <limits>

static_assert(std::numeric_limits<long double>::digits == 64, "long double must be the x87 80-bit extended format");

namespace qarn {

// The 10-byte image of an extended real: its first 10 bytes in memory,
// little-endian significand then sign and exponent.
using ExtendedImage = std::array<std::uint8_t, 10>;

inline ExtendedImage ToImage(long double value) {
    ExtendedImage image{};
    std::memcpy(image.data(), &value, image.size());
    return image;
}

inline long double FromImage(const std::uint8_t* bytes) {
    long double value = 0.0L;  // zeroes the 6 padding bytes too
    std::memcpy(&value, bytes, 10);
    return value;
}

}  // namespace qarn
