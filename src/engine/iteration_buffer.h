#pragma once
#include <array>
#include <cstdint>

#include "engine/view_state.h"

namespace qarn {

// Escape counts, row-major, row 0 at the top; count of (col, row) is element
// row * 512 + col. 0 means the point did not escape within Depth tests.
using IterationBuffer = std::array<std::uint32_t, PixelCount>;

}  // namespace qarn
