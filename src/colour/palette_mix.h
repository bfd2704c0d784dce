#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

#include "colour/display_mapping.h"

namespace qarn {

// Each entry of a rule's table in linear light (LinearOf of its components),
// so that the lanes gather two words an entry instead of the entry and then
// each component's value: red in the low half of `redGreen` (the lanes'
// products read the low halves alone), green in its high half, blue apart.
struct LinearPalette {
    std::array<std::uint64_t, 4096> redGreen;
    std::array<std::uint64_t, 4096> blue;
};
void BuildLinearPalette(const PaletteRule& rule, LinearPalette& palette);

// The palette's colours of a line of points from their values (mu) 8 at a
// time in vectors: per point exactly PointColours' own integers and
// roundings (floor, the weight, the two entries, the mix in linear light,
// black where the count is not shown), so the same colours. Each does the
// whole blocks of 8 whose shown values lie below 2^51 and returns how many
// points from the start it did; the caller does the rest. One vector of 8
// in AVX-512F, or two of 4 in AVX2 (the 64-bit products).
std::size_t MixPaletteLanesAvx512(const PaletteRule& rule, const LinearPalette& linear, const std::uint32_t* counts,
                                  const double* values, double frameShift, std::uint32_t* colours, std::size_t length);
std::size_t MixPaletteLanesAvx2(const PaletteRule& rule, const LinearPalette& linear, const std::uint32_t* counts,
                                const double* values, double frameShift, std::uint32_t* colours, std::size_t length);

// The ways a line of smooth colours can go: the plain loop, or the lanes.
enum class MixLanes { Plain, Avx2, Avx512 };
// Whether this build and processor have them (the plain loop always).
bool HasMixLanes(MixLanes lanes);
// The fastest of them here.
MixLanes BestMixLanes();

}  // namespace qarn
