#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

#include "colour/display_mapping.h"

namespace qarn {

// The palette's colours of a line of points from their values (mu) 8 at a
// time in AVX-512: per point exactly PointColours' own integers and
// roundings (floor, the weight, the two entries, the mix in linear light,
// black where the count is not shown), so the same colours. It does the
// whole blocks of 8 whose shown values lie below 2^51 and returns how many
// points from the start it did; the caller does the rest.
// Each entry of a rule's table in linear light (LinearOf of its components),
// so that the lanes gather two words an entry instead of the entry and then
// each component's value: red in the low half of `redGreen` (the lanes'
// products read the low halves alone), green in its high half, blue apart.
struct LinearPalette {
    std::array<std::uint64_t, 4096> redGreen;
    std::array<std::uint64_t, 4096> blue;
};
void BuildLinearPalette(const PaletteRule& rule, LinearPalette& palette);

std::size_t MixPaletteLanes(const PaletteRule& rule, const LinearPalette& linear, const std::uint32_t* counts,
                            const double* values, double frameShift, std::uint32_t* colours, std::size_t length);

// Whether this build and processor have MixPaletteLanes.
bool HasPaletteMixLanes();

}  // namespace qarn
