#pragma once
#include <cstdint>
#include <span>

#include "colour/palette_tables.h"
#include "engine/iteration_buffer.h"

namespace qarn {

// The picture's pixels, 0x00RRGGBB, stored bottom-up: memory row 0 is the
// bottom row of the picture.
using DisplayPixels = std::span<std::uint32_t, PixelCount>;

// Turns the counts into pixels through the active table. Counts of 0 or at
// or above Depth are black.
void MapDisplay(const IterationBuffer& counts, const ViewState& view, const PaletteTables& tables,
                DisplayPixels pixels);

// The same; allowVector false keeps to the plain loop (the tests compare
// the two).
void MapCounts(const IterationBuffer& counts, const ViewState& view, const PaletteTables& tables, DisplayPixels pixels,
               bool allowVector);

// The same mapping over a line of counts of any length (a band of a large
// print), into colours in the same order, left to right: a picture mapped
// line by line equals the display's pixels, top-down.
void MapCountLine(std::span<const std::uint32_t> counts, const ViewState& view, const PaletteTables& tables,
                  std::span<std::uint32_t> colours);

}  // namespace qarn
