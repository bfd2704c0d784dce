#pragma once
#include <cstdint>

namespace qarn {

// 8-bit sRGB components in linear light, as whole numbers of 2^-24: the
// sRGB transfer function (c / 255 / 12.92 up to 0.04045, else
// ((c / 255 + 0.055) / 1.055)^2.4), rounded to the nearest. Fixed tables,
// not a library's pow, so that every machine averages alike.
inline constexpr int LinearOne = 1 << 24;

std::uint32_t LinearOf(std::uint8_t component);

// The 8-bit sRGB component nearest to the mean `sum` / `count` of linear
// values: the v whose interval, from the linear value of (v - 0.5) / 255 to
// that of (v + 0.5) / 255 (a mean on a bound takes the upper one), holds the
// mean. Exact in integers; count from 1 to 64.
std::uint8_t EncodedOf(std::uint32_t sum, std::uint32_t count);

// EncodedOf(linear, 1) for a linear value up to LinearOne, through a table
// of the bounds below each multiple of 2^12 and one comparison (the bounds
// lie more than 2^12 apart): the same value, without the search's branches.
std::uint8_t EncodedOfLinear(std::uint32_t linear);

// Colours 0x00RRGGBB a and b mixed by weight / 2^24 (1 to 2^24) in linear
// light, each component EncodedOfLinear of the rounded mix of LinearOf's
// values: here beside the tables, which its three components read nine
// times a point.
std::uint32_t MixInLinearLight(std::uint32_t a, std::uint32_t b, std::uint32_t weight);

// The table behind EncodedOfLinear, for code that reads it a vector at a
// time: for each multiple i x 2^12 up to LinearOne, belowAndNext[i] =
// next << 8 | v, where v is the number of bounds at or below it (the linear
// value of (v + 0.5) / 255 is bound v) and next the bound v (2^24 - 1 for
// v = 255). EncodedOfLinear(x) is then v, plus one where x >= next, at most
// 255.
const std::uint32_t* BelowAndNextTable();

}  // namespace qarn
